#!/usr/bin/env bash
# Layout and names. clang-format (the repository's .clang-format) must find nothing to change in
# any C++ file of src/, tests/, bench/ and fuzz/; clang-tidy (.clang-tidy: identifier naming
# and a few checks that find real bugs) must report nothing in the sources and headers of src/,
# compiled as the dev build compiles them (build/tidy/compile_commands.json); and each source of
# the stand-in must compile on its own.
#
#   scripts/ci/12-style.sh            the whole tree
#   scripts/ci/12-style.sh FILE...    clang-format on these files only; clang-tidy on all of src/
set -euo pipefail
cd "$(dirname "$0")/../.."

need=()
command -v clang-format >/dev/null || need+=(clang-format)
command -v clang-tidy >/dev/null && command -v run-clang-tidy >/dev/null || need+=(clang-tidy)
command -v clang++ >/dev/null || need+=(clang)
scripts/install-deps.sh "${need[@]}"

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(find src tests bench fuzz -type f \
    \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) | sort)
fi
echo "clang-format: ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"

# clang-tidy reads the units of the dev build's unity build, each a handful of sources of one
# library: a header is parsed once per unit instead of once per source, eight times as fast as
# reading each source alone. The sources then count as headers, so the header filter takes in
# every source and header of src/ (lumra_native.h keeps the C names of the bridge's interface).
cmake --preset dev -B build/tidy >/dev/null
build=$PWD/build/tidy
mapfile -t units < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$build/compile_commands.json" |
  grep -E "^($PWD/src/|$build/(src/[^/]+/)?CMakeFiles/[^/]+/Unity/)" | sort)
echo "clang-tidy: ${#units[@]} units"
patterns=()
for unit in "${units[@]}"; do patterns+=("^$(sed 's/[.[\*^$]/\\&/g' <<<"$unit")\$"); done
run-clang-tidy -quiet -j 2 -p "$build" -header-filter="^$PWD/src/.*\.(hpp|cpp)\$" "${patterns[@]}"

# A unity build hides a source's missing include behind an earlier source of its unit. The
# macOS x86_64 build (scripts/ci/50-macos.sh) compiles on its own each source a Mac builds; the
# stand-in's, which a Mac does not build, are compiled on their own here with the dev build's
# flags, by clang, whose front end takes a sixth less time than gcc's.
read -ra flags < <(sed -n 's|^ *"command": "\(.*\) -o src/sim/CMakeFiles/lumra_sim\.dir/Unity/.*|\1|p' \
  "$build/compile_commands.json" | head -n 1)
flags[0]=clang++
mapfile -t sim_sources < <(find src/sim -name '*.cpp' | sort)
echo "the stand-in's ${#sim_sources[@]} sources, each on its own"
printf '%s\n' "${sim_sources[@]}" | xargs -P 2 -n 1 "${flags[@]}" -fsyntax-only

echo "style: clean"
