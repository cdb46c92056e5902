// Writes that read first or read back: --verify, toggle and power on.
#include <gtest/gtest.h>

#include <memory>

#include "e2e/child_process.hpp"
#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

const std::string kPlain = "darwin:3E56:2710:00000042";
const std::string kQuirky = "darwin:3E56:3221:00000044";

// writes.json: 0 answers plainly, 1 drops brightness writes, 2 answers nothing right after a
// write and stops answering input and power reads.
TEST_F(LumraBinary, VerifyReportsEachOutcome) {
  const struct {
    std::vector<std::string> words;
    int status;
    std::string out;
    std::string err;
    std::string monitor;
    std::uint8_t code;
    int value;  // afterwards
  } cases[] = {
      {{"--verify", "set", "0", "brightness", "30"},
       0,
       kPlain + " (brightness / 0x10) set to 30, read back 30\n",
       "",
       "left",
       0x10,
       30},
      {{"--verify", "set", "1", "brightness", "30"},
       1,
       "",
       "operation failed: brightness (0x10) did not take the value: wrote 30, read back 40\n",
       "dropped",
       0x10,
       40},
      {{"--verify", "set", "2", "brightness", "30"},
       0,
       kQuirky + " (brightness / 0x10) set to 30, read back 30\n",
       "",
       "quirky",
       0x10,
       30},
      {{"--json", "--verify", "--unsafe", "set", "2", "input", "dp1"},
       0,
       "{\"code\":96,\"feature\":\"input\",\"monitor\":\"" + kQuirky +
           "\",\"stopped_answering\":true,\"transport_succeeded\":true,\"value\":15,"
           "\"verified\":false}\n",
       "",
       "quirky",
       0x60,
       15},
      {{"--verify", "--unsafe", "set", "0", "vcp:0x05", "1"},
       2,
       "",
       "vcp:0x05 is an action that cannot be read back, so it cannot be toggled or verified\n",
       "left",
       0x10,
       30},
  };
  for (const auto& c : cases) {
    const auto result = run(c.words, "writes.json");
    const std::string line = c.words[c.words.size() - 3] + " " + c.words.back();
    EXPECT_EQ(result.status, c.status) << line;
    EXPECT_EQ(result.out, c.out) << line;
    EXPECT_EQ(result.err, c.err) << line;
    const SimulatedState state(home(), scenario("writes.json"));
    EXPECT_EQ(state.Value(c.monitor, c.code), c.value) << line;
  }
  // The refused write reached no monitor.
  const SimulatedState state(home(), scenario("writes.json"));
  EXPECT_EQ(state.Counters("left").Sets, 1u);
}

// Power on is not resent to a monitor that reads on; one that does not answer is written.
TEST_F(LumraBinary, PowerOnIsSentOnlyWhenNotAlreadyOn) {
  const struct {
    const char* index;
    const char* monitor;
    std::string out;
    std::uint64_t sets;
  } cases[] = {
      {"0", "left", kPlain + " (power / 0xD6) already reads 1; nothing was sent\n", 0},
      {"2", "quirky",
       kQuirky + " (power / 0xD6) command sent with value 1; the monitor value was not read back\n",
       1},
  };
  for (const auto& c : cases) {
    const auto result = run({"--unsafe", "set", c.index, "power", "on"}, "writes.json");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
    const SimulatedState state(home(), scenario("writes.json"));
    EXPECT_EQ(state.Counters(c.monitor).Sets, c.sets) << c.monitor;
    EXPECT_EQ(state.Value(c.monitor, 0xD6), 1) << c.monitor;
  }
}

// Each toggle flips from what the monitor reads, so two in a row come back; with "all" each
// monitor flips from its own value.
TEST_F(LumraBinary, ToggleFlipsAndFlipsBack) {
  const struct {
    const char* selector;
    int left;
    int right;
  } rounds[] = {{"0", 60, 70}, {"0", 40, 70}, {"all", 60, 40}, {"all", 40, 60}};
  for (const auto& round : rounds) {
    const auto result = run({"toggle", round.selector, "brightness", "40", "60"});
    EXPECT_EQ(result.status, 0) << result.err;
    const SimulatedState state(home(), scenario("desk.json"));
    EXPECT_EQ(state.Value("left", 0x10), round.left) << round.selector;
    EXPECT_EQ(state.Value("right", 0x10), round.right) << round.selector;
  }
  EXPECT_EQ(run({"--unsafe", "toggle", "0", "input", "hdmi1", "dp1"}).out,
            kPlain + " (input / 0x60): 15 -> 17\n");
}

// Sixteen toggles started together take turns: half read each value, so none is lost and the
// monitor ends where it began.
TEST_F(LumraBinary, SixteenConcurrentTogglesEndWhereTheyBegan) {
  constexpr int kToggles = 16;
  std::vector<std::unique_ptr<Child>> children;
  for (int i = 0; i < kToggles; ++i) {
    children.push_back(
        std::make_unique<Child>(LUMRA_BINARY,
                                std::vector<std::string>{"--timeout", "60s", "--json", "toggle",
                                                         "0", "brightness", "40", "60"},
                                environment()));
  }
  int readFirst = 0;
  for (auto& child : children) {
    const ProcessResult result = child->Finish();
    EXPECT_EQ(result.status, 0) << result.err;
    readFirst += result.out.find("\"previous\":40,") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(readFirst, kToggles / 2);
  const SimulatedState state(home(), scenario("desk.json"));
  EXPECT_EQ(state.Value("left", 0x10), 40);
}

}  // namespace
}  // namespace lumra::testing
