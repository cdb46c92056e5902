#!/usr/bin/env zsh
# Types command lines into an interactive zsh on a pseudo-terminal, presses Tab, and compares the
# line that completion left behind. The completion function is found through fpath, as after an
# install, so the test also proves that compinit picks it up.
#
# Usage: zsh-completion-test.zsh LUMRA_BINARY FUNCTION_DIR
#   FUNCTION_DIR holds _lumra (completions/ in the source tree, or
#   PREFIX/share/zsh/site-functions after an install).
# Runs on the simulated monitors in a scratch HOME.
emulate -L zsh
setopt err_return no_unset

binary=${1:?usage: zsh-completion-test.zsh LUMRA_BINARY FUNCTION_DIR}
function_dir=${2:?usage: zsh-completion-test.zsh LUMRA_BINARY FUNCTION_DIR}
binary=${binary:A}
function_dir=${function_dir:A}

scratch=$(mktemp -d)
trap 'zpty -d lumra_completion 2>/dev/null; rm -rf $scratch' EXIT
mkdir -p $scratch/bin $scratch/home
ln -s $binary $scratch/bin/lumra

# The shell under test: no user files, the completion directory first in fpath, and ^X bound to
# a widget that writes the edited line to a file and clears it for the next case.
cat > $scratch/home/.zshrc <<EOF
PS1='> '
PATH=$scratch/bin:\$PATH
fpath=($function_dir \$fpath)
autoload -Uz compinit
compinit -u -D
dump_line() { print -r -- "\$BUFFER" > $scratch/line.tmp && mv $scratch/line.tmp $scratch/line; BUFFER=; }
zle -N dump_line
bindkey '^X' dump_line
print -r -- "\${_comps[lumra]-none}" > $scratch/ready
EOF

zmodload zsh/zpty
HOME=$scratch/home ZDOTDIR=$scratch/home zpty lumra_completion zsh -i

wait_for() {
  local file=$1 tries=0
  while [[ ! -s $file ]]; do
    (( ++tries > 200 )) && return 1
    sleep 0.05
  done
}

failures=0
passes=0

if ! wait_for $scratch/ready; then
  print -u2 "FAIL: the interactive zsh did not start"
  exit 1
fi
if [[ $(<$scratch/ready) != _lumra ]]; then
  print -u2 "FAIL: compinit did not register _lumra for lumra (got $(<$scratch/ready))"
  (( ++failures ))
fi

# complete_line TYPED WANT: typing TYPED and Tab must leave WANT on the line.
complete_line() {
  local typed=$1 want=$2 got
  rm -f $scratch/line
  zpty -w -n lumra_completion "$typed"$'\t'
  sleep 0.1
  zpty -w -n lumra_completion $'\C-x'
  if ! wait_for $scratch/line; then
    print -u2 "FAIL: completing '$typed': no line came back"
    (( ++failures ))
    return 0
  fi
  got=$(<$scratch/line)
  if [[ $got != "$want" ]]; then
    print -u2 "FAIL: completing '$typed': got '$got', want '$want'"
    (( ++failures ))
  else
    (( ++passes ))
  fi
  return 0
}

complete_line 'lumra get 0 bri' 'lumra get 0 brightness '
complete_line 'lumra set 1 vol' 'lumra set 1 volume '
complete_line 'lumra get 0 co' 'lumra get 0 co'
complete_line 'lumra fea' 'lumra features '
complete_line 'lumra adj' 'lumra adjust '
complete_line 'lumra adjust 1 vol' 'lumra adjust 1 volume '
# input is a choice, not a quantity: adjust does not offer it.
complete_line 'lumra adjust 0 i' 'lumra adjust 0 i'
complete_line 'lumra capa' 'lumra capabilities '
complete_line 'lumra cap' 'lumra cap'
complete_line 'lumra --lang z' 'lumra --lang zh-CN '
complete_line 'lumra --sa' 'lumra --save-settings '
complete_line 'lumra list --js' 'lumra list --json '
complete_line 'lumra caps darwin:3E56:3' 'lumra caps darwin:3E56:3220:00D4E5F6 '
complete_line 'lumra get darwin:3E56:2710:00A1B2C3 mcc' 'lumra get darwin:3E56:2710:00A1B2C3 mccs-version '
complete_line 'lumra --timeout 3s get 1 sha' 'lumra --timeout 3s get 1 sharpness '
complete_line 'lumra -- get 0 pic' 'lumra -- get 0 picture-mode '
complete_line 'lumra set 0 input hdmi' 'lumra set 0 input hdmi'
complete_line 'lumra set 0 input hdmi2' 'lumra set 0 input hdmi2 '
# input-alt is written, never read.
complete_line 'lumra set 0 input-' 'lumra set 0 input-alt '
complete_line 'lumra get 0 input-' 'lumra get 0 input-'
complete_line 'lumra set 0 input-alt us' 'lumra set 0 input-alt usbc '
complete_line 'lumra --unsafe set 1 POWER off-' 'lumra --unsafe set 1 POWER off-hard '
complete_line 'lumra --verify toggle 1 power on off-' 'lumra --verify toggle 1 power on off-hard '
complete_line 'lumra get al' 'lumra get all '
complete_line 'lumra get Orvane\ U' 'lumra get Orvane\ U32\ Studio '
# No monitor selectors or features where the command takes none.
complete_line 'lumra list 0' 'lumra list 0'
complete_line 'lumra features bri' 'lumra features bri'

# set offers what it can write, toggle what it can both read and write.
complete_line 'lumra set 0 contr' 'lumra set 0 contrast '
complete_line 'lumra toggle 0 mc' 'lumra toggle 0 mc'
complete_line 'lumra toggle 0 input-' 'lumra toggle 0 input-'
# Names complete in any letter case, with their real spelling; words after them complete.
complete_line 'lumra get orvane\ q' 'lumra get Orvane\ Q27\ Pro '
complete_line 'lumra get Orvane\ Q27\ Pro bri' 'lumra get Orvane\ Q27\ Pro brightness '
# Saved profiles complete by their bare names, beside the files of the working folder.
# One real save puts a profile where lumra keeps them; the second is its copy, to save time.
HOME=$scratch/home $binary save 0 day >/dev/null
profiles="$scratch/home/Library/Application Support/lumra/profiles"
cp "$profiles/day.json" "$profiles/night shift.json"
mkdir -p $scratch/work && : > $scratch/work/notes.json
zpty -w lumra_completion "cd ${(q)scratch}/work"
complete_line 'lumra sav' 'lumra save '
complete_line 'lumra res' 'lumra restore '
complete_line 'lumra restore da' 'lumra restore day '
complete_line 'lumra restore nig' 'lumra restore night\ shift '
complete_line 'lumra restore no' 'lumra restore notes.json '
complete_line 'lumra restore day al' 'lumra restore day all '
complete_line 'lumra save al' 'lumra save all '
complete_line 'lumra --json save 1 da' 'lumra --json save 1 day '
# Two monitors share a name, which selects neither: it is not offered.
zpty -w lumra_completion "export LUMRA_SIMULATION=${0:A:h:h:h}/docs/scenarios/real-desks/002-m1pro-two-dells.json"
complete_line 'lumra get DE' 'lumra get DE'
complete_line 'lumra get darwin:10AC:D0F8:3047' 'lumra get darwin:10AC:D0F8:3047414C '

print "zsh-completion: $passes passed, $failures failed"
(( failures == 0 ))
