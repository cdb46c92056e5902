// Scenario loading: the built-in default, the documented example, files named by
// LUMRA_SIMULATION, and the message for each kind of invalid scenario.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/world/builtin_scenarios.hpp"
#include "sim/world/json_reader.hpp"
#include "sim/world/world.hpp"
#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

// ParseJson reads every document as Json::parse does, member order and repeated keys included,
// and fails with the same message.
TEST(ParseJson, ReadsWhatJsonParseReads) {
  const char* const documents[] = {
      R"({"b": 1, "a": [true, null, -2, 3.5, 18446744073709551615, "\u00e9"], "c": {}})",
      R"({"k": 1, "j": {"x": [], "y": [[1], {"z": 2}]}, "k": 3})",
      R"({"a":1,"b":2,"c":3,"d":4,"e":5,"f":6,"g":7,"h":8,"i":{"j":[9,10]},"k":11})",
      "[]",
      "  42  ",
  };
  for (const char* text : documents) {
    SCOPED_TRACE(text);
    const Json expected = Json::parse(text);
    const Json read = ParseJson(text);
    EXPECT_EQ(read, expected);
    EXPECT_EQ(read.dump(), expected.dump());
  }
  for (const char* text : {"", "{", R"({"a" 1})", "[1,]", "{} x"}) {
    SCOPED_TRACE(text);
    std::string expected;
    std::string read;
    try {
      expected = Json::parse(text).dump();
    } catch (const std::exception& e) {
      expected = e.what();
    }
    try {
      read = ParseJson(text).dump();
    } catch (const std::exception& e) {
      read = e.what();
    }
    EXPECT_TRUE(expected.starts_with("[json.exception.parse_error")) << expected;
    EXPECT_EQ(read, expected);
  }
}

class ScenarioTest : public SimTest {};

uint32_t OnlineDisplayCount() {
  uint32_t count = 0;
  EXPECT_EQ(CGGetOnlineDisplayList(0, nullptr, &count), kCGErrorSuccess);
  return count;
}

std::size_t FramebufferCount() {
  io_iterator_t iterator = IO_OBJECT_NULL;
  if (IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("IOFramebuffer"),
                                   &iterator) != KERN_SUCCESS) {
    return 0;
  }
  std::size_t count = 0;
  while (io_object_t service = IOIteratorNext(iterator)) {
    ++count;
    IOObjectRelease(service);
  }
  IOObjectRelease(iterator);
  return count;
}

TEST_F(ScenarioTest, DefaultScenarioHasAPanelAndTwoMonitorsOnFramebuffers) {
  unsetenv("LUMRA_SIMULATION");
  EXPECT_EQ(OnlineDisplayCount(), 3u);
  EXPECT_EQ(FramebufferCount(), 3u);
  uint32_t ids[3] = {};
  uint32_t count = 0;
  ASSERT_EQ(CGGetOnlineDisplayList(3, ids, &count), kCGErrorSuccess);
  EXPECT_TRUE(CGDisplayIsBuiltin(ids[0]));
  // The identifiers users see: darwin:3E56:2710:00A1B2C3 and darwin:3E56:3220:00D4E5F6.
  EXPECT_EQ(CGDisplayVendorNumber(ids[1]), 0x3E56u);
  EXPECT_EQ(CGDisplayModelNumber(ids[1]), 0x2710u);
  EXPECT_EQ(CGDisplaySerialNumber(ids[1]), 0x00A1B2C3u);
  EXPECT_EQ(CGDisplayModelNumber(ids[2]), 0x3220u);
  EXPECT_EQ(CGDisplaySerialNumber(ids[2]), 0x00D4E5F6u);
  EXPECT_EQ(ReadVCPValue("orvane-q27", 0x10).Value, 60);
  EXPECT_EQ(ReadVCPValue("orvane-u32", 0x10).Value, 80);
}

