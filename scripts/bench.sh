#!/usr/bin/env bash
# Process-level benchmark of lumra on the simulated monitors. For each command it reports the
# median wall time, the floor that the DDC/CI protocol's mandated pauses set, the overhead
# above that floor (split into the simulator's share and ours), CPU time and peak resident
# set size, for one monitor, for both one after the other, and for both at once ("all"); then
# it measures the pauses themselves, and counts the updates that sixteen concurrent
# get-then-set pairs lose against sixteen adjust processes (of one monitor, and of all).
# Method: docs/performance.md.
#
#   scripts/bench.sh [--runs N] [--capability-runs N] [--build-dir DIR] [--no-realtime]
#                    [--no-pauses] [--instructions] [--burst-rounds N] [--lumra BINARY]
#
# --lumra measures another lumra binary (a build of an earlier revision, say) with this
# revision's tools; --burst-rounds 0 leaves out the burst of 20 set commands.
#
# Needs cmake, ninja, a C++ compiler, Google Benchmark (libbenchmark-dev), strace for the
# pauses and valgrind for --instructions (parser and renderer work per input byte); on Debian
# the missing ones are installed with apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=40
capability_runs=7
build=build/bench
realtime=1
measure_pauses=1
count_instructions=0
burst_rounds=10
other_lumra=
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --capability-runs) capability_runs=$2; shift 2 ;;
    --build-dir) build=$2; shift 2 ;;
    --no-realtime) realtime=0; shift ;;
    --no-pauses) measure_pauses=0; shift ;;
    --instructions) count_instructions=1; shift ;;
    --burst-rounds) burst_rounds=$2; shift 2 ;;
    --lumra) other_lumra=$(realpath "$2"); shift 2 ;;
    *) echo "usage: scripts/bench.sh [--runs N] [--capability-runs N] [--build-dir DIR]" \
         "[--no-realtime] [--no-pauses] [--instructions] [--burst-rounds N] [--lumra BINARY]" >&2
       exit 2 ;;
  esac
done

need=()
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ "$measure_pauses" -eq 0 ] || command -v strace >/dev/null || need+=(strace)
[ "$count_instructions" -eq 0 ] || command -v valgrind >/dev/null || need+=(valgrind)
# Standard output is the report, which apt-get's progress would clutter.
scripts/install-deps.sh "${need[@]}" >/dev/null
# The bench preset: the release preset's settings, with the benchmarks and without the tests.
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" --target lumra lumra_bench_process lumra_bench_simulator_once \
  lumra_bench_parse_once lumra_bench_burst >/dev/null
lumra=${other_lumra:-$PWD/$build/lumra}
runner=$PWD/$build/bench/lumra_bench_process
simulator=$PWD/$build/bench/lumra_bench_simulator_once
wall_scenario=$PWD/bench/scenarios/sixteen-monitors.json

# Other work on the machine preempts short processes at random; a real-time priority keeps
# it from being counted as lumra's. --no-realtime measures under normal scheduling.
policy="normal scheduling"
priority=()
if [ "$realtime" -eq 1 ] && [ "$(id -u)" -eq 0 ] && command -v chrt >/dev/null; then
  priority=(chrt -f 50)
  policy="real-time priority (chrt -f 50)"
fi

# The simulated monitors keep their state in files under HOME. A memory file system keeps the
# simulator's file work from dominating what stands for an I2C bus.
scratch_base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_base=/dev/shm; fi
HOME=$(mktemp -d "$scratch_base/lumra-bench-XXXXXX")
export HOME TMPDIR=$scratch_base
trap 'rm -rf "$HOME"' EXIT
unset LUMRA_SIMULATION LC_ALL LANG

