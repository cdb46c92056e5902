// --save-settings: Save Current Settings after a monitor's write, and the longer quiet time
// the monitor needs to store them.
#include <gtest/gtest.h>

#include <chrono>

#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

using namespace std::chrono_literals;

const std::vector<std::uint8_t> kSaveFrame = {0x51, 0x81, 0x0C, 0xB2};

// One save per monitor that was written, after its write; none without the option or when
// nothing changed.
TEST_F(LumraBinary, SaveSettingsFollowsEachWriteOnce) {
  const struct {
    std::vector<std::string> words;
    std::uint64_t saves;  // on each monitor written
    std::vector<std::string> monitors;
  } cases[] = {
      {{"--save-settings", "set", "all", "brightness", "30"}, 1, {"left", "right"}},
      {{"set", "0", "brightness", "31"}, 0, {"left"}},
      {{"--save-settings", "adjust", "0", "brightness", "+0"}, 0, {"left"}},
  };
  for (const auto& c : cases) {
    const std::string line = c.words[c.words.size() - 3] + " " + c.words.back();
    std::vector<std::uint64_t> before;
    {
      const SimulatedState state(home(), scenario("desk.json"));
      for (const std::string& monitor : c.monitors) before.push_back(state.Counters(monitor).Saves);
    }
    const auto result = run(c.words);
    EXPECT_EQ(result.status, 0) << line << ": " << result.err;
    const SimulatedState state(home(), scenario("desk.json"));
    for (std::size_t i = 0; i < c.monitors.size(); ++i) {
      const auto counters = state.Counters(c.monitors[i]);
      EXPECT_EQ(counters.Saves - before[i], c.saves) << line << " " << c.monitors[i];
      if (c.saves == 0) continue;
      // The save is the last thing on the bus, right after the Set VCP.
      const auto& log = counters.Transactions;
      ASSERT_GE(log.size(), 2u);
      EXPECT_TRUE(log.back().Write);
      EXPECT_EQ(log.back().Bytes, kSaveFrame) << line;
      ASSERT_GE(log[log.size() - 2].Bytes.size(), 3u);
      EXPECT_EQ(log[log.size() - 2].Bytes[2], 0x03) << line << ": not after a Set VCP";
    }
  }
}

// The next command waits 200 ms after a save, not the 50 ms after a write. Only lower bounds:
// a slow process start can only lengthen the gaps.
TEST_F(LumraBinary, AfterASaveTheBusStaysQuietFor200Milliseconds) {
  const auto saved = run({"--save-settings", "set", "0", "brightness", "30"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  const auto read = run({"get", "0", "brightness"});
  ASSERT_EQ(read.status, 0) << read.err;
  const auto counters = SimulatedState(home(), scenario("desk.json")).Counters("left");
  ASSERT_EQ(counters.WriteTimes.size(), 3u);  // the set, the save, the get
  const auto gap = [&](std::size_t i) {
    return std::chrono::nanoseconds(counters.WriteTimes[i + 1] - counters.WriteTimes[i]);
  };
  EXPECT_GE(gap(0), 50ms);
  EXPECT_GE(gap(1), 200ms);
}

// A monitor that forgets unsaved values keeps, across a power cycle, only what was saved.
TEST_F(LumraBinary, OnlySavedValuesOutliveAPowerCycle) {
  const struct {
    std::vector<std::string> set;
    std::uint16_t afterPowerCycle;
  } cases[] = {
      {{"set", "0", "brightness", "30"}, 40},
      {{"--save-settings", "set", "0", "brightness", "30"}, 30},
  };
  for (const auto& c : cases) {
    for (const auto& words : {c.set,
                              {"--unsafe", "set", "0", "power", "off"},
                              {"--unsafe", "set", "0", "power", "on"}}) {
      const auto result = run(words, "writes.json");
      EXPECT_EQ(result.status, 0) << result.err;
    }
    const SimulatedState state(home(), scenario("writes.json"));
    EXPECT_EQ(state.Value("left", 0x10), c.afterPowerCycle) << c.set.front();
  }
}

}  // namespace
}  // namespace lumra::testing
