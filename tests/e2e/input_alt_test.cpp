#include <gtest/gtest.h>

#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"
#include "support/format.hpp"

namespace lumra::testing {
namespace {

const std::string kLGScenario = "lg-alternate-input.json";

// The wire form of `set input-alt hdmi1`: 0x6E XOR every byte sent gives the checksum 0xDD.
const std::vector<std::uint8_t> kHDMI1Frame = {0x50, 0x84, 0x03, 0xF4, 0x00, 0x90, 0xDD};
const std::vector<std::uint8_t> kHDMI1AfterSource(kHDMI1Frame.begin() + 1, kHDMI1Frame.end());

struct AlternateInputCase {
  std::string name;
  std::string index;
  std::string monitor;
  std::string value;
  sim::BusTransaction written;  // the last transaction the monitor saw
  std::uint16_t input;          // what get input then reads
  std::uint64_t ignored;
};

void PrintTo(const AlternateInputCase& c, std::ostream* os) { *os << c.name; }

class AlternateInput : public LumraBinary,
                       public ::testing::WithParamInterface<AlternateInputCase> {};

TEST_P(AlternateInput, WritesFromSource0x50OnEveryPath) {
  const AlternateInputCase& c = GetParam();
  const ProcessResult set = run({"--unsafe", "set", c.index, "input-alt", c.value}, kLGScenario);
  ASSERT_EQ(set.status, 0) << set.err;
  const sim::MonitorCounters counters =
      SimulatedState(home(), scenario(kLGScenario)).Counters(c.monitor);
  ASSERT_FALSE(counters.Transactions.empty());
  EXPECT_EQ(counters.Transactions.back(), c.written);
  EXPECT_EQ(counters.Ignored, c.ignored);

  const ProcessResult get = run({"get", c.index, "input"}, kLGScenario);
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_TRUE(get.out.ends_with(support::Format("(input / 0x60): %d\n", c.input))) << get.out;
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, AlternateInput,
    ::testing::Values(
        AlternateInputCase{"i2c", "0", "lg-i2c", "hdmi1", {true, 0x37, 0, kHDMI1Frame}, 0x11, 0},
        // A plain number reaches the models whose USB-C is 0xD1.
        AlternateInputCase{"i2c_number",
                           "0",
                           "lg-i2c",
                           "0xD1",
                           {true, 0x37, 0, {0x50, 0x84, 0x03, 0xF4, 0x00, 0xD1, 0x9C}},
                           0x10,
                           0},
        // A monitor without the control ignores the frame; its input stays DP 1.
        AlternateInputCase{
            "i2c_without_control", "1", "plain", "hdmi1", {true, 0x37, 0, kHDMI1Frame}, 0x0F, 1},
        // The source byte goes as the data address, the rest as the payload.
        AlternateInputCase{
            "ioav_standard", "2", "lg-av", "hdmi1", {true, 0x37, 0x50, kHDMI1AfterSource}, 0x11, 0},
        AlternateInputCase{
            "ioav_ps190", "3", "lg-ps190", "hdmi1", {true, 0x37, 0xFFFFFFFF, kHDMI1Frame}, 0x11, 0},
        AlternateInputCase{"ioav_mcdp29xx",
                           "4",
                           "lg-mcdp",
                           "usbc",
                           {true, 0xB7, 0x50, {0x84, 0x03, 0xF4, 0x00, 0xD2, 0x9F}},
                           0x1B,
                           0}),
    [](const auto& info) { return info.param.name; });

struct RefusalCase {
  std::string name;
  std::vector<std::string> words;
  std::string err;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class AlternateInputRefusals : public LumraBinary,
                               public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(AlternateInputRefusals, TouchNoMonitor) {
  const RefusalCase& c = GetParam();
  const ProcessResult result = run(c.words, kLGScenario);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(SimulatedState(home(), scenario(kLGScenario)).Counters("lg-i2c").Writes, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, AlternateInputRefusals,
    ::testing::Values(
        RefusalCase{"get",
                    {"get", "0", "input-alt"},
                    "input-alt is write-only: monitors do not report its value; read the current "
                    "input with get input\n"},
        // Refused whatever the selector, so no monitor is even listed.
        RefusalCase{"get_json_all",
                    {"--json", "--lang", "zh-CN", "get", "all", "INPUT-ALT"},
                    "{\"category\":\"invalid-argument\",\"error\":\"input-alt "
                    "仅允许写入：显示器不回报它的值；请用 get input "
                    "读取当前输入源\",\"kind\":\"usage\"}\n"},
        // Nothing to read back: neither a toggle nor a verified write can work.
        RefusalCase{"toggle",
                    {"--unsafe", "toggle", "0", "input-alt", "hdmi1", "hdmi2"},
                    "input-alt is write-only: monitors do not report its value; read the current "
                    "input with get input\n"},
        RefusalCase{"verified_set",
                    {"--unsafe", "--verify", "set", "0", "input-alt", "hdmi1"},
                    "input-alt is write-only: monitors do not report its value; read the current "
                    "input with get input\n"},
        RefusalCase{"set_without_unsafe",
                    {"set", "0", "input-alt", "hdmi1"},
                    "writing input-alt is potentially disruptive; repeat with --unsafe after "
                    "verifying the monitor model and value\n"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lumra::testing