# The floors: a command ends with its last exchange, and the quiet time after it (50 ms) is kept
# by a holder process, so a get waits only its 40 ms reply delay, a set nothing, and
# capabilities 100 ms per fragment of up to 32 bytes, plus the final empty one, less the last
# 50 ms.
caps_length=$(( $("$lumra" capabilities 0 | wc -c) - 1 ))
fragments=$(( (caps_length + 31) / 32 + 1 ))
# The second monitor's string: with "all" both are read at once, so the longer sets the floor.
caps_length_1=$(( $("$lumra" capabilities 1 | wc -c) - 1 ))
fragments_1=$(( (caps_length_1 + 31) / 32 + 1 ))
fragments_all=$(( fragments > fragments_1 ? fragments : fragments_1 ))

# Profiles: save reads the capabilities, then each setting they list (a 40 ms reply delay, and
# the 50 ms quiet time before the next read); restore writes each setting 50 ms after the one
# before. With "all" both monitors are served at once, so the slower one sets the floor.
profile=$HOME/bench-profile.json
settings_0=$("$lumra" save 0 | grep -c '"feature"')
settings_1=$("$lumra" save 1 | grep -c '"feature"')
save_floor=$(awk -v f0="$fragments" -v n0="$settings_0" -v f1="$fragments_1" -v n1="$settings_1" \
  'BEGIN { a = 100 * f0 + 90 * n0 - 50; b = 100 * f1 + 90 * n1 - 50; print (a > b ? a : b) }')
restore_floor=$(( 50 * ((settings_0 > settings_1 ? settings_0 : settings_1) - 1) ))
"$lumra" save all "$profile" >/dev/null

# Runs a command; prints the runner's line: runs, median, min, max, CPU, peak RSS KiB, status.
# Each run is followed by a pause that the previous run's holder (the quiet time after a device
# command, 50 ms) has ended by; it is not timed. With --alternate, every second run has WORD as
# its last argument.
run() { # count [--alternate WORD] command...
  local count=$1 options=()
  shift
  if [ "$1" = --alternate ]; then
    options=(--alternate "$2")
    shift 2
  fi
  "${priority[@]}" "$runner" --runs "$count" --warmup 2 --gap 60 "${options[@]}" -- "$@" ||
    echo "0	0	0	0	0	0	-1"
}
median_of() { cut -f2 <<<"$1"; }

# The simulator's share: its work for the command (scenario load and exchanges, without the
# enumeration calls), and nothing else, in a fresh process (lumra_bench_simulator_once), less
# that process doing nothing. A difference of two medians, so twice the runs.
sim_runs=$((2 * runs))
sim_none=$(median_of "$(run "$sim_runs" "$simulator" none)")
sim_share() { # mode... -> milliseconds
  awk -v t="$(median_of "$(run "$sim_runs" "$simulator" "$@")")" -v none="$sim_none" \
    'BEGIN { d = t - none; printf "%.3f", (d > 0 ? d : 0) }'
}
sim_load=$(sim_share load)
sim_load_wall=$(LUMRA_SIMULATION=$wall_scenario sim_share load)
sim_get=$(sim_share get)
sim_set=$(sim_share set)
sim_adjust=$(sim_share adjust)
sim_caps=$(sim_share capabilities "$fragments")

# Prints: name, expected status, floor ms, simulator ms, target, then the runner's line.
measure() { # name expected-status floor-ms simulator-ms target count command...
  local name=$1 expect=$2 floor=$3 sim=$4 target=$5 count=$6
  shift 6
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$expect" "$floor" "$sim" "$target" \
    "$(run "$count" "$@")"
}

