// --wait: commands that keep trying while a monitor is not listed or does not answer yet.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

// A frame's opcode, the byte after its source and length bytes.
bool CarriesOpcode(const sim::BusTransaction& t, bool write, std::uint8_t opcode) {
  return t.Write == write && t.Bytes.size() > 2 && t.Bytes[2] == opcode;
}
bool IsGetVCPRequest(const sim::BusTransaction& t) { return CarriesOpcode(t, true, 0x01); }
bool IsGetVCPReply(const sim::BusTransaction& t) { return CarriesOpcode(t, false, 0x02); }
bool IsSetVCPRequest(const sim::BusTransaction& t) { return CarriesOpcode(t, true, 0x03); }

// wake.json: monitors 0 and 1 answer "no device" to their first two requests, 2 never answers.
TEST_F(LumraBinary, WaitOutlastsAMonitorThatIsStillWaking) {
  const auto failed = run({"get", "0", "brightness"}, "wake.json");
  EXPECT_EQ(failed.status, 1);
  const auto waited = run({"--wait", "get", "0", "brightness"}, "wake.json");
  EXPECT_EQ(waited.status, 0) << waited.err;
  EXPECT_EQ(waited.out, "darwin:3E56:5001:00000051 (brightness / 0x10): 40 of 100\n");

  const auto written = run({"--wait", "set", "1", "brightness", "30"}, "wake.json");
  EXPECT_EQ(written.status, 0) << written.err;

  const SimulatedState state(home(), scenario("wake.json"));
  // Without --wait the first refusal ended the command.
  EXPECT_EQ(state.Counters("waking-get").Faults, 2u);
  EXPECT_EQ(state.Value("waking-set", 0x10), 30);
  // The write came only after a read of the monitor had been answered.
  const auto log = state.Counters("waking-set").Transactions;
  const auto firstSet = std::find_if(log.begin(), log.end(), IsSetVCPRequest);
  ASSERT_NE(firstSet, log.end());
  EXPECT_NE(std::find_if(log.begin(), firstSet, IsGetVCPReply), firstSet);
  // Two reads refused, then the one answered.
  EXPECT_EQ(std::count_if(log.begin(), firstSet, IsGetVCPRequest), 3);
}

TEST_F(LumraBinary, WaitEndsWithATimeoutOrAtOnce) {
  const std::string asleep = "darwin:3E56:5003:00000053";
  const struct {
    std::vector<std::string> words;
    int status;
    std::string category;
    std::string errorStart;
  } cases[] = {
      {{"--wait", "--timeout", "1s", "get", "7", "brightness"},
       1,
       "timeout",
       "operation failed: timed out after 1s waiting for the monitor to answer; last attempt: "
       "monitor not found: 7"},
      {{"--wait", "--timeout", "1500ms", "set", "2", "brightness", "30"},
       1,
       "timeout",
       "operation failed: timed out after 1500ms waiting for the monitor to answer; last "
       "attempt: " +
           asleep + ": monitor not found: "},
      // What waiting could not change is refused before any monitor is waited for.
      {{"--wait", "get", "2", "nosuch"}, 2, "invalid-argument", "unknown feature: nosuch"},
      {{"--wait", "set", "2", "brightness", "bright"},
       2,
       "invalid-argument",
       "invalid value: bright"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words{"--json"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    const auto result = run(words, "wake.json");
    EXPECT_EQ(result.status, c.status) << result.err;
    const auto report = nlohmann::json::parse(result.err, nullptr, false);
    ASSERT_TRUE(report.is_object()) << result.err;
    EXPECT_EQ(report.value("category", ""), c.category);
    EXPECT_TRUE(report.value("error", "").starts_with(c.errorStart)) << result.err;
  }
  // 1.5 s of polls at most twice a second, each a single read; nothing was written.
  const SimulatedState state(home(), scenario("wake.json"));
  const auto counters = state.Counters("asleep");
  EXPECT_GE(counters.Writes, 2u);
  EXPECT_LE(counters.Writes, 4u);
  EXPECT_EQ(
      std::count_if(counters.Transactions.begin(), counters.Transactions.end(), IsSetVCPRequest),
      0);
}

}  // namespace
}  // namespace lumra::testing
