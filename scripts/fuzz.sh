#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, LUMRA_FUZZ=ON) and runs each for a fixed time, starting
# from its seed corpus in fuzz/corpus/<target>/. New inputs go to a scratch corpus, so the
# seeds in the repository stay as they are; a crash leaves its input in the report directory.
#
#   scripts/fuzz.sh                  every target for 30 s
#   scripts/fuzz.sh 600              every target for 10 minutes
#   scripts/fuzz.sh 60 options_fuzz  one target
#
# Environment: LUMRA_FUZZ_BUILD (build directory, default build/fuzz; one already configured
# with LUMRA_FUZZ=ON, such as the asan preset's build/asan, is used as it is), LUMRA_FUZZ_OUT
# (where corpora, logs and crashes go, default the build directory's fuzz-runs/),
# LUMRA_FUZZ_JOBS (targets run at the same time, default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
build=${LUMRA_FUZZ_BUILD:-build/fuzz}
out=${LUMRA_FUZZ_OUT:-$build/fuzz-runs}
jobs=${LUMRA_FUZZ_JOBS:-1}

# The fuzz preset, in another folder when LUMRA_FUZZ_BUILD names one that is not yet a fuzz
# build.
if ! grep -qs '^LUMRA_FUZZ:BOOL=ON$' "$build/CMakeCache.txt"; then
  cmake --preset fuzz -B "$build" >/dev/null
fi
cmake --build "$build" --target lumra_fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    [ -x "$build/fuzz/$name" ] && targets+=("$name")
  done
fi

run_one() {
  local name=$1 dir="$out/$1"
  mkdir -p "$dir/corpus"
  # -rss_limit_mb: a deep capabilities tree renders to megabytes of JSON on purpose.
  if "$build/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=4096 -artifact_prefix="$dir/" "$dir/corpus" "fuzz/corpus/$name" \
      >"$dir/log" 2>&1; then
    local last
    last=$(grep -E '^#[0-9]+' "$dir/log" | tail -n 1)
    printf '%-22s ok  %10s runs  %-10s %-10s %6s corpus  %s s\n' "$name" \
      "$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")" \
      "$(grep -o 'cov: [0-9]*' <<<"$last")" "$(grep -o 'ft: [0-9]*' <<<"$last")" \
      "$(find "$dir/corpus" -type f | wc -l)" "$seconds"
  else
    printf '%-22s FAILED  see %s\n' "$name" "$dir/log"
    grep -m 5 -E 'property failed|ERROR|runtime error' "$dir/log" || true
    return 1
  fi
}

failed=0
running=0
for name in "${targets[@]}"; do
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