results=$(
  measure "(process start: /bin/true)" 0 0 0 - "$runs" /bin/true
  measure "features" 0 0 0 "total<2" "$runs" "$lumra" features
  measure "usage" 0 0 0 "total<2" "$runs" "$lumra"
  measure "option error (--bogus)" 2 0 0 - "$runs" "$lumra" --bogus
  measure "list" 0 0 "$sim_load" - "$runs" "$lumra" list
  LUMRA_SIMULATION=$wall_scenario measure "list, 16 monitors" 0 0 "$sim_load_wall" "total<5" \
    "$runs" "$lumra" list
  measure "get 0 brightness" 0 40 "$sim_get" "overhead<=3" "$runs" "$lumra" get 0 brightness
  measure "set 0 brightness 40" 0 0 "$sim_set" "overhead<=3" "$runs" \
    "$lumra" set 0 brightness 40
  # Alternating with -10 keeps every run a read and a write, away from the maximum. The read's
  # quiet time passes before the write; the write's is left to the holder.
  measure "adjust 0 brightness +10" 0 90 "$sim_adjust" "overhead<=3" "$runs" \
    --alternate -10 "$lumra" adjust 0 brightness +10
  # --verify reads back after the write's quiet time: one quiet time and one read over set.
  measure "set --verify 0 brightness 40" 0 90 "$(awk -v a="$sim_set" -v b="$sim_get" \
    'BEGIN { printf "%.3f", a + b }')" "overhead<=3" "$runs" \
    "$lumra" --verify set 0 brightness 40
  # toggle is a read and a write under one lock, like adjust.
  measure "toggle 0 brightness 30 40" 0 90 "$sim_adjust" "overhead<=3" "$runs" \
    "$lumra" toggle 0 brightness 30 40
  measure "capabilities 0 ($fragments fragments)" 0 $((100 * fragments - 50)) "$sim_caps" - \
    "$capability_runs" "$lumra" capabilities 0
  # What two monitors cost without "all": one command after the other, in one shell.
  twice() { awk -v a="$1" 'BEGIN { printf "%.3f", 2 * a }'; }
  measure "get 0, then get 1 brightness" 0 80 "$(twice "$sim_get")" - "$runs" \
    /bin/sh -c '"$0" get 0 brightness && "$0" get 1 brightness' "$lumra"
  measure "set 0, then set 1 brightness 40" 0 0 "$(twice "$sim_set")" - "$runs" \
    /bin/sh -c '"$0" set 0 brightness 40 && "$0" set 1 brightness 40' "$lumra"
  measure "capabilities 0, then capabilities 1" 0 $((100 * (fragments + fragments_1) - 100)) \
    "$(twice "$sim_caps")" - "$capability_runs" \
    /bin/sh -c '"$0" capabilities 0 && "$0" capabilities 1' "$lumra"
  # Both monitors at once: each command costs one monitor's floor, not the sum of two. The
  # simulator's share is one monitor's; the second runs beside it.
  measure "get all brightness (2 monitors)" 0 40 "$sim_get" "overhead<=5" "$runs" \
    "$lumra" get all brightness
  measure "set all brightness 40 (2 monitors)" 0 0 "$sim_set" "total<=4" "$runs" \
    "$lumra" set all brightness 40
  measure "adjust all brightness +10 (2 monitors)" 0 90 "$sim_adjust" "overhead<=5" "$runs" \
    --alternate -10 "$lumra" adjust all brightness +10
  measure "capabilities all ($fragments and $fragments_1 fragments)" 0 \
    $((100 * fragments_all - 50)) "$sim_caps" "overhead<=5" "$capability_runs" \
    "$lumra" capabilities all
  # A whole desk's profile: at most the slower monitor's floor plus 10 ms.
  measure "save all ($settings_0 and $settings_1 settings)" 0 "$save_floor" \
    "$(awk -v c="$sim_caps" -v g="$sim_get" -v n="$settings_0" 'BEGIN { printf "%.3f", c + n * g }')" \
    "overhead<=10" "$capability_runs" "$lumra" save all "$HOME/bench-saved.json"
  measure "restore all ($settings_0 and $settings_1 settings)" 0 "$restore_floor" \
    "$(awk -v s="$sim_set" -v n="$settings_0" 'BEGIN { printf "%.3f", n * s }')" \
    "overhead<=10" "$runs" "$lumra" restore "$profile"
)

echo "# lumra process benchmark"
echo
revision=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
git diff --quiet 2>/dev/null || revision="$revision with local changes"
echo "- date: $(date -u +%Y-%m-%dT%H:%MZ); revision: $revision"
echo "- machine: $(uname -sr), $(getconf _NPROCESSORS_ONLN) CPUs, load average" \
  "$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo unknown)"
