#!/usr/bin/env fish
# Asks fish for the completions of command lines (complete -C) and compares the candidates.
#
# Usage: fish-completion-test.fish LUMRA_BINARY COMPLETION
#   COMPLETION is lumra.fish itself (it is sourced), or an install's PREFIX/share directory: then
#   fish must find PREFIX/share/fish/vendor_completions.d/lumra.fish on its own.
# Runs on the simulated monitors in a scratch HOME.

if test (count $argv) -ne 2
    echo "usage: fish-completion-test.fish LUMRA_BINARY COMPLETION" >&2
    exit 2
end
set -l binary (realpath $argv[1])
set -l completion (realpath $argv[2])
set -l desk002 (realpath (status dirname)/../../docs/scenarios/real-desks/002-m1pro-two-dells.json)

set -l scratch (mktemp -d)
mkdir -p $scratch/bin $scratch/home
ln -s $binary $scratch/bin/lumra
set -gx PATH $scratch/bin $PATH
set -gx HOME $scratch/home
cd $scratch

if test -d $completion
    # Vendor completion directories are read from XDG_DATA_DIRS when fish starts, so ask a
    # fresh fish whether it finds the file there.
    set -l found (env XDG_DATA_DIRS=$completion fish -c 'complete -C "lumra fea"')
    if test "$found" != (printf 'features\tList the named features')
        echo "FAIL: fish did not load lumra.fish from $completion (got: $found)" >&2
        rm -rf $scratch
        exit 1
    end
    source $completion/fish/vendor_completions.d/lumra.fish
else
    source $completion
end

set -g failures 0
set -g passes 0

# expect LINE CANDIDATE...: the candidates (without descriptions) for LINE, in fish's order.
function expect
    set -l line $argv[1]
    set -l want $argv[2..-1]
    set -l got
    for candidate in (complete -C "$line")
        set -a got (string split -m1 \t -- $candidate)[1]
    end
    if test "$got" != "$want"
        echo "FAIL: completing '$line': got [$got], want [$want]" >&2
        set failures (math $failures + 1)
    else
        set passes (math $passes + 1)
    end
end

expect 'lumra get 0 bri' brightness
expect 'lumra set 1 c' color-preset contrast
expect 'lumra --json get 0 m' mccs-version mute
expect 'lumra get --unsafe 0 vol' volume
expect 'lumra get --timeout 3s 0 sha' sharpness
expect 'lumra -- get 0 pic' picture-mode
expect 'lumra ' adjust capabilities caps features get help list restore save set toggle
expect 'lumra toggle 0 power on o' off off-hard on
expect 'lumra adjust 0 ' blue-black-level blue-gain brightness contrast green-black-level green-gain \
    red-black-level red-gain sharpness volume
expect 'lumra --lang ' en zh-CN
expect 'lumra --lang=z' --lang=zh-CN
expect 'lumra --js' --json
expect 'lumra --sa' --save-settings
expect 'lumra get ' 0 1 all darwin:3E56:2710:00A1B2C3 darwin:3E56:3220:00D4E5F6 'Orvane Q27 Pro' 'Orvane U32 Studio'
expect 'lumra set 0 input hd' hdmi1 hdmi2
# input-alt is written, never read.
expect 'lumra set 0 inp' input input-alt
expect 'lumra get 0 inp' input
expect 'lumra set 0 input-alt d' dp1 dp2
expect 'lumra --unsafe set all Power o' off off-hard on
expect 'lumra get 0 input '
expect 'lumra caps darwin:3E56:3' darwin:3E56:3220:00D4E5F6
expect 'lumra get darwin:3E56:2710:00A1B2C3 po' power
expect 'lumra list '
expect 'lumra features b'
expect 'lumra set 0 brightness '
# set offers what it can write, toggle what it can both read and write.
expect 'lumra set 0 m' mute
expect 'lumra toggle 0 c' color-preset contrast
expect 'lumra toggle 0 inp' input
# Names complete in any letter case; the words after a name with blanks complete.
expect 'lumra get orv' 'Orvane Q27 Pro' 'Orvane U32 Studio'
expect 'lumra get Orvane\ Q27\ Pro b' blue-black-level blue-gain brightness
# Saved profiles complete by their bare names, beside the files of the working folder.
# One real save puts a profile where lumra keeps them; the second is its copy, to save time.
lumra save 0 day >/dev/null
set -l profiles "$HOME/Library/Application Support/lumra/profiles"
cp "$profiles/day.json" "$profiles/night shift.json"
touch $scratch/night.json
expect 'lumra res' restore
expect 'lumra restore ' bin/ day home/ 'night shift' night.json
expect 'lumra --json restore ni' 'night shift' night.json
expect 'lumra restore day a' all
expect 'lumra save a' all
expect 'lumra save 0 d' day
# Two monitors share a name, which selects neither: it is not offered.
set -lx LUMRA_SIMULATION $desk002
expect 'lumra get ' 0 1 all darwin:10AC:D0F8:3042454C darwin:10AC:D0F8:3047414C
set -e LUMRA_SIMULATION

rm -rf $scratch
echo "fish-completion: $passes passed, $failures failed"
test $failures -eq 0
