#!/usr/bin/env bash
# Runs every command of a lumra binary, in both languages, as text and as JSON, on the built-in
# scenarios, the end-to-end scenarios and the real-desk corpus, and writes what each printed
# (standard output, standard error, exit status) under OUTDIR, one file per scenario. Two
# records of two builds compare with `diff -r`: a change meant to keep behaviour shows none.
#
#   scripts/record-outputs.sh BINARY OUTDIR
set -euo pipefail
binary=$(realpath "$1")
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
# A private HOME, emptied for each sequence; its path is written as $HOME in the record, so
# two records match wherever they were made.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home=$work/home

scenarios=(default apple-silicon "$root"/docs/scenarios/real-desks/*.json "$root"/tests/e2e/scenarios/*.json)
# Each sequence runs in order, so later commands see the state earlier ones left.
commands=(
  "list" "features" "help" "--version" "--bogus" "get" "get 0" "get 0 nonsense"
  "get 0 brightness" "get 1 brightness" "get 9 brightness" "get all brightness" "get Orvane brightness"
  "get 0 vcp:0x10" "get 0 vcp:0xE9" "get 0 input" "get 0 power" "get 0 mccs-version" "get 0 controller-id"
  "set 0 brightness 30" "set 0 brightness 0x20" "set 0 brightness abc" "set 0 brightness 70000"
  "set 0 input 15" "--unsafe set 0 input 15" "--unsafe set 0 input hdmi1" "set 0 vcp:0x10 5"
  "--unsafe set 0 vcp:0x10 5" "set all brightness 40" "set 0 color-preset 6500k"
  "adjust 0 brightness +10" "adjust 0 brightness -5" "adjust 0 brightness +10%" "adjust 0 brightness x"
  "adjust all contrast -3" "--unsafe adjust 0 input +1" "get 0 brightness"
  "capabilities 0" "caps 1" "capabilities all" "capabilities 7"
  "--timeout 0s get 0 brightness" "--timeout bogus list" "--lang fr list" "get"
)
for scenario in "${scenarios[@]}"; do
  name=$(basename "$scenario" .json)
  case $scenario in default) sim=() ;; *) sim=(LUMRA_SIMULATION="$scenario") ;; esac
  file=$out/$name.txt
  : >"$file"
  for lang in en zh-CN; do
    for json in "" "--json"; do
      rm -rf "$home"
      mkdir -p "$home"
      for words in "${commands[@]}"; do
        # shellcheck disable=SC2086 # the words are meant to be split
        set +e
        got=$(env -i PATH=/usr/bin:/bin HOME="$home" "${sim[@]}" "$binary" --lang "$lang" $json $words 2>"$work/err")
        status=$?
        set -e
        {
          printf '$ lumra --lang %s %s %s\n' "$lang" "$json" "$words"
          printf '%s\n' "${got//"$home"/\$HOME}"
          sed -e "s|$home|\$HOME|g" -e 's/^/! /' "$work/err"
          printf 'status %d\n' "$status"
        } >>"$file"
      done
    done
  done
done
# The language chosen by the environment instead of --lang.
for lang in zh_CN.UTF-8 C; do
  rm -rf "$home"; mkdir -p "$home"
  { printf '$ LANG=%s lumra list\n' "$lang"
    env -i PATH=/usr/bin:/bin HOME="$home" LANG="$lang" "$binary" list 2>&1; printf 'status %d\n' $?
  } >>"$out/environment.txt"
done
echo "recorded $(cat "$out"/*.txt | grep -c '^\$ ') commands in $out"