// Each built-in scenario names its monitor state after itself, also when its text comes from a
// file; any other text gets a key of its own.
TEST_F(ScenarioTest, BuiltInScenariosKeepTheirStateKeys) {
  const struct {
    std::string_view text;
    std::string key;
  } cases[] = {
      {DefaultScenarioJson(), "default"},
      {AppleSiliconScenarioJson(), "apple-silicon"},
      {"{}", "scenario-08f44b07b5901a25"},
  };
  for (const auto& c : cases) EXPECT_EQ(StateKeyFor(c.text), c.key) << c.text.substr(0, 40);
}

// The Apple silicon scenario repeats the default scenario's two monitors.
TEST_F(ScenarioTest, BuiltInScenariosDescribeTheSameMonitors) {
  const Json defaults = Json::parse(DefaultScenarioJson());
  const Json appleSilicon = Json::parse(AppleSiliconScenarioJson());
  EXPECT_EQ(defaults.at("monitors"), appleSilicon.at("monitors"));
}

// The complete example of docs/simulator.md is a valid scenario.
TEST_F(ScenarioTest, DocumentedExampleLoads) {
  const std::string docs = std::string(LUMRA_DOCS_DIR) + "/simulator.md";
  std::ifstream in(docs);
  ASSERT_TRUE(in) << docs;
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  const auto start = all.find("```json\n");
  ASSERT_NE(start, std::string::npos);
  const auto end = all.find("```", start + 8);
  const auto err = UseScenarioText(all.substr(start + 8, end - start - 8), "docs");
  EXPECT_FALSE(err) << err.Message();
}

