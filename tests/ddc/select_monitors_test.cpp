#include <gtest/gtest.h>

#include "ddc/errors.hpp"
#include "ddc/select_monitors.hpp"

namespace lumra::ddc {
namespace {

Monitor monitor(std::int64_t index, std::string id, std::string name) {
  Monitor m;
  m.Index = index;
  m.ID = std::move(id);
  m.Name = std::move(name);
  return m;
}

TEST(SelectMonitorsTest, IndexThenIDThenAllThenName) {
  const std::vector<Monitor> monitors = {
      monitor(0, "darwin:1", "Orvane Q27 Pro"),
      monitor(1, "darwin:2", "Orvane U32 Studio"),
      monitor(2, "darwin:3", "Desk"),
      monitor(3, "all", "Desk Right"),
      monitor(4, "darwin:5", "3"),
      monitor(5, "darwin:6",
              "\xC3\x89"
              "cran Bureau"),
  };
  struct Case {
    std::string selector;
    std::vector<std::string> selected;  // IDs
    bool all = false;
    std::vector<std::string> nameMatches = {};
    bool notFound = false;
  };
  const Case cases[] = {
      {"1", {"darwin:2"}},
      // An index wins over a name that reads the same.
      {"3", {"all"}},
      {"darwin:3", {"darwin:3"}},
      // A full ID wins over the word "all".
      {"all", {"all"}},
      {"ORVANE q27 pro", {"darwin:1"}},
      // A whole name wins over the names that contain it.
      {"desk", {"darwin:3"}},
      {"u32", {"darwin:2"}},
      // Names fold case beyond ASCII: "écran" and "ÉCRAN" both find "Écran Bureau".
      {"\xC3\xA9"
       "cran",
       {"darwin:6"}},
      {"\xC3\x89"
       "CRAN BUREAU",
       {"darwin:6"}},
      {"orvane", {}, false, {"darwin:1", "darwin:2"}},
      {"studio monitor", {}, false, {}, true},
      {"", {}, false, {}, true},
      {"-1", {}, false, {}, true},
      // A number that is no index stays one, though a name holds its digits.
      {"27", {}, false, {}, true},
      {"32", {}, false, {}, true},
  };
  for (const Case& c : cases) {
    const auto selection = SelectMonitors(monitors, c.selector);
    EXPECT_EQ(support::Is(selection.Err, kErrMonitorNotFound), c.notFound) << c.selector;
    std::vector<std::string> selected;
    for (const Monitor& m : selection.Value.Monitors) selected.push_back(m.ID);
    EXPECT_EQ(selected, c.selected) << c.selector;
    EXPECT_EQ(selection.Value.All, c.all) << c.selector;
    EXPECT_EQ(selection.Value.NameMatches, c.nameMatches) << c.selector;
  }
}

TEST(SelectMonitorsTest, AllTakesEveryMonitorInListOrder) {
  const std::vector<Monitor> monitors = {monitor(1, "darwin:b", "B"), monitor(0, "darwin:a", "A")};
  for (const char* word : {"all", "ALL", "All"}) {
    const auto every = SelectMonitors(monitors, word);
    ASSERT_FALSE(every.Err) << word;
    EXPECT_TRUE(every.Value.All) << word;
    ASSERT_EQ(every.Value.Monitors.size(), 2u) << word;
    EXPECT_EQ(every.Value.Monitors[0].ID, "darwin:b") << word;
  }

  const auto none = SelectMonitors({}, "all");
  ASSERT_FALSE(none.Err);
  EXPECT_TRUE(none.Value.All);
  EXPECT_TRUE(none.Value.Monitors.empty());
}

}  // namespace
}  // namespace lumra::ddc
