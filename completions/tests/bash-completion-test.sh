#!/usr/bin/env bash
# Drives the bash completion of lumra as readline would: sets COMP_LINE, COMP_POINT, COMP_WORDS
# and COMP_CWORD for a command line, calls the completion function and compares COMPREPLY.
#
# Usage: bash-completion-test.sh LUMRA_BINARY [COMPLETION_FILE]
#   COMPLETION_FILE defaults to the lumra.bash beside this folder. When the file is installed
#   under PREFIX/share/bash-completion/completions/, set LUMRA_COMPLETION_DATA_DIR=PREFIX/share
#   to also check that bash-completion finds it there on its own.
# Runs on the simulated monitors (or the real ones on a Mac) in a scratch HOME.
set -uo pipefail

binary=${1:?usage: bash-completion-test.sh LUMRA_BINARY [COMPLETION_FILE]}
here=$(cd "$(dirname "$0")" && pwd)
completion_file=${2:-$here/../lumra.bash}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/bin" "$scratch/home"
ln -s "$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")" "$scratch/bin/lumra"
export PATH="$scratch/bin:$PATH" HOME="$scratch/home"

failures=0
passes=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# LUMRA_COMPLETION_FALLBACK=1: the run that never loads bash-completion, so the completion splits
# the line by itself (this script starts that run at its end).
bash_completion_script=""
[ -n "${LUMRA_COMPLETION_FALLBACK-}" ] ||
for candidate in /usr/share/bash-completion/bash_completion \
  /usr/local/share/bash-completion/bash_completion \
  /opt/homebrew/share/bash-completion/bash_completion; do
  if [ -f "$candidate" ]; then
    bash_completion_script=$candidate
    break
  fi
done

# Loads the completion into this shell. With bash-completion present, first check that its
# loader finds the installed file by itself (the install location is the point of the check).
if [ -n "$bash_completion_script" ]; then
  # bash_completion expects an interactive-looking shell but works when sourced from a script.
  # shellcheck source=/dev/null
  . "$bash_completion_script"
  if [ -n "${LUMRA_COMPLETION_DATA_DIR-}" ]; then
    XDG_DATA_DIRS="$LUMRA_COMPLETION_DATA_DIR" _completion_loader lumra
    if [ "$(complete -p lumra 2>/dev/null)" != "complete -F _lumra lumra" ]; then
      fail "bash-completion did not load lumra from $LUMRA_COMPLETION_DATA_DIR"
    else
      passes=$((passes + 1))
    fi
    complete -r lumra 2>/dev/null
  fi
elif [ -z "${LUMRA_COMPLETION_FALLBACK-}" ]; then
  echo "note: bash-completion is not installed; testing the completion on its own" >&2
fi

load_output=$(. "$completion_file" 2>&1)
if [ -n "$load_output" ]; then
  fail "loading $completion_file printed: $load_output"
fi
# shellcheck source=/dev/null
. "$completion_file"

