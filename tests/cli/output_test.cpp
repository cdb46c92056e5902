#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <sstream>

#include "cli/printer.hpp"
#include "cli/text_printer.hpp"
#include "ddc/errors.hpp"

namespace lumra::cli {
namespace {

const i18n::Catalog kEnglish = i18n::New("en");
const i18n::Catalog kChinese = i18n::New("zh");

// The monitor list as the JSON printer prints it, and its status.
int printMonitorsJSON(std::ostream& out, const ddc::Monitor& monitor) {
  std::ostringstream unused;
  const ddc::Monitor monitors[] = {monitor};
  return NewPrinter(true, out, unused, kEnglish)->PrintMonitors(monitors);
}

// One monitor's capabilities as a single command prints them.
int printCapabilities(std::ostream& out, const ddc::Monitor& monitor,
                      std::string_view capabilityText, bool json) {
  std::ostringstream unused;
  const auto printer = NewPrinter(json, out, unused, kEnglish);
  return printer->PrintResult(printer->RenderCapabilities(monitor, capabilityText, false));
}

TEST(FormatDisplayMode, Forms) {
  using Mode = ddc::DisplayMode;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::pair<std::optional<Mode>, std::string>> cases = {
      {std::nullopt, "-"},
      {Mode{0, 1440, 60}, "-"},
      {Mode{2560, 0, 60}, "-"},
      {Mode{2560, 1440, 0}, "2560x1440"},
      {Mode{2560, 1440, -1}, "2560x1440"},
      {Mode{2560, 1440, nan}, "2560x1440"},
      {Mode{2560, 1440, 60}, "2560x1440@60"},
      {Mode{2560, 1440, 59.951, 1280, 720}, "2560x1440@59.951"},
      {Mode{1920, 1080, 1e-7}, "1920x1080@0.0000001"},
      {Mode{1920, 1080, 1e21}, "1920x1080@1000000000000000000000"},
      {Mode{4294967295u, 1, 120.00000000000001}, "4294967295x1@120.00000000000001"},
  };
  for (const auto& [mode, expected] : cases) EXPECT_EQ(FormatDisplayMode(mode), expected);
}

TEST(FormatConnectorType, ExactComparison) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"hdmi", "HDMI", "HDMI"},
      {"displayport", "DisplayPort", "DisplayPort"},
      {"dvi", "DVI", "DVI"},
      {"vga", "VGA", "VGA"},
      {"usb", "USB", "USB"},
      {"edp", "eDP", "eDP"},
      {"lvds", "LVDS", "LVDS"},
      {"internal", "Internal", "内置"},
      {"virtual", "Virtual", "虚拟"},
      {"other", "Other", "其他"},
      {"", "-", "-"},
      {"HDMI", "-", "-"},
      {"hdmi ", "-", "-"},
      {"thunderbolt", "-", "-"},
  };
  for (const auto& [type, english, chinese] : cases) {
    EXPECT_EQ(FormatConnectorType(type, kEnglish), english) << type;
    EXPECT_EQ(FormatConnectorType(type, kChinese), chinese) << type;
  }
}

TEST(PrintMonitors, TextRowsKeepTheirColumnsWhateverANameHolds) {
  ddc::Monitor monitor;
  monitor.ID = "darwin:1";
  monitor.Name = "Desk\tLeft\nTwo\r\x1B[31m\x7F\xC2\x85\xC3\x89";
  monitor.Backend = "ioframebuffer";
  const ddc::Monitor monitors[] = {monitor};
  std::ostringstream out;
  std::ostringstream unused;
  EXPECT_EQ(NewPrinter(false, out, unused, kEnglish)->PrintMonitors(monitors), 0);
  EXPECT_EQ(out.str(),
            "INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR\n"
            "0\tdarwin:1\tDesk Left Two  [31m  \xC3\x89\tioframebuffer\t-\t-\n");

  std::ostringstream caps;
  EXPECT_EQ(printCapabilities(caps, monitor, "(vcp(10)\n)\t", false), 0);
  EXPECT_EQ(caps.str(), "(vcp(10) ) \n");
}

