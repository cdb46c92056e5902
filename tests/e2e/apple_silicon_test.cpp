#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"
#include "sim/simulator.hpp"
#include "support/format.hpp"
#include "support/sha256.hpp"

namespace lumra::testing {
namespace {

const EnvironmentChanges kAppleSilicon{{"LUMRA_SIMULATION", "apple-silicon"}};
const std::string kSoC = "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/";
const std::string kUSBCPipe = kSoC + "dispext0@F4000000/IOMobileFramebufferShim";
const std::string kHDMIPipe = kSoC + "dispext1@F8000000/IOMobileFramebufferShim";
const std::string kQ27 = "darwin:3E56:2710:00A1B2C3";
const std::string kU32 = "darwin:3E56:3220:00D4E5F6";

std::string pathKey(const std::string& location) {
  const auto digest = support::Sha256(location);
  return "path:" +
         support::Format("%x", std::vector<std::uint8_t>(digest.begin(), digest.begin() + 6));
}

// Both IOAVService monitors at once; the first exchange of each looks the entry points up.
TEST_F(LumraBinary, AppleSiliconServesEveryMonitorAtOnce) {
  const ProcessResult result = run({"adjust", "all", "brightness", "-10"}, "", kAppleSilicon);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, kQ27 + " (brightness / 0x10): 60 -> 50 of 100\n" + kU32 +
                            " (brightness / 0x10): 80 -> 70 of 100\n");
}

TEST_F(LumraBinary, AppleSiliconListShowsTheExternalMonitorsOverIOAVService) {
  const ProcessResult text = run({"list"}, "", kAppleSilicon);
  EXPECT_EQ(text.status, 0);
  EXPECT_EQ(text.err, "");
  // Names and modes come from the CoreGraphics metadata; the built-in panel and the port
  // without a display are not listed.
  EXPECT_EQ(text.out,
            "INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR\n"
            "0\t" +
                kQ27 +
                "\tOrvane Q27 Pro\tioavservice\t2560x1440@74.97\t-\n"
                "1\t" +
                kU32 + "\tOrvane U32 Studio\tioavservice\t3840x2160@60\tHDMI\n");

  const ProcessResult json = run({"--json", "list"}, "", kAppleSilicon);
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out,
            "[{\"id\":\"" + kQ27 +
                "\",\"index\":0,\"name\":\"Orvane Q27 Pro\",\"manufacturer\":"
                "\"0x3E56\",\"model\":\"0x2710\",\"serial\":\"00A1B2C3\",\"connector\":\"" +
                pathKey(kUSBCPipe) +
                "\",\"current_mode\":{\"width\":2560,\"height\":1440,\"refresh_hz\":74.97,"
                "\"logical_width\":2560,\"logical_height\":1440},\"backend\":\"ioavservice\"},"
                "{\"id\":\"" +
                kU32 +
                "\",\"index\":1,\"name\":\"Orvane U32 Studio\","
                "\"manufacturer\":\"0x3E56\",\"model\":\"0x3220\",\"serial\":\"00D4E5F6\","
                "\"connector\":\"" +
                pathKey(kHDMIPipe) +
                "\",\"connector_type\":\"hdmi\",\"current_mode\":{\"width\":3840,\"height\":2160,"
                "\"refresh_hz\":60,\"logical_width\":1920,\"logical_height\":1080},"
                "\"backend\":\"ioavservice\"}]\n");
}

struct IOAVMonitorCase {
  std::string name;
  std::string index;
  std::string id;
  std::string monitor;
  std::uint16_t brightness;
  std::uint32_t chip;
  std::uint32_t readAddress;  // the data address of the reply read
  std::uint32_t getReadLength;
  std::string capabilitiesEnd;
};

void PrintTo(const IOAVMonitorCase& c, std::ostream* os) { *os << c.name; }

class AppleSiliconMonitors : public LumraBinary,
                             public ::testing::WithParamInterface<IOAVMonitorCase> {};

