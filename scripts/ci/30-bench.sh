#!/usr/bin/env bash
# Builds the benchmarks, passes their input checks, and runs every benchmark and the process
# runner once, very briefly, to prove they work. Timings are never asserted here: CI machines
# are shared and their figures say nothing (scripts/bench.sh measures; docs/performance.md).
set -euo pipefail
cd "$(dirname "$0")/../.."

need=()
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
scripts/install-deps.sh "${need[@]}" >/dev/null

# The dev build folder with the benchmarks added: its libraries and lumra are already built
# (scripts/build-and-test.sh), so only the benchmarks compile here.
build=build/dev
cmake --preset dev -DLUMRA_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target lumra lumra_benchmarks lumra_bench_process lumra_bench_tests
"$build/bench/lumra_bench_tests"

HOME=$(mktemp -d)
export HOME
trap 'rm -rf "$HOME"' EXIT
"$build/bench/lumra_benchmarks" --benchmark_min_time=0.001 >/dev/null
"$build/bench/lumra_bench_process" --runs 2 --warmup 0 --expect 0 -- "$build/lumra" features
"$build/bench/lumra_bench_process" --runs 1 --warmup 0 --expect 2 -- "$build/lumra" --bogus
"$build/bench/lumra_bench_process" --runs 1 --warmup 0 --expect 0 -- "$build/lumra" get 0 brightness
"$build/bench/lumra_bench_process" --runs 2 --warmup 0 --expect 0 --alternate -10 -- \
  "$build/lumra" adjust 0 brightness +10

# The pause summary on a known trace: one late pause of three fails the 95th percentile; a
# holder's select counts, to the millisecond.
summary=$(awk -v command=t -f bench/pauses.awk <<'TRACE'
101 clock_nanosleep(CLOCK_MONOTONIC, 0, {tv_sec=0, tv_nsec=40000000}, NULL) = 0 <0.040100>
101 nanosleep({tv_sec=0, tv_nsec=50000000}, NULL) = 0 <0.050100>
101 nanosleep({tv_sec=0, tv_nsec=50000000}, NULL) = 0 <0.050200>
101 nanosleep({tv_sec=0, tv_nsec=50000000}, NULL) = 0 <0.053000>
102 pselect6(0, NULL, NULL, NULL, {tv_sec=0, tv_nsec=47999000}, NULL) = 0 (Timeout) <0.048100>
101 +++ exited with 0 +++
TRACE
)
expected='| t | 40 | 1 | 40.100 | 40.100 | 40.100 | 0.100 | 0 | yes |
| t | 50 | 3 | 50.200 | 53.000 | 53.000 | 0.200 | 1 | no |
| t | 48 | 1 | 48.100 | 48.100 | 48.100 | 0.100 | 0 | yes |'
if [ "$summary" != "$expected" ]; then
  printf 'bench/pauses.awk summarised a known trace as\n%s\nexpected\n%s\n' "$summary" "$expected" >&2
  exit 1
fi
echo "benchmarks build and run"
