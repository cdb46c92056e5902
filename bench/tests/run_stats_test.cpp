#include "process/run_stats.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumra::bench {
namespace {

TEST(RunStats, Median) {
  const struct {
    std::vector<double> values;
    double want;
  } cases[] = {
      {{}, 0},           {{7}, 7},
      {{3, 1, 2}, 2},    {{4, 1, 3, 2}, 2.5},
      {{9, 9, 1, 1}, 5}, {{5, 100, 6, 7, 1}, 6},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(Median(c.values), c.want) << ::testing::PrintToString(c.values);
  }
}

TEST(RunStats, SummaryTakesTheMediansTheExtremesAndTheLargestPeak) {
  const std::vector<RunSample> samples = {
      {5.0, 1.0, 3000, 0}, {2.0, 3.0, 3500, 0}, {9.0, 2.0, 3100, 0}, {4.0, 4.0, 2900, 0}};
  const RunSummary summary = Summarise(samples);
  EXPECT_EQ(summary.runs, 4u);
  EXPECT_DOUBLE_EQ(summary.medianMs, 4.5);
  EXPECT_DOUBLE_EQ(summary.minMs, 2.0);
  EXPECT_DOUBLE_EQ(summary.maxMs, 9.0);
  EXPECT_DOUBLE_EQ(summary.medianCpuMs, 2.5);
  EXPECT_EQ(summary.peakRssKiB, 3500);
  EXPECT_TRUE(summary.statusesAgree);
  EXPECT_EQ(FormatSummary(summary), "4\t4.500\t2.000\t9.000\t2.500\t3500\t0");
}

TEST(RunStats, DifferingStatusesAreNoticed) {
  const std::vector<RunSample> samples = {{1, 1, 1, 2}, {1, 1, 1, 2}, {1, 1, 1, 0}};
  const RunSummary summary = Summarise(samples);
  EXPECT_FALSE(summary.statusesAgree);
  EXPECT_EQ(summary.status, 2);
}

}  // namespace
}  // namespace lumra::bench