TEST_F(ScenarioTest, InvalidScenariosNameTheFirstProblem) {
  const struct {
    const char* json;
    const char* problem;
  } cases[] = {
      {"[]", "the scenario must be a JSON object"},
      {R"({"monitor": {}})", R"(unknown top-level key "monitor")"},
      {R"({"displays": 5})", "displays: must be an array"},
      {R"({"displays": [{"vendor": 1}]})", "displays[0].id: is required"},
      {R"({"displays": [{"id": 1, "vender": 2}]})", R"(displays[0]: unknown key "vender")"},
      {R"({"displays": [{"id": 1}, {"id": 1}]})", "displays[1].id: display id used twice"},
      {R"({"displays": [{"id": "0x100000000"}]})",
       R"(displays[0].id: must be an integer from 0 to 4294967295 or a hexadecimal string such as "0x1F")"},
      {R"({"displays": [{"id": -1}]})",
       R"(displays[0].id: must be an integer from 0 to 4294967295 or a hexadecimal string such as "0x1F")"},
      {R"({"displays": [{"id": 1, "name": "a", "names": {"en": "b"}}]})",
       R"(displays[0]: give either "name" or "names", not both)"},
      {R"({"displays": [{"id": 1, "location": "display0"}]})",
       R"(displays[0].location: must be an IOService path ("IOService:/...") unless location_exists is false)"},
      {R"({"displays": [{"id": 1, "mode": {"width": 1, "height": 1, "logical_width": 1}}]})",
       "displays[0].mode.logical_height: is required"},
      {R"({"framebuffers": [{"path": "IOService:/a"}]})", "framebuffers[0].entry_id: is required"},
      {R"({"framebuffers": [{"entry_id": 1, "path": "/a"}]})",
       R"(framebuffers[0].path: must start with "IOService:/")"},
      {R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/a", "buses": [{}]}]})",
       R"(framebuffers[0].buses[0]: needs exactly one of "monitor" and "status")"},
      {R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/a", "buses": [{"monitor": "x"}]}]})",
       R"(framebuffers[0].buses[0].monitor: names no monitor "x")"},
      {R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/a", "buses": [{"status": "busy"}]}]})",
       R"(framebuffers[0].buses[0].status: must be a non-zero IOReturn written like "0xE00002D5")"},
      {R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/a", "class": "A", "classes": ["A"]}]})",
       R"(framebuffers[0]: give either "class" or "classes", not both)"},
      {R"({"mobile_framebuffers": [{"path": "IOService:/a", "classes": ["A", 7]}]})",
       "mobile_framebuffers[0].classes[1]: must be a class name"},
      {R"({"av_services": [{"entry_id": 1, "framing": "hdmi"}]})",
       R"(av_services[0].framing: must be "standard", "mcdp29xx" or "ps190")"},
      {R"({"av_services": [{"entry_id": 1, "path": "IOService:/a/b"}], "registry_entries": [{"path": "IOService:/a/b"}]})",
       "registry_entries[0].path: registry path used twice"},
      {R"({"monitors": {"m": {"faults": [{"request": "set", "fault": "zero-reply-after-set"}]}}})",
       "monitors.m.faults[0]: this fault applies to get requests only"},
      {R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/a", "info_extra": {"k": [null]}}]})",
       "framebuffers[0].info_extra.k[0]: must be a string, number, boolean, array or object"},
      {R"({"framebuffers": [{"entry_id": 7, "path": "IOService:/a"}],
           "av_services": [{"entry_id": 7}]})",
       "av_services[0].entry_id: registry entry id used twice"},
      {R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/a"}, {"entry_id": 2, "path": "IOService:/a"}]})",
       "framebuffers[1].path: registry path used twice"},
      {R"({"monitors": {"m": {"vcp": {"0x1G": {"current": 1, "maximum": 2}}}}})",
       R"(monitors.m.vcp.0x1G: a VCP code must be written like "0x10")"},
      {R"({"monitors": {"m": {"vcp": {"0x1": {"current": 1, "maximum": 2}, "0x01": {"current": 1, "maximum": 2}}}}})",
       "monitors.m.vcp.0x01: VCP code given twice"},
      {R"({"monitors": {"m": {"vcp": {"0x10": {"current": 65536, "maximum": 2}}}}})",
       R"(monitors.m.vcp.0x10.current: must be an integer from 0 to 65535 or a hexadecimal string such as "0x1F")"},
      {R"({"monitors": {"m": {"fragment_size": 0}}})",
       "monitors.m.fragment_size: must be at least 1"},
      {R"({"monitors": {"m": {"alternate_input": {"0x90": "0x11"}}}})",
       R"(monitors.m.alternate_input: needs the input source "0x60" in "vcp")"},
      {R"({"monitors": {"m": {"alternate_input": {}}}})",
       "monitors.m.alternate_input: must be a non-empty object of 0xF4 value to input value"},
      {R"({"monitors": {"m": {"fragment_size": 125}}})",
       R"(monitors.m.fragment_size: must be an integer from 0 to 124 or a hexadecimal string such as "0x1F")"},
      {R"({"monitors": {"m": {"faults": [{"request": "get", "fault": "flaky"}]}}})",
       R"(monitors.m.faults[0].fault: unknown fault "flaky")"},
      {R"({"monitors": {"m": {"faults": [{"request": "read", "fault": "busy"}]}}})",
       R"(monitors.m.faults[0].request: must be "get", "set", "save", "capabilities" or "any")"},
      {R"({"monitors": {"m": {"faults": [{"request": "save", "code": "0x10", "fault": "busy"}]}}})",
       R"(monitors.m.faults[0]: "code" does not apply to save requests)"},
      {R"({"monitors": {"m": {"forgets_unsaved": true}}})",
       R"(monitors.m.forgets_unsaved: needs the power mode "0xD6" in "vcp")"},
      {R"({"monitors": {"m": {"faults": [{"request": "capabilities", "fault": "wrong-code"}]}}})",
       "monitors.m.faults[0]: this fault does not apply to capabilities requests"},
      {R"({"monitors": {"m": {"faults": [{"request": "get", "fault": "offset-mismatch"}]}}})",
       "monitors.m.faults[0]: this fault does not apply to get requests"},
      {R"({"monitors": {"m": {"faults": [{"request": "get", "fault": "busy", "count": 0}]}}})",
       "monitors.m.faults[0].count: must be at least 1"},
      {R"({"frameworks": {"ioav": ["IOAVServiceOpen"]}})",
       "frameworks.ioav[0]: is not an entry point of this framework"},
      {R"({"frameworks": {"core_display": "no"}})",
       "frameworks.core_display: must be true, false or a list of missing entry points"},
      {R"({"timebase": {"numer": 125, "denom": 0}})", "timebase.denom: must be at least 1"},
  };
  for (const auto& c : cases) {
    const auto err = UseScenarioText(c.json, "bad.json");
    EXPECT_EQ(err.Message(), std::string("scenario \"bad.json\": ") + c.problem) << c.json;
  }
  const auto syntax = UseScenarioText("{\"displays\": [", "bad.json");
  EXPECT_TRUE(syntax.Message().starts_with("scenario \"bad.json\": invalid JSON: parse error"))
      << syntax.Message();
}

