#!/usr/bin/env bash
# Process-level benchmark of lumra on the simulated monitors. For each command it reports the
# median wall time, the floor that the DDC/CI protocol's mandated pauses set, the overhead
# above that floor (split into the simulator's estimated share and ours), CPU time and peak
# resident set size; then it measures the pauses themselves. Method: docs/performance.md.
#
#   scripts/bench.sh [--runs N] [--capability-runs N] [--build-dir DIR] [--no-pauses]
#                    [--instructions]
#
# Needs cmake, ninja, a C++ compiler, Google Benchmark (libbenchmark-dev), for the pause
# measurement strace, and for --instructions (parser and renderer work per input byte,
# counted by callgrind) valgrind; on Debian the missing ones are installed with apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=30
capability_runs=5
build=build/bench
measure_pauses=1
count_instructions=0
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --capability-runs) capability_runs=$2; shift 2 ;;
    --build-dir) build=$2; shift 2 ;;
    --no-pauses) measure_pauses=0; shift ;;
    --instructions) count_instructions=1; shift ;;
    *) echo "usage: scripts/bench.sh [--runs N] [--capability-runs N] [--build-dir DIR]" \
         "[--no-pauses] [--instructions]" >&2
       exit 2 ;;
  esac
done

install_missing() {
  local need=()
  [ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
  [ "$measure_pauses" -eq 0 ] || command -v strace >/dev/null || need+=(strace)
  [ "$count_instructions" -eq 0 ] || command -v valgrind >/dev/null || need+=(valgrind)
  [ ${#need[@]} -eq 0 ] && return 0
  if [ "$(uname -s)" = Darwin ]; then
    echo "missing: ${need[*]} (install them with your package manager)" >&2
    exit 1
  fi
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get update >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${need[@]}" >/dev/null
}

scripts/install-deps.sh
install_missing
# The release preset's settings, with the benchmarks and without the test suite.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMRA_WERROR=ON \
  -DLUMRA_BUILD_TESTS=OFF -DLUMRA_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target lumra lumra_bench_process lumra_benchmarks \
  lumra_bench_parse_once >/dev/null
lumra=$PWD/$build/lumra
runner=$PWD/$build/bench/lumra_bench_process
micro=$PWD/$build/bench/lumra_benchmarks
wall_scenario=$PWD/bench/scenarios/sixteen-monitors.json

# The simulated monitors keep their state in files under HOME. A memory file system keeps the
# simulator's file work from dominating what is meant to stand for an I2C bus.
scratch_base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_base=/dev/shm; fi
HOME=$(mktemp -d "$scratch_base/lumra-bench-XXXXXX")
export HOME TMPDIR=$scratch_base
trap 'rm -rf "$HOME"' EXIT
unset LUMRA_SIMULATION LC_ALL LANG

# ---- figures of the simulator alone, from the micro-benchmarks (microseconds of wall time)
sim_csv=$("$micro" --benchmark_filter='^BM_Sim' --benchmark_min_time=0.2 \
  --benchmark_format=csv 2>/dev/null)
sim_us() { # benchmark name -> real time in microseconds
  printf '%s\n' "$sim_csv" | awk -F, -v name="\"$1\"" '$1 == name {
    t = $3; u = $5; if (u == "ns") t /= 1000; else if (u == "ms") t *= 1000; print t }'
}
sim_load=$(sim_us BM_SimLoadScenario/0)
sim_load_wall=$(sim_us BM_SimLoadScenario/1)
sim_get=$(sim_us BM_SimGetVCPExchange)
sim_set=$(sim_us BM_SimSetVCPExchange)
sim_caps=$(sim_us BM_SimCapabilitiesExchange)

# ---- the floor of capabilities: 100 ms per fragment of up to 32 bytes, plus the final empty one
caps_length=$(( $("$lumra" capabilities 0 | wc -c) - 1 ))
fragments=$(( (caps_length + 31) / 32 + 1 ))

# name | expected exit status | floor ms | simulator share ms | target | runs | command...
# prints: name, expected, floor, simulator, target, then the runner's line (runs, median, min,
# max, CPU, peak RSS, status).
measure() {
  local name=$1 expect=$2 floor=$3 sim=$4 target=$5 count=$6
  shift 6
  local line
  line=$("$runner" --runs "$count" --warmup 2 -- "$@") || line="0	0	0	0	0	0	-1"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$expect" "$floor" "$sim" "$target" "$line"
}
ms() { # microseconds [times] [plus microseconds] -> milliseconds
  awk -v us="$1" -v n="${2:-1}" -v extra="${3:-0}" 'BEGIN { printf "%.3f", (us * n + extra) / 1000 }'
}

results=$(
  measure "(process start: /bin/true)" 0 0 0 - "$runs" /bin/true
  measure "features" 0 0 0 "total<2" "$runs" "$lumra" features
  measure "usage" 0 0 0 "total<2" "$runs" "$lumra"
  measure "option error (--bogus)" 2 0 0 - "$runs" "$lumra" --bogus
  measure "list" 0 0 "$(ms "$sim_load")" - "$runs" "$lumra" list
  LUMRA_SIMULATION="$wall_scenario" measure "list, 16 monitors" 0 0 "$(ms "$sim_load_wall")" \
    "total<5" "$runs" "$lumra" list
  measure "get 0 brightness" 0 90 "$(ms "$sim_get" 1 "$sim_load")" "overhead<=3" "$runs" \
    "$lumra" get 0 brightness
  measure "set 0 brightness 40" 0 50 "$(ms "$sim_set" 1 "$sim_load")" "overhead<=3" "$runs" \
    "$lumra" set 0 brightness 40
  measure "capabilities 0 ($fragments fragments)" 0 $((100 * fragments)) \
    "$(ms "$sim_caps" "$fragments" "$sim_load")" - "$capability_runs" "$lumra" capabilities 0
)

echo "# lumra process benchmark"
echo
echo "- date: $(date -u +%Y-%m-%dT%H:%MZ); revision: $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet 2>/dev/null || echo ' (with local changes)')"
echo "- machine: $(uname -sr), $(getconf _NPROCESSORS_ONLN) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo unknown)"
echo "- runs: $runs per command ($capability_runs for capabilities), after 2 warm-up runs; scratch HOME on $(df -T "$HOME" 2>/dev/null | awk 'NR == 2 { print $2 }')"
echo
echo "| command | median ms | floor ms | overhead ms | simulator ms (est.) | ours ms | CPU ms | peak RSS MiB | target | met |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---|---|"
failed=0
while IFS=$'\t' read -r name expect floor sim target _ median _ _ cpu rss status; do
  row=$(awk -v name="$name" -v expect="$expect" -v floor="$floor" -v sim="$sim" \
    -v target="$target" -v median="$median" -v cpu="$cpu" -v rss="$rss" -v status="$status" '
    BEGIN {
      overhead = median - floor; ours = overhead - sim; rssMiB = rss / 1024
      met = target == "-" ? "-" : "yes"
      if (target == "total<2" && median >= 2) met = "no"
      if (target == "total<5" && median >= 5) met = "no"
      if (target == "overhead<=3" && overhead > 3) met = "no"
      if (rssMiB >= 8) met = "no (RSS)"
      if (status != expect) met = "no (exit " status ", expected " expect ")"
      shown = target == "-" ? "RSS<8MiB" : target ", RSS<8MiB"
      printf "| %s | %.2f | %d | %.2f | %.2f | %.2f | %.2f | %.2f | %s | %s |", name, median,
        floor, overhead, sim, ours, cpu, rssMiB, shown, met
    }')
  echo "$row"
  case "$row" in *"| no"*) failed=1 ;; esac
done <<<"$results"
echo
caps_line=$(printf '%s\n' "$results" | grep '^capabilities')
printf 'capabilities: CPU time is %s of the wall time.\n\n' \
  "$(printf '%s\n' "$caps_line" | awk -F'\t' '{ printf "%.1f%%", 100 * $10 / $7 }')"

if [ "$measure_pauses" -eq 1 ]; then
  # Every pause is one nanosleep or clock_nanosleep call; strace -T gives each call's duration.
  pause_runs=5
  pauses=$(
    for command in "get 0 brightness" "set 0 brightness 40" "capabilities 0"; do
      trace=$(mktemp)
      for _ in $(seq "$pause_runs"); do
        # shellcheck disable=SC2086 # the command is split into words on purpose
        strace -f -T -e trace=nanosleep,clock_nanosleep -o "$trace.one" "$lumra" $command \
          >/dev/null
        cat "$trace.one" >>"$trace"
      done
      awk -v command="$command" -f bench/pauses.awk "$trace"
      rm -f "$trace" "$trace.one"
    done
  )
  echo "## Pauses (strace -T, $pause_runs runs of each command)"
  echo
  echo "| command | asked ms | pauses | median ms | max ms | median deviation ms | within 2 ms |"
  echo "|---|---:|---:|---:|---:|---:|---|"
  echo "$pauses"
  echo
  case "$pauses" in *"| no"*) failed=1 ;; esac
fi

if [ "$count_instructions" -eq 1 ]; then
  # Instructions of one Parse call (and of one JSON rendering of its tree) per input byte: the
  # exact work, free of the timing noise of a shared machine.
  instructions() { # size depth [render] -> instructions collected
    valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      --toggle-collect='lumra::capabilities::Parse*' \
      --toggle-collect='lumra::cli::writeDocumentJSON*' \
      "$PWD/$build/bench/lumra_bench_parse_once" "$@" 2>&1 >/dev/null |
      awk '/Collected :/ { print $NF }'
  }
  echo "## Work per input byte (callgrind instructions, one call)"
  echo
  echo "| input | bytes | parse | parse per byte | render | render per byte |"
  echo "|---|---:|---:|---:|---:|---:|"
  for shape in "flat 0" "32-deep 32"; do
    set -- $shape
    for size in 1024 4096 16384 65536; do
      parse=$(instructions "$size" "$2")
      # Every group is written twice per level, so only the flat shape renders in full.
      both=$parse
      [ "$2" -ne 0 ] || both=$(instructions "$size" "$2" render)
      awk -v shape="$1" -v size="$size" -v parse="$parse" -v both="$both" 'BEGIN {
        render = both - parse
        shown = shape == "flat" ? render : "-"
        perByte = shape == "flat" ? sprintf("%.1f", render / size) : "-"
        printf "| %s | %d | %d | %.1f | %s | %s |\n", shape, size, parse, parse / size, shown, perByte
      }'
    done
  done
  echo
fi

[ "$failed" -eq 0 ] || echo "Some targets were missed (see the tables)."
exit 0