# Splits LINE (the text before the cursor) into COMP_WORDS the way readline does with the
# default word breaks: at blanks, and "=" and ":" are words of their own; an escaped blank
# (Orvane\ Q27) or a blank in double quotes stays in its word.
split_like_readline() {
  local line=$1 word="" ch i quoted=0
  COMP_WORDS=()
  for ((i = 0; i < ${#line}; i++)); do
    ch=${line:i:1}
    case $ch in
      '\')
        word+=${line:i:2}
        i=$((i + 1))
        ;;
      '"')
        quoted=$((1 - quoted))
        word+=$ch
        ;;
      ' ')
        if [ "$quoted" -eq 1 ]; then
          word+=$ch
        else
          [ -n "$word" ] && COMP_WORDS+=("$word")
          word=""
        fi
        ;;
      '=' | ':')
        [ -n "$word" ] && COMP_WORDS+=("$word")
        # Consecutive break characters form one word, as readline does.
        if [ ${#COMP_WORDS[@]} -gt 0 ] && [ -z "$word" ] && [[ ${line:i-1:1} == [=:] ]]; then
          COMP_WORDS[-1]+=$ch
        else
          COMP_WORDS+=("$ch")
        fi
        word=""
        ;;
      *) word+=$ch ;;
    esac
  done
  COMP_WORDS+=("$word")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
}

# expect LINE WANT...: completing LINE (cursor at its end) must give exactly WANT, in order.
expect() {
  local line=$1
  shift
  local -a want=("$@")
  COMP_LINE=$line
  COMP_POINT=${#line}
  split_like_readline "$line"
  COMPREPLY=()
  _lumra lumra "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local got want_text
  got=$(printf '[%s] ' "${COMPREPLY[@]}")
  want_text=$(printf '[%s] ' "${want[@]}")
  [ ${#want[@]} -eq 0 ] && want_text="[] "
  [ ${#COMPREPLY[@]} -eq 0 ] && got="[] "
  if [ "$got" != "$want_text" ]; then
    fail "completing '$line': got $got, want $want_text"
  else
    passes=$((passes + 1))
  fi
}

run_cases() {
  expect "lumra get 0 bri" brightness
  expect "lumra get 0 c" contrast color-preset controller-id
  expect "lumra set 1 p" power picture-mode
  expect "lumra --json get 0 m" mute mccs-version
  expect "lumra get --unsafe 0 vol" volume
  expect "lumra c" capabilities caps
  expect "lumra " list get set adjust toggle capabilities caps save restore features help
  expect "lumra --unsafe toggle 0 input hdmi1 d" dvi1 dvi2 dp1 dp2
  expect "lumra a" adjust
  expect "lumra adjust " 0 1 darwin:3E56:2710:00A1B2C3 darwin:3E56:3220:00D4E5F6 all 'Orvane\ Q27\ Pro' 'Orvane\ U32\ Studio'
  # adjust offers only the writable quantities.
  expect "lumra adjust 0 " brightness contrast red-gain green-gain blue-gain volume red-black-level \
    green-black-level blue-black-level sharpness
  expect "lumra adjust 0 brightness "
  expect "lumra f" features
  expect "lumra --lang zh-CN l" list
  expect "lumra --timeout 3s s" set save
  expect "lumra --lang " en zh-CN
  expect "lumra --lang z" zh-CN
  expect "lumra --lang=z" zh-CN
  expect "lumra --timeout 1" 1s 10s
  expect "lumra --j" --json
  expect "lumra --s" --save-settings
  expect "lumra --w" --wait
  expect "lumra --v" --verify --version
  expect "lumra get 0 brightness --u" --unsafe
  expect "lumra get " 0 1 darwin:3E56:2710:00A1B2C3 darwin:3E56:3220:00D4E5F6 all 'Orvane\ Q27\ Pro' 'Orvane\ U32\ Studio'
  expect "lumra caps darwin:3E56:3" 3220:00D4E5F6
  expect "lumra get darwin:3E56:2710:00A1B2C3 b" brightness blue-gain blue-black-level
  # Words after "--" are command words even when they look like options.
  expect "lumra -- get 0 --" 
  expect "lumra -- get 0 b" brightness blue-gain blue-black-level
  # Nothing to offer: commands without a monitor, and the value of set.
  expect "lumra list "
  expect "lumra features "
  expect "lumra set 0 brightness "
  expect "lumra set 0 input hd" hdmi1 hdmi2
  # input-alt is written, never read.
  expect "lumra set 0 inp" input input-alt
  expect "lumra get 0 inp" input
  expect "lumra set 0 input-alt d" dp1 dp2
  expect "lumra --unsafe set all Power o" on off off-hard
  expect "lumra set 1 color-preset 1" 10000k 11500k
  expect "lumra get 0 input "
  expect "lumra get a" all
  expect "lumra get 0 nothing-like-this"
  # A name with blanks is one word; the words after it complete.
  expect "lumra get Orvane\\ Q27\\ Pro b" brightness blue-gain blue-black-level
  expect "lumra --json get Orvane\\ U32\\ Studio volume --u" --unsafe
  expect "lumra toggle Orvane\\ U32\\ Studio power o" on off off-hard
  expect 'lumra set "Orvane Q27 Pro" vol' volume
  # set offers what it can write, toggle what it can both read and write.
  expect "lumra set 0 c" contrast color-preset
  expect "lumra set 0 m" mute
  expect "lumra toggle 0 inp" input
  expect "lumra toggle 0 c" contrast color-preset
  # Letter case does not matter; the reply carries the real spelling.
  expect "lumra get orv" 'Orvane\ Q27\ Pro' 'Orvane\ U32\ Studio'
  expect "lumra get orvane\\ u" 'Orvane\ U32\ Studio'
  expect "lumra GE" get
  # Only the part after the last ":" is replaced, so the ID's typed case must be right.
  expect "lumra caps darwin:3e56:3"
  # Two monitors share a name, which selects neither: only indexes, IDs and all.
  LUMRA_SIMULATION=$here/../../docs/scenarios/real-desks/002-m1pro-two-dells.json \
    expect "lumra get " 0 1 darwin:10AC:D0F8:3042454C darwin:10AC:D0F8:3047414C all
  LUMRA_SIMULATION=$here/../../docs/scenarios/real-desks/002-m1pro-two-dells.json expect "lumra get de"

  # Saved profiles by their bare names, beside the files of the working folder; a monitor selector
  # where the command takes one.
  # One real save puts a profile where lumra keeps them; the second is its copy, to save time.
  lumra save 0 day >/dev/null || fail "lumra save failed"
  profiles="$HOME/Library/Application Support/lumra/profiles"
  cp "$profiles/day.json" "$profiles/night shift.json"
  mkdir -p "$scratch/work/notes" && : >"$scratch/work/night.json"
  cd "$scratch/work" || return
  expect "lumra re" restore
  expect "lumra sa" save
  expect "lumra restore ni" 'night shift' night.json
  expect "lumra restore no" notes
  expect "lumra --json restore D" day
  expect "lumra restore day a" all
  expect "lumra save a" all
  expect "lumra save 0 nig" 'night shift' night.json
  expect "lumra restore day all "
  cd - >/dev/null || return
}

run_cases
if [ -z "${LUMRA_COMPLETION_FALLBACK-}" ]; then
  # The same cases in a bash without bash-completion.
  LUMRA_COMPLETION_FALLBACK=1 bash "$0" "$binary" "$completion_file" || fail "the fallback run"
fi

echo "bash-completion: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
