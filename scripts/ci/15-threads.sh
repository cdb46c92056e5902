#!/usr/bin/env bash
# The commands that serve every monitor at once, built with ThreadSanitizer (the "tsan" preset):
# the run and selection tests, the end-to-end tests that drive several monitors (and several
# processes) at once through the stand-in platform, and every real desk read whole. A race fails
# the command it happens in, since ThreadSanitizer's report lands on standard error. Thread
# leaks are not reported (TSAN_OPTIONS in the preset): a quiet-time holder is forked from a
# process whose threads it never joins, and ends with _exit.
#
#   scripts/ci/15-threads.sh           build, then test
#   scripts/ci/15-threads.sh --build   build only (.ci/run builds while other checks run)
set -euo pipefail
cd "$(dirname "$0")/../.."

need=()
command -v clang++ >/dev/null || need+=(clang)
scripts/install-deps.sh "${need[@]}"

cmake --preset tsan >/dev/null
cmake --build --preset tsan --target lumra lumra_cli_tests lumra_e2e_tests
[ "${1:-}" != --build ] || exit 0
ctest --preset tsan -R '^cli\.|AllMonitors|AtOnce|Concurrent|RealDesks'
echo "ThreadSanitizer: clean"
