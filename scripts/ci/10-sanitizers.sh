#!/usr/bin/env bash
# The whole test suite once more, built by clang with AddressSanitizer (LeakSanitizer included)
# and UndefinedBehaviorSanitizer (the "asan" preset), then the four device commands of the
# normal build under valgrind's leak checker. No sanitizer suppressions are used. The same
# build carries the fuzzer's coverage instrumentation and the fuzz targets, which
# scripts/ci/20-fuzz.sh runs, so the library is compiled once for both.
#
#   scripts/ci/10-sanitizers.sh           build, then test
#   scripts/ci/10-sanitizers.sh --build   build only (.ci/run builds while other checks run)
set -euo pipefail
cd "$(dirname "$0")/../.."

runtime_present() {
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
    compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/x86_64-*/libclang_rt.fuzzer.a" >/dev/null
}
need=()
command -v valgrind >/dev/null || need+=(valgrind)
if ! command -v clang++ >/dev/null || ! runtime_present; then
  need+=(clang libclang-rt-dev)
fi
scripts/install-deps.sh "${need[@]}"

cmake --preset asan
cmake --build --preset asan
[ "${1:-}" != --build ] || exit 0
ctest --preset asan

# valgrind on the normal build: list, get, set and capabilities must leave nothing behind.
cmake --preset dev >/dev/null
cmake --build --preset dev --target lumra
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# valgrind slows a process down some fifty times: the deadline is raised to match.
for words in "list" "get 0 brightness" "set 0 brightness 30" "--json capabilities 0"; do
  echo "valgrind: lumra $words"
  # shellcheck disable=SC2086 # the words are meant to be split
  HOME="$home" LUMRA_SIM_CHECK_RELEASES=1 valgrind --quiet --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    --error-exitcode=99 build/dev/lumra --timeout 120s $words >/dev/null
done
echo "sanitizers and valgrind: clean"
