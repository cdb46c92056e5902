#!/usr/bin/env bash
# Builds the benchmarks, passes their input checks, and runs every benchmark and the process
# runner once, very briefly, to prove they work. Timings are never asserted here: CI machines
# are shared and their figures say nothing (scripts/bench.sh measures; docs/performance.md).
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ ! -f /usr/include/benchmark/benchmark.h ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get update >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y libbenchmark-dev >/dev/null
fi

build=${LUMRA_CI_BENCH_BUILD_DIR:-build/ci-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMRA_WERROR=ON \
  -DLUMRA_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target lumra lumra_benchmarks lumra_bench_process lumra_bench_tests
"$build/bench/lumra_bench_tests"

HOME=$(mktemp -d)
export HOME
trap 'rm -rf "$HOME"' EXIT
"$build/bench/lumra_benchmarks" --benchmark_min_time=0.001 >/dev/null
"$build/bench/lumra_bench_process" --runs 2 --warmup 0 --expect 0 -- "$build/lumra" features
"$build/bench/lumra_bench_process" --runs 1 --warmup 0 --expect 2 -- "$build/lumra" --bogus
"$build/bench/lumra_bench_process" --runs 1 --warmup 0 --expect 0 -- "$build/lumra" get 0 brightness
echo "benchmarks build and run"
