# Summarises strace -T lines of nanosleep, clock_nanosleep and pselect6 calls: one table row per
# asked pause length, to the millisecond (a quiet time is asked for as what is left of it), with
# the number of pauses, the median, 95th percentile and longest measured
# pause, the median deviation from the asked length, and how many pauses ended more than 2 ms
# off it. A pause is within 2 ms when its median and 95th percentile are: a single late
# wake-up is the scheduler's, which the reference sleeper shows as often (docs/performance.md).
# Set `command` (-v command=...) to label the rows.
match($0, /tv_sec=[0-9]+, tv_nsec=[0-9]+/) {
  split(substr($0, RSTART, RLENGTH), parts, /[=,]/)
  asked = parts[2] * 1000 + parts[4] / 1e6
  if (!match($0, /<[0-9.]+>$/)) next
  took = substr($0, RSTART + 1, RLENGTH - 2) * 1000
  key = sprintf("%.0f", asked)
  if (!(key in count)) order[++keys] = key
  count[key]++
  taken[key, count[key]] = took
  deviation = took - asked
  if (deviation < 0) deviation = -deviation
  if (deviation <= 2) close_enough[key]++
}

function median_of(values, n) {
  return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
}

END {
  for (k = 1; k <= keys; k++) {
    key = order[k]
    n = count[key]
    for (i = 1; i <= n; i++) v[i] = taken[key, i]
    for (i = 2; i <= n; i++) {  # insertion sort: a few hundred values at most
      x = v[i]
      for (j = i - 1; j > 0 && v[j] > x; j--) v[j + 1] = v[j]
      v[j + 1] = x
    }
    median = median_of(v, n)
    p95 = v[int((n * 95 + 99) / 100)]  # nearest rank
    late = n - close_enough[key]
    verdict = median - key <= 2 && key - median <= 2 && p95 - key <= 2 && key - p95 <= 2 \
      ? "yes" : "no"
    printf "| %s | %s | %d | %.3f | %.3f | %.3f | %.3f | %d | %s |\n", command, key, n, median,
           p95, v[n], median - key, late, verdict
  }
}
