// adjust across processes, and results that leave the process in one write.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>

#include "e2e/child_process.hpp"
#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

constexpr int kProcesses = 16;

// The value each process read, from its JSON result.
int previousValue(const ProcessResult& result) {
  const std::size_t at = result.out.find("\"previous\":");
  return at == std::string::npos ? -1 : std::atoi(result.out.c_str() + at + 11);
}

// Sixteen processes started together each read a different value: no two read the same one
// and write the same result, so none of the changes is lost.
TEST_F(LumraBinary, SixteenConcurrentAdjustmentsLoseNothing) {
  ASSERT_EQ(run({"set", "0", "brightness", "20"}).status, 0);
  const struct {
    const char* delta;
    int first;  // the value read by the first process
    int end;
  } rounds[] = {{"+1", 20, 36}, {"-1", 21, 20}};
  for (const auto& round : rounds) {
    std::vector<std::unique_ptr<Child>> children;
    // The processes queue on one lock for 140 ms each.
    for (int i = 0; i < kProcesses; ++i) {
      children.push_back(
          std::make_unique<Child>(LUMRA_BINARY,
                                  std::vector<std::string>{"--timeout", "60s", "--json", "adjust",
                                                           "0", "brightness", round.delta},
                                  environment()));
    }
    std::vector<int> seen;
    for (auto& child : children) {
      const ProcessResult result = child->Finish();
      EXPECT_EQ(result.status, 0) << result.err;
      seen.push_back(previousValue(result));
    }
    std::sort(seen.begin(), seen.end());
    std::vector<int> expected(kProcesses);
    std::iota(expected.begin(), expected.end(), round.first);
    EXPECT_EQ(seen, expected) << round.delta;
    const SimulatedState state(home(), scenario("desk.json"));
    EXPECT_EQ(state.Value("left", 0x10), round.end) << round.delta;
  }
}

// The same with every monitor in each process: each monitor's changes queue on its own lock,
// while the two monitors are served at once.
TEST_F(LumraBinary, SixteenConcurrentAdjustmentsOfAllMonitorsLoseNothing) {
  ASSERT_EQ(run({"set", "all", "brightness", "20"}).status, 0);
  std::vector<std::unique_ptr<Child>> children;
  for (int i = 0; i < kProcesses; ++i) {
    children.push_back(std::make_unique<Child>(
        LUMRA_BINARY,
        std::vector<std::string>{"--timeout", "60s", "adjust", "all", "brightness", "+1"},
        environment()));
  }
  for (auto& child : children) {
    const ProcessResult result = child->Finish();
    EXPECT_EQ(result.status, 0) << result.err;
  }
  const SimulatedState state(home(), scenario("desk.json"));
  EXPECT_EQ(state.Value("left", 0x10), 36);
  EXPECT_EQ(state.Value("right", 0x10), 36);
}

TEST_F(LumraBinary, EachResultAndReportIsOneWrite) {
  const struct {
    std::vector<std::string> words;
    EnvironmentChanges scenario;
    std::size_t outWrites;
    std::size_t errWrites;
    std::size_t longestWrite;
  } cases[] = {
      // The built-in monitor's parsed capabilities make a document of more than 10 KiB.
      {{"--json", "capabilities", "0"}, {{"LUMRA_SIMULATION", std::nullopt}}, 1, 0, 10000},
      {{"adjust", "0", "brightness", "+1"}, {}, 1, 0, 0},
      {{"get", "1", "contrast"}, {}, 0, 1, 0},
      {{"--json", "get", "1", "contrast"}, {}, 0, 1, 0},
      {{"--lang", "zh", "bogus"}, {}, 0, 1, 0},
  };
  for (const auto& c : cases) {
    const WriteLog log =
        runRecordingWrites(LUMRA_BINARY, c.words, environment("desk.json", c.scenario));
    const std::string line = c.words.back();
    ASSERT_EQ(log.out.size(), c.outWrites) << line;
    ASSERT_EQ(log.err.size(), c.errWrites) << line;
    for (const auto* writes : {&log.out, &log.err}) {
      for (const std::string& written : *writes) {
        EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1) << line;
        EXPECT_EQ(written.back(), '\n') << line;
        EXPECT_GE(written.size(), c.longestWrite) << line;
      }
    }
  }
}

}  // namespace
}  // namespace lumra::testing