TEST_P(AppleSiliconMonitors, AnswerGetSetAndCapabilities) {
  const IOAVMonitorCase& c = GetParam();
  const ProcessResult get = run({"get", c.index, "brightness"}, "", kAppleSilicon);
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out, support::Format("%s (brightness / 0x10): %d of 100\n", c.id, c.brightness));
  const sim::MonitorCounters afterGet = SimulatedState(home(), "apple-silicon").Counters(c.monitor);
  EXPECT_EQ(afterGet.Writes, 1u);
  EXPECT_EQ(afterGet.Gets, 1u);
  EXPECT_EQ(afterGet.LastReadChip, c.chip);
  EXPECT_EQ(afterGet.LastReadAddress, c.readAddress);
  EXPECT_EQ(afterGet.LastReadLength, c.getReadLength);

  ASSERT_EQ(run({"set", c.id, "brightness", "33"}, "", kAppleSilicon).status, 0);
  const ProcessResult reread = run({"get", c.id, "brightness"}, "", kAppleSilicon);
  EXPECT_EQ(reread.out, c.id + " (brightness / 0x10): 33 of 100\n");

  const ProcessResult caps = run({"capabilities", c.index}, "", kAppleSilicon);
  ASSERT_EQ(caps.status, 0) << caps.err;
  EXPECT_TRUE(caps.out.starts_with("(prot(monitor)type(LCD)")) << caps.out;
  EXPECT_TRUE(caps.out.ends_with(c.capabilitiesEnd)) << caps.out;
  const sim::MonitorCounters afterAll = SimulatedState(home(), "apple-silicon").Counters(c.monitor);
  EXPECT_EQ(afterAll.Sets, 1u);
  EXPECT_GT(afterAll.Capabilities, 1u);
  EXPECT_EQ(afterAll.Ignored, 0u) << "a frame went out with a checksum the monitor refused";
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, AppleSiliconMonitors,
    ::testing::Values(
        // The display's own chip: replies are read from data address 0, as long as asked.
        IOAVMonitorCase{"usb_c", "0", kQ27, "orvane-q27", 60, 0x37, 0, 11, "mccs_ver(2.2))\n"},
        // Behind the HDMI converter: 12-byte reads at least, from the source address 0x51.
        IOAVMonitorCase{"hdmi_converter", "1", kU32, "orvane-u32", 80, 0xB7, 0x51, 12,
                        "mccs_ver(2.1))\n"}),
    [](const auto& info) { return info.param.name; });

struct IOAVFaultCase {
  std::string name;
  std::vector<std::string> words;
  int status;
  std::string out;
  std::string err;
  std::string monitor;
  std::uint64_t writes;
};

void PrintTo(const IOAVFaultCase& c, std::ostream* os) { *os << c.name; }

class AppleSiliconFaults : public LumraBinary,
                           public ::testing::WithParamInterface<IOAVFaultCase> {};

TEST_P(AppleSiliconFaults, NameTheIOAVServiceStage) {
  const IOAVFaultCase& c = GetParam();
  const ProcessResult result = run(c.words, "apple-silicon-faults.json");
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(
      SimulatedState(home(), scenario("apple-silicon-faults.json")).Counters(c.monitor).Writes,
      c.writes);
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, AppleSiliconFaults,
    ::testing::Values(
        // Three attempts of two write cycles each.
        IOAVFaultCase{"both_write_cycles_fail",
                      {"--json", "set", "0", "brightness", "3"},
                      1,
                      "",
                      "{\"category\":\"busy\",\"error\":\"operation failed: DDC/CI failed after 3 "
                      "attempts: monitor transport is busy: IOKit DDC/CI transaction failed: "
                      "0xE00002D5 (stage=IOAVServiceWriteI2C, write_cycle=2, chip=0xB7, "
                      "command=0x03)\",\"kind\":\"runtime\"}\n",
                      "stubborn",
                      6},
        // Both write cycles of the first attempt are busy; the second attempt gets through.
        IOAVFaultCase{"busy_then_through",
                      {"get", "1", "brightness"},
                      0,
                      "darwin:3E56:2710:00000008 (brightness / 0x10): 40 of 100\n",
                      "",
                      "sleepy",
                      3}),
    [](const auto& info) { return info.param.name; });

std::vector<std::string> listedIDs(const ProcessResult& result) {
  std::vector<std::string> ids;
  std::istringstream lines(result.out);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    const auto first = line.find('\t');
    ids.push_back(line.substr(first + 1, line.find('\t', first + 1) - first - 1));
  }
  return ids;
}

TEST_F(LumraBinary, IdenticalAppleSiliconMonitorsWithoutSerialsKeepDistinctStableIDs) {
  const std::vector<std::string> expected = {"darwin:" + pathKey(kUSBCPipe),
                                             "darwin:" + pathKey(kHDMIPipe)};
  const ProcessResult first = run({"list"}, "apple-silicon-twins.json");
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(listedIDs(first), expected);

  // Plugged in again: the proxies come back with new registry entry IDs.
  std::ifstream in(scenario("apple-silicon-twins.json"));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const auto& [before, after] :
       {std::pair<std::string, std::string>{"0x100000A31", "0x100000E01"},
        {"0x100000B47", "0x100000E02"}}) {
    const auto at = text.find(before);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, before.size(), after);
  }
  const std::string replugged = home() + "/replugged.json";
  std::ofstream(replugged) << text;
  const EnvironmentChanges again{{"LUMRA_SIMULATION", replugged}};
  EXPECT_EQ(listedIDs(run({"list"}, "", again)), expected);

  // Each ID reaches its own monitor.
  EXPECT_EQ(run({"get", expected[0], "brightness"}, "", again).out,
            expected[0] + " (brightness / 0x10): 40 of 100\n");
  EXPECT_EQ(run({"get", expected[1], "brightness"}, "", again).out,
            expected[1] + " (brightness / 0x10): 70 of 100\n");
}

}  // namespace
}  // namespace lumra::testing
