# fish completion for lumra: global options, commands, --lang values, named features (asked of
# `lumra --json features`; for set only the writable ones, for toggle those both readable and
# writable, for adjust only the writable quantities) and monitor selectors (indexes, IDs, "all"
# and the names that fit one monitor, from `lumra --json list`, in any letter case, as fish
# matches), the value names of set, and for save and restore the saved profiles by name, beside
# file names.
# Installed as share/fish/vendor_completions.d/lumra.fish, where fish looks for completions.

# The command words typed so far (options and their values left out). Options may stand anywhere
# until "--"; --lang and --timeout take the next word as their value.
function __lumra_command_words
    set -l words (commandline -opc)
    set -e words[1]
    set -l options_done 0
    set -l expects_value 0
    for word in $words
        if test $expects_value -eq 1
            set expects_value 0
        else if test $options_done -eq 1; or test "$word" = -; or not string match -q -- '-*' $word
            echo $word
        else if test "$word" = --
            set options_done 1
        else if contains -- $word --lang --timeout
            set expects_value 1
        end
    end
end

# True when the command words so far are exactly $argv[1] words and the first is one of the rest
# (or, with no more arguments, whatever it is).
function __lumra_at_word
    set -l words (__lumra_command_words)
    test (count $words) -eq $argv[1]; or return 1
    test (count $argv) -eq 1; and return 0
    contains -- $words[1] $argv[2..-1]
end

function __lumra_program
    set -l words (commandline -opc)
    echo $words[1]
end

# Indexes and IDs, each described by the monitor's name. The deadline keeps a slow or absent
# monitor from stalling the shell.
function __lumra_selectors
    set -l program (__lumra_program)
    set -l json ($program --json --timeout 2s list 2>/dev/null)
    or return
    # Each monitor object begins {"id":"…","index":N,"name":"…"; no other object holds "id".
    set -l fields (string match -ar '"id":"([^"]*)","index":([0-9]+),"name":"([^"]*)"' -g -- $json)
    for i in (seq 1 3 (count $fields))
        printf '%s\t%s\n' $fields[(math $i + 1)] $fields[(math $i + 2)]
    end
    for i in (seq 1 3 (count $fields))
        printf '%s\t%s\n' $fields[$i] $fields[(math $i + 2)]
    end
    printf '%s\t%s\n' all 'Every monitor'
    # A name that two monitors share (in any letter case) is left out: lumra refuses it.
    set -l folded (string lower -- $fields[(seq 3 3 (count $fields))])
    for i in (seq 1 3 (count $fields))
        set -l name $fields[(math $i + 2)]
        set -l lower (string lower -- $name)
        set -l sharing 0
        for other in $folded
            test "$other" = "$lower"; and set sharing (math $sharing + 1)
        end
        test $sharing -eq 1; and printf '%s\t%s\n' $name 'Monitor name'
    end
end

# The bare names of the saved profiles (the .json files of the profiles folder), which save and
# restore take in place of a path.
function __lumra_profiles
    set -q HOME; or return
    for file in $HOME/Library/Application\ Support/lumra/profiles/*.json
        test -f $file; or continue
        printf '%s\t%s\n' (string replace -r '^.*/(.*)\.json$' '$1' -- $file) 'Saved profile'
    end
end

# The names that set takes for the values of the feature typed (any letter case).
function __lumra_value_names
    set -l words (__lumra_command_words)
    switch (string lower -- $words[3])
        case input-alt
            string split ' ' 'hdmi1 hdmi2 dp1 dp2 usbc'
        case input
            string split ' ' 'vga1 vga2 dvi1 dvi2 composite1 composite2 svideo1 svideo2 tuner1 tuner2 tuner3 component1 component2 component3 dp1 dp2 hdmi1 hdmi2 usbc'
        case power
            string split ' ' 'on standby suspend off off-hard'
        case mute
            string split ' ' 'on off'
        case color-preset
            string split ' ' 'srgb native 4000k 5000k 6500k 7500k 8200k 9300k 10000k 11500k user1 user2 user3'
    end
end