TEST_F(ScenarioTest, AcceptedValueForms) {
  Use(R"({"displays": [{"id": "0xfffffffe", "vendor": 4660, "serial": "0x00A1B2C3"}],
          "monitors": {"m": {"vcp": {"0xd6": {"current": "0x0001", "maximum": 5}},
                             "faults": [{"request": "any", "fault": "0xE00002ED", "count": 1}]}}})");
  uint32_t id = 0;
  uint32_t count = 0;
  ASSERT_EQ(CGGetOnlineDisplayList(1, &id, &count), kCGErrorSuccess);
  EXPECT_EQ(id, 0xFFFFFFFEu);
  EXPECT_EQ(CGDisplayVendorNumber(id), 4660u);
  EXPECT_EQ(CGDisplaySerialNumber(id), 0x00A1B2C3u);
  EXPECT_EQ(ReadVCPValue("m", 0xD6).Value, 1);
}

// An invalid scenario makes the enumeration calls fail, and says why on standard error once.
TEST_F(ScenarioTest, UnusableScenarioFileFailsEnumerationAndIsReportedOnce) {
  const std::string path = home_.Path() + "/missing.json";
  setenv("LUMRA_SIMULATION", path.c_str(), 1);
  ResetScenario();
  ::testing::internal::CaptureStderr();
  uint32_t count = 99;
  EXPECT_EQ(CGGetOnlineDisplayList(0, nullptr, &count), kCGErrorFailure);
  io_iterator_t iterator = 5;
  EXPECT_NE(IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("IOFramebuffer"),
                                         &iterator),
            KERN_SUCCESS);
  EXPECT_EQ(iterator, IO_OBJECT_NULL);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  unsetenv("LUMRA_SIMULATION");
  EXPECT_EQ(printed, "lumra simulator: scenario \"" + path +
                         "\": cannot read the file: No such file or directory\n");
}

TEST_F(ScenarioTest, ScenarioFileNamedByEnvironmentIsUsed) {
  const std::string path = home_.Path() + "/one.json";
  std::ofstream(path) << R"({"displays": [{"id": 77, "vendor": 5}]})";
  setenv("LUMRA_SIMULATION", path.c_str(), 1);
  ResetScenario();
  uint32_t id = 0;
  uint32_t count = 0;
  EXPECT_EQ(CGGetOnlineDisplayList(1, &id, &count), kCGErrorSuccess);
  unsetenv("LUMRA_SIMULATION");
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(id, 77u);
}

// Test-facing reads name what they cannot find.
TEST_F(ScenarioTest, MonitorQueriesReportUnknownNames) {
  Use(R"({"monitors": {"m": {"vcp": {"0x10": {"current": 1, "maximum": 2}}}}})");
  EXPECT_EQ(ReadVCPValue("x", 0x10).Err.Message(), "the scenario has no monitor \"x\"");
  EXPECT_EQ(ReadVCPValue("m", 0x12).Err.Message(), "monitor \"m\" has no VCP code 0x12");
  EXPECT_FALSE(ReadMonitorCounters("m").Err);
}

}  // namespace
}  // namespace lumra::sim::testing