echo "- $runs runs per command ($capability_runs for capabilities) after 2 warm-up runs;" \
  "$policy; scratch HOME on $(df -T "$HOME" 2>/dev/null | awk 'NR == 2 { print $2 }')"
echo
echo "| command | median ms | min ms | floor ms | overhead ms | simulator ms (at least) | ours ms (at most) | CPU ms | peak RSS MiB | target | met |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---|"
failed=0
while IFS=$'\t' read -r name expect floor sim target _ median min _ cpu rss status; do
  row=$(awk -v name="$name" -v expect="$expect" -v floor="$floor" -v sim="$sim" \
    -v target="$target" -v median="$median" -v min="$min" -v cpu="$cpu" -v rss="$rss" \
    -v status="$status" '
    BEGIN {
      overhead = median - floor; ours = overhead - sim; rssMiB = rss / 1024
      met = target == "-" ? "-" : "yes"
      if (target == "total<2" && median >= 2) met = "no"
      if (target == "total<5" && median >= 5) met = "no"
      if (target == "overhead<=3" && overhead > 3) met = "no"
      if (target == "overhead<=5" && overhead > 5) met = "no"
      if (target == "overhead<=10" && overhead > 10) met = "no"
      if (target == "total<=4" && median > 4) met = "no"
      if (rssMiB >= 8) met = "no (RSS)"
      if (status != expect) met = "no (exit " status ", expected " expect ")"
      shown = target == "-" ? "RSS<8MiB" : target ", RSS<8MiB"
      printf "| %s | %.2f | %.2f | %d | %.2f | %.2f | %.2f | %.2f | %.2f | %s | %s |", name,
        median, min, floor, overhead, sim, ours, cpu, rssMiB, shown, met
    }')
  echo "$row"
  case "$row" in *"| no"*) failed=1 ;; esac
done <<<"$results"
echo
caps_line=$(grep '^capabilities 0 (' <<<"$results")
printf 'capabilities: CPU time is %s of the wall time.\n\n' \
  "$(awk -F'\t' '{ printf "%.1f%%", 100 * $10 / $7 }' <<<"$caps_line")"