# With "adjustable", only the writable quantities that adjust steps through (each feature
# object begins name, code, writable, unsafe, continuous); with "writable", those set can write;
# with "toggleable", those toggle both reads and writes; with "readable", only those that get
# can read (the write-only ones say "readable":false).
function __lumra_features
    set -l program (__lumra_program)
    set -l json ($program --json features 2>/dev/null)
    or return
    if test "$argv[1]" = readable
        string match -ar '\{[^}]*\}' -- $json | string match -v -- '*"readable":false*' |
            string match -ar '"name":"([^"]*)"' -g
    else if test "$argv[1]" = writable
        string match -ar '\{[^}]*\}' -- $json | string match -- '*"writable":true*' |
            string match -ar '"name":"([^"]*)"' -g
    else if test "$argv[1]" = toggleable
        string match -ar '\{[^}]*\}' -- $json | string match -- '*"writable":true*' |
            string match -v -- '*"readable":false*' | string match -ar '"name":"([^"]*)"' -g
    else if test "$argv[1]" = adjustable
        string match -ar '"name":"([^"]*)","code":[0-9]+,"writable":true,"unsafe":[a-z]+,"continuous":true' -g -- $json
    else
        string match -ar '"name":"([^"]*)"' -g -- $json
    end
end

complete -c lumra -f
complete -c lumra -l json -d 'Print results and errors as JSON'
complete -c lumra -l unsafe -d 'Allow disruptive writes and raw VCP writes'
complete -c lumra -l verify -d 'Read every written value back'
complete -c lumra -l save-settings -d 'Have each monitor written save its settings'
complete -c lumra -l wait -d 'Keep trying until the monitor is listed and answers'
complete -c lumra -l lang -x -a 'en zh-CN' -d 'Language of the messages'
complete -c lumra -l timeout -x -a '1s 3s 5s 10s 30s' -d 'Deadline for the whole command'
complete -c lumra -s h -l help -d 'Print the usage text'
complete -c lumra -l version -d 'Print the version'

complete -c lumra -n '__lumra_at_word 0' -a list -d 'List the monitors that answer DDC/CI'
complete -c lumra -n '__lumra_at_word 0' -a get -d 'Read a feature of a monitor'
complete -c lumra -n '__lumra_at_word 0' -a set -d 'Write a feature of a monitor'
complete -c lumra -n '__lumra_at_word 0' -a adjust -d 'Raise or lower a feature of a monitor by a step'
complete -c lumra -n '__lumra_at_word 0' -a toggle -d 'Flip a feature of a monitor between two values'
complete -c lumra -n '__lumra_at_word 0' -a capabilities -d 'Print the capabilities string of a monitor'
complete -c lumra -n '__lumra_at_word 0' -a caps -d 'Print the capabilities string of a monitor'
complete -c lumra -n '__lumra_at_word 0' -a save -d 'Write the settings of a monitor to a profile'
complete -c lumra -n '__lumra_at_word 0' -a restore -d 'Write a profile back to a monitor'
complete -c lumra -n '__lumra_at_word 0' -a features -d 'List the named features'
complete -c lumra -n '__lumra_at_word 0' -a help -d 'Print the usage text'

complete -c lumra -n '__lumra_at_word 1 get set adjust toggle capabilities caps save' -a '(__lumra_selectors)'
complete -c lumra -n '__lumra_at_word 1 restore' -F -a '(__lumra_profiles)'
complete -c lumra -n '__lumra_at_word 2 save' -F -a '(__lumra_profiles)'
complete -c lumra -n '__lumra_at_word 2 restore' -a '(__lumra_selectors)'
complete -c lumra -n '__lumra_at_word 2 get' -a '(__lumra_features readable)' -d Feature
complete -c lumra -n '__lumra_at_word 2 toggle' -a '(__lumra_features toggleable)' -d Feature
complete -c lumra -n '__lumra_at_word 2 set' -a '(__lumra_features writable)' -d Feature
complete -c lumra -n '__lumra_at_word 2 adjust' -a '(__lumra_features adjustable)' -d Feature
complete -c lumra -n '__lumra_at_word 3 set toggle' -a '(__lumra_value_names)' -d Value
complete -c lumra -n '__lumra_at_word 4 toggle' -a '(__lumra_value_names)' -d Value
