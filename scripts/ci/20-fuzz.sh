#!/usr/bin/env bash
# Every fuzz target for about 30 seconds (scripts/fuzz.sh), from the sanitizer build that
# scripts/ci/10-sanitizers.sh made: its libraries carry the fuzzer's instrumentation, and only
# the targets are left to build if anything changed. Unoptimised, a target runs fewer inputs in
# its 30 seconds than one of the fuzz preset would; scripts/fuzz.sh alone fuzzes optimised.
set -euo pipefail
cd "$(dirname "$0")/../.."

# Two targets at a time on the two cores.
LUMRA_FUZZ_BUILD=build/asan LUMRA_FUZZ_JOBS=${LUMRA_FUZZ_JOBS:-2} \
  scripts/fuzz.sh "${LUMRA_FUZZ_SECONDS:-30}"