if [ "$measure_pauses" -eq 1 ]; then
  # Every pause is one nanosleep, clock_nanosleep or (quiet time, also in the holder process
  # that keeps it after the command) pselect6 call; strace -T gives each call's duration, one
  # file per process (-ff) so that no call is split. The reference, coreutils sleep under the
  # same tracer and policy, shows how often this machine wakes a sleeper late whatever it runs.
  pause_runs=5
  trace_pauses() { # label runs command...
    local label=$1 count=$2 trace
    shift 2
    trace=$(mktemp -d)
    for run in $(seq "$count"); do
      "${priority[@]}" strace -ff -T -e trace=nanosleep,clock_nanosleep,select,pselect6 \
        -o "$trace/$run" "$@" >/dev/null
      # The holder outlives the command; its trace is complete once its quiet time is over.
      sleep 0.1
    done
    cat "$trace"/* | awk -v command="$label" -f bench/pauses.awk
    rm -rf "$trace"
  }
  pauses=$(
    for command in "get 0 brightness" "set 0 brightness 40" "capabilities 0"; do
      # shellcheck disable=SC2086 # the command is split into words on purpose
      trace_pauses "$command" "$pause_runs" "$lumra" $command
    done
    # From 40, five steps of +10 each read and write.
    "$lumra" set 0 brightness 40 >/dev/null
    trace_pauses "adjust 0 brightness +10" "$pause_runs" "$lumra" adjust 0 brightness +10
    trace_pauses "(reference: sleep 0.05)" 100 sleep 0.05
  )
  echo "## Pauses (strace -T, $pause_runs runs of each command, $policy)"
  echo
  echo "| command | asked ms | pauses | median ms | 95th percentile ms | max ms | median deviation ms | beyond 2 ms | within 2 ms |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---|"
  echo "$pauses"
  echo
  case "$pauses" in *"| no"*) failed=1 ;; esac
fi

# Lost updates: from brightness 20, sixteen processes started together each add 1, either as
# a get and a set of their own or as one adjust; 36 means nothing was lost. Processes queue on
# the monitor's lock, hence the long deadline.
lost_rounds=5
brightness() { "$lumra" --timeout 60s get 0 brightness | awk '{ print $(NF - 2) }'; }
get_then_set() { "$lumra" --timeout 60s set 0 brightness $(($(brightness) + 1)) >/dev/null; }
adjust_once() { "$lumra" --timeout 60s adjust 0 brightness +1 >/dev/null; }
adjust_all_once() { "$lumra" --timeout 60s adjust all brightness +1 >/dev/null; }
# Both monitors' brightness, one value per line.
both_brightness() { "$lumra" --timeout 60s get all brightness | awk '{ print $(NF - 2) }'; }
lost_updates() { # function [all] -> the final values of each round, then the updates lost in all
  local finals=() lost=0 final monitors=1 read=brightness
  if [ "${2:-}" = all ]; then monitors=2 read=both_brightness; fi
  for _ in $(seq "$lost_rounds"); do
    "$lumra" set "${2:-0}" brightness 20 >/dev/null
    for _ in $(seq 16); do "$1" & done
    wait
    for final in $("$read"); do
      finals+=("$final")
      lost=$((lost + 36 - final))
    done
  done
  echo "${finals[*]} | $lost of $((16 * lost_rounds * monitors))"
}
echo "## Lost updates (16 processes at once adding 1 to brightness 20, $lost_rounds rounds)"
echo
echo "| each process runs | final values (36 loses nothing) | updates lost |"
echo "|---|---|---|"
echo "| get, then set to the value read + 1 | $(lost_updates get_then_set) |"
echo "| adjust 0 brightness +1 | $(lost_updates adjust_once) |"
echo "| adjust all brightness +1 (final values of both monitors) | $(lost_updates adjust_all_once all) |"
echo

if [ "$burst_rounds" -gt 0 ]; then
  # 20 `set 0 brightness i` started 5 ms apart, as a dragged slider makes them; the monitor's
  # bus times tell when the last write landed. The writes cannot be closer than the quiet time,
  # so the last comes at least 19 x 50 ms after the first.
  burst=$("${priority[@]}" "$PWD/$build/bench/lumra_bench_burst" --rounds "$burst_rounds" \
    -- "$lumra" set 0 brightness || true)
  echo "## Burst of 20 set commands, 5 ms apart ($burst_rounds rounds, $policy)"
  echo
  echo "| rounds written in start order | first start to last write ms | last start to last write ms | first write to last write ms | floor ms |"
  echo "|---:|---:|---:|---:|---:|"
  awk -F'\t' '
    function median(values, n,   i, j, x) {
      for (i = 2; i <= n; i++) {
        x = values[i]
        for (j = i - 1; j > 0 && values[j] > x; j--) values[j + 1] = values[j]
        values[j + 1] = x
      }
      return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
    }
    { n++; ordered += $2; first[n] = $3; last[n] = $4; writes[n] = $5 }
    END {
      if (n == 0) { print "| burst failed | - | - | - | - |"; exit }
      printf "| %d of %d | %.1f | %.1f | %.1f | 950 |\n", ordered, n, median(first, n),
        median(last, n), median(writes, n)
    }' <<<"$burst"
  echo
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
    read -r label depth <<<"$shape"
    for size in 1024 4096 16384 65536; do
      parse=$(instructions "$size" "$depth")
      # Every group is written twice per level, so only the flat shape renders in full.
      both=$parse
      [ "$depth" -ne 0 ] || both=$(instructions "$size" "$depth" render)
      awk -v label="$label" -v size="$size" -v parse="$parse" -v both="$both" 'BEGIN {
        render = both - parse
        shown = label == "flat" ? render : "-"
        perByte = label == "flat" ? sprintf("%.1f", render / size) : "-"
        printf "| %s | %d | %d | %.1f | %s | %s |\n", label, size, parse, parse / size, shown,
          perByte
      }'
    done
  done
  echo
fi

[ "$failed" -eq 0 ] || echo "Some targets were missed (see the tables)."
exit 0
