#include "process/run_stats.hpp"

#include <algorithm>
#include <cstdio>

namespace lumra::bench {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const std::size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle),
                   values.end());
  const double upper = values[middle];
  if (values.size() % 2 == 1) return upper;
  const double lower =
      *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
  return (lower + upper) / 2;
}

RunSummary Summarise(std::span<const RunSample> samples) {
  RunSummary summary;
  summary.runs = samples.size();
  if (samples.empty()) return summary;
  std::vector<double> wall;
  std::vector<double> cpu;
  summary.status = samples.front().status;
  summary.minMs = samples.front().wallMs;
  summary.maxMs = samples.front().wallMs;
  for (const RunSample& sample : samples) {
    wall.push_back(sample.wallMs);
    cpu.push_back(sample.cpuMs);
    summary.minMs = std::min(summary.minMs, sample.wallMs);
    summary.maxMs = std::max(summary.maxMs, sample.wallMs);
    summary.peakRssKiB = std::max(summary.peakRssKiB, sample.peakRssKiB);
    if (sample.status != summary.status) summary.statusesAgree = false;
  }
  summary.medianMs = Median(std::move(wall));
  summary.medianCpuMs = Median(std::move(cpu));
  return summary;
}

std::string FormatSummary(const RunSummary& summary) {
  char line[256];
  std::snprintf(line, sizeof line, "%zu\t%.3f\t%.3f\t%.3f\t%.3f\t%lld\t%d", summary.runs,
                summary.medianMs, summary.minMs, summary.maxMs, summary.medianCpuMs,
                static_cast<long long>(summary.peakRssKiB), summary.status);
  return line;
}

}  // namespace lumra::bench
