#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumra::bench {

// One finished child process as the runner saw it.
struct RunSample {
  double wallMs = 0;  // from just before the spawn to the end of the wait
  double cpuMs = 0;   // user + system time of the child
  std::int64_t peakRssKiB = 0;
  int status = 0;  // exit status, or 128 + signal
};

struct RunSummary {
  std::size_t runs = 0;
  double medianMs = 0;
  double minMs = 0;
  double maxMs = 0;
  double medianCpuMs = 0;
  std::int64_t peakRssKiB = 0;  // the largest of all runs
  bool statusesAgree = true;    // every run ended with the same status
  int status = 0;               // the status of the first run
};

// The middle value; the mean of the two middle values for an even count; 0 for none.
double Median(std::vector<double> values);

RunSummary Summarise(std::span<const RunSample> samples);

// One tab-separated line: runs, median_ms, min_ms, max_ms, cpu_ms, peak_rss_kib, status.
std::string FormatSummary(const RunSummary& summary);

}  // namespace lumra::bench
