#!/usr/bin/env bash
# Layout and names. clang-format (the repository's .clang-format) must find nothing to change in
# any C++ file of src/, tests/, bench/ and fuzz/, and clang-tidy (.clang-tidy: identifier naming
# and a few checks that find real bugs) must report nothing on the sources of src/, compiled as
# the dev build compiles them, each on its own (build/tidy/compile_commands.json).
#
#   scripts/ci/12-style.sh            the whole tree
#   scripts/ci/12-style.sh FILE...    these files only (clang-tidy takes the .cpp files of src/)
set -euo pipefail
cd "$(dirname "$0")/../.."

need=()
command -v clang-format >/dev/null || need+=(clang-format)
command -v clang-tidy >/dev/null && command -v run-clang-tidy >/dev/null || need+=(clang-tidy)
scripts/install-deps.sh "${need[@]}"

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(find src tests bench fuzz -type f \
    \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) | sort)
fi
echo "clang-format: ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"

# run-clang-tidy takes regular expressions over the paths of the build's sources.
if [ $# -eq 0 ]; then
  patterns=("^$PWD/src/")
else
  patterns=()
  for file in "$@"; do
    case "$file" in src/*.cpp) patterns+=("^$PWD/$(sed 's/[.[\*^$]/\\&/g' <<<"$file")\$") ;; esac
  done
fi
if [ ${#patterns[@]} -eq 0 ]; then
  echo "clang-tidy: no source of src/ among the files"
  exit 0
fi
# clang-tidy reads each source as the dev build compiles it, but one file at a time, where the
# dev build compiles several together (a unity build); configuring writes the commands.
cmake --preset dev -B build/tidy -DCMAKE_UNITY_BUILD=OFF >/dev/null
run-clang-tidy -quiet -j 2 -p build/tidy "${patterns[@]}"
echo "style: clean"
