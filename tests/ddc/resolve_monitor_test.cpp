#include "ddc/select_monitors.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ddc/errors.hpp"

namespace lumra::ddc {
namespace {

Monitor Make(std::string id, std::int64_t index) {
  Monitor monitor;
  monitor.ID = std::move(id);
  monitor.Index = index;
  monitor.Name = "display " + monitor.ID;
  monitor.CurrentMode = DisplayMode{2560, 1440, 60, 0, 0};
  return monitor;
}

const std::vector<Monitor> kMonitors = {
    Make("darwin:10AC:A0C4:12345678", 0),
    Make("7", 1),  // an ID that looks like an index no monitor has
    Make("1", 2),  // an ID that equals another monitor's index
    Make(" 0", 3),
    Make("dup", 4),
    Make("dup", 5),
    Make("-4", -4),
};

TEST(ResolveMonitorTest, PicksByIndexThenID) {
  const struct {
    std::string selector;
    std::string wantID;
    std::int64_t wantIndex;
  } cases[] = {
      {"0", "darwin:10AC:A0C4:12345678", 0},
      {"00", "darwin:10AC:A0C4:12345678", 0},
      {"+0", "darwin:10AC:A0C4:12345678", 0},
      {"-0", "darwin:10AC:A0C4:12345678", 0},
      {"1", "7", 1},      // the index wins over the ID "1"
      {"7", "7", 1},      // no index 7, so the ID
      {" 0", " 0", 3},    // not a number: only the exact ID
      {"dup", "dup", 4},  // first in list order
      {"-4", "-4", -4},
      {"darwin:10AC:A0C4:12345678", "darwin:10AC:A0C4:12345678", 0},
  };
  for (const auto& c : cases) {
    const auto [monitor, err] = ResolveMonitor(kMonitors, c.selector);
    ASSERT_FALSE(err) << c.selector << ": " << err.Message();
    EXPECT_EQ(monitor.ID, c.wantID) << c.selector;
    EXPECT_EQ(monitor.Index, c.wantIndex) << c.selector;
  }
}

TEST(ResolveMonitorTest, ReturnsAnIndependentCopy) {
  auto [monitor, err] = ResolveMonitor(kMonitors, "0");
  ASSERT_FALSE(err);
  ASSERT_TRUE(monitor.CurrentMode.has_value());
  monitor.CurrentMode->Width = 1;
  EXPECT_EQ(kMonitors[0].CurrentMode->Width, 2560u);
  EXPECT_EQ(monitor.Name, kMonitors[0].Name);
}

TEST(ResolveMonitorTest, ReportsTheSelectorWhenNothingMatches) {
  const struct {
    std::vector<Monitor> monitors;
    std::string selector;
  } cases[] = {
      {{}, "0"},
      {kMonitors, "9"},
      {kMonitors, "DARWIN:10ac:a0c4:12345678"},
      {kMonitors, "0 "},
      {kMonitors, ""},
      {kMonitors, "99999999999999999999"},  // beyond 64 bits: not a number, not an ID
  };
  for (const auto& c : cases) {
    const auto [monitor, err] = ResolveMonitor(c.monitors, c.selector);
    ASSERT_TRUE(err) << c.selector;
    EXPECT_TRUE(support::Is(err, kErrMonitorNotFound)) << c.selector;
    EXPECT_EQ(err.Message(), "monitor not found: " + c.selector);
    EXPECT_TRUE(monitor.ID.empty()) << c.selector;
    EXPECT_FALSE(monitor.CurrentMode.has_value()) << c.selector;
  }
}

}  // namespace
}  // namespace lumra::ddc