TEST(PrintMonitors, JSONNumbersAndOmissions) {
  ddc::Monitor monitor;
  monitor.ID = "m";
  monitor.Name = "tab\there";
  monitor.Backend = "b";
  monitor.CurrentMode = ddc::DisplayMode{640, 480, 1e-7, 0, 0};
  std::ostringstream out;
  EXPECT_EQ(printMonitorsJSON(out, monitor), 0);
  EXPECT_EQ(out.str(),
            "[{\"id\":\"m\",\"index\":0,\"name\":\"tab\\there\",\"current_mode\":{\"width\":640,"
            "\"height\":480,\"refresh_hz\":1e-7},\"backend\":\"b\"}]\n");

  // A rate JSON cannot encode fails the command without writing anything.
  monitor.CurrentMode->RefreshHz = std::numeric_limits<double>::infinity();
  std::ostringstream failed;
  EXPECT_EQ(printMonitorsJSON(failed, monitor), 1);
  EXPECT_EQ(failed.str(), "");
}

ddc::Monitor monitorM() {
  ddc::Monitor monitor;
  monitor.ID = "M";
  return monitor;
}

TEST(PrintCapabilities, UnparsableTextStillSucceeds) {
  std::ostringstream text;
  EXPECT_EQ(printCapabilities(text, monitorM(), "(a) b<&>", false), 0);
  EXPECT_EQ(text.str(), "(a) b<&>\n");

  std::ostringstream json;
  EXPECT_EQ(printCapabilities(json, monitorM(), "(a) b<&>", true), 0);
  EXPECT_EQ(json.str(),
            "{\"capabilities\":{\"raw\":\"(a) b<&>\"},\"monitor\":\"M\",\"parse_error\":"
            "\"unexpected capabilities data at byte 4\",\"parsed\":false}\n");
}

TEST(PrintCapabilities, EmptyDocumentHasOnlyRaw) {
  std::ostringstream json;
  EXPECT_EQ(printCapabilities(json, monitorM(), " ( ) ", true), 0);
  EXPECT_EQ(json.str(),
            "{\"capabilities\":{\"raw\":\" ( ) \"},\"monitor\":\"M\",\"parsed\":true}\n");
}

// Every level holds the next one as a group that is written under both items and children,
// so the JSON doubles per level.
std::string nestedCapabilities(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "g(";
  text += "x";
  for (int i = 0; i < depth; ++i) text += ")";
  return text;
}

TEST(PrintCapabilities, TreeTooLargeToRenderIsReportedQuickly) {
  const std::string deep = nestedCapabilities(32);
  std::ostringstream json;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(printCapabilities(json, monitorM(), deep, true), 0);
  // Generous bound: without the size limit this would run for hours.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(json.str(), "{\"capabilities\":{\"raw\":\"" + deep +
                            "\"},\"monitor\":\"M\",\"parse_error\":\"capabilities tree too large "
                            "to render\",\"parsed\":false}\n");
}

TEST(PrintCapabilities, OrdinaryDepthRendersInFull) {
  const std::string moderate = nestedCapabilities(12);
  std::ostringstream json;
  EXPECT_EQ(printCapabilities(json, monitorM(), moderate, true), 0);
  const std::string out = json.str();
  EXPECT_NE(out.find("\"parsed\":true}"), std::string::npos);
  EXPECT_EQ(out.find("parse_error"), std::string::npos);
  // Each of the twelve groups is written under both items and children: 2^12 copies.
  std::size_t count = 0;
  for (std::size_t at = out.find("\"token\":\"x\""); at != std::string::npos;
       at = out.find("\"token\":\"x\"", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 4096u);
}

TEST(WriteLifecycleError, JSONWhenAnyWordIsJSON) {
  const support::Error failure = support::Errorf("%w: <gone>", ddc::kErrBusy);
  const std::string prefix = "close backend failed / 关闭后端失败";
  struct Case {
    std::vector<std::string> words;
    std::string expected;
  };
  const std::string json =
      "{\"category\":\"busy\",\"error\":\"close backend failed / 关闭后端失败: monitor transport "
      "is "
      "busy: \\u003cgone\\u003e\",\"kind\":\"runtime\"}\n";
  const std::string text =
      "close backend failed / 关闭后端失败: monitor transport is busy: <gone>\n";
  const std::vector<Case> cases = {
      {{"--json", "list"}, json},
      {{"list", "--", "--json"}, json},
      {{"--lang", "--json", "list"}, json},
      {{"--json=true", "list"}, text},
      {{"list"}, text},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    WriteLifecycleError(err, c.words, prefix, failure);
    EXPECT_EQ(err.str(), c.expected) << c.words.front();
  }
}

}  // namespace
}  // namespace lumra::cli
