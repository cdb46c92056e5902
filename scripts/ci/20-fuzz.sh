#!/usr/bin/env bash
# Every fuzz target for 10 seconds (scripts/fuzz.sh), from the sanitizer build that
# scripts/ci/10-sanitizers.sh made: its libraries carry the fuzzer's instrumentation and are
# optimised, and only the targets are left to build if anything changed. There most targets run
# more inputs in 10 seconds than they did unoptimised in 30 (docs/reliability.md); scripts/fuzz.sh
# alone fuzzes longer.
set -euo pipefail
cd "$(dirname "$0")/../.."

# Two targets at a time on the two cores.
LUMRA_FUZZ_BUILD=build/asan LUMRA_FUZZ_JOBS=${LUMRA_FUZZ_JOBS:-2} \
  scripts/fuzz.sh "${LUMRA_FUZZ_SECONDS:-10}"
