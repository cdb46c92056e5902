// The benchmark inputs must be what their names claim: a benchmark that timed a parse error or
// a shallower tree than advertised would report figures for the wrong work.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "capabilities/parser.hpp"
#include "micro/inputs.hpp"

namespace lumra::bench {
namespace {

using capabilities::kMaximumDepth;

// Levels of parentheses: the outer group and every group inside it.
int depthOf(const std::vector<std::shared_ptr<const capabilities::Node>>& children) {
  int deepest = 0;
  for (const auto& child : children) deepest = std::max(deepest, 1 + depthOf(child->Children));
  return deepest;
}

// The parser hands the outer group's content to the document, so its level counts once more.
int documentDepth(const capabilities::Document& document) { return 1 + depthOf(document.Children); }

TEST(BenchInputs, CapabilitiesStringsHaveTheAdvertisedSizeAndShape) {
  const struct {
    const char* name;
    std::string input;
    std::size_t size;
    int depth;
  } cases[] = {
      {"realistic", RealisticCapabilities(), 400, 3},
      {"flat 1 KiB", FlatCapabilities(1024), 1024, 3},
      {"flat 3000 bytes", FlatCapabilities(3000), 3000, 3},
      {"flat 64 KiB", FlatCapabilities(65536), 65536, 3},
      {"nested 1 KiB", NestedCapabilities(1024, kMaximumDepth), 1024, kMaximumDepth},
      {"nested 64 KiB", NestedCapabilities(65536, kMaximumDepth), 65536, kMaximumDepth},
      {"nested 4 levels", NestedCapabilities(2048, 4), 2048, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.input.size(), c.size) << c.name;
    const auto parsed = capabilities::Parse(c.input);
    ASSERT_FALSE(parsed.Err) << c.name << ": " << parsed.Err.Message();
    EXPECT_EQ(documentDepth(parsed.Value), c.depth) << c.name;
  }
}

TEST(BenchInputs, LargeInputsRepeatGroupsRatherThanPadding) {
  // Most of a large input must be groups, or the per-byte figures would time the filler.
  for (const std::string& input :
       {FlatCapabilities(65536), NestedCapabilities(65536, kMaximumDepth)}) {
    const auto parsed = capabilities::Parse(input);
    ASSERT_FALSE(parsed.Err);
    EXPECT_GT(parsed.Value.Children.size(), 500u);
    EXPECT_LT(parsed.Value.Tokens.size(), 100u);
  }
}

TEST(BenchInputs, OneLevelMoreThanTheDeepestNestingFails) {
  const auto parsed = capabilities::Parse(NestedCapabilities(4096, kMaximumDepth + 1));
  EXPECT_EQ(parsed.Err.Message(), "capabilities nesting exceeds 32 levels");
}

TEST(BenchInputs, NativeMonitorsGiveDistinctIdentifiersOfTheIntendedKind) {
  const struct {
    bool twins;
    const char* prefix;
  } cases[] = {{false, "darwin:3E56:"}, {true, "darwin:path:"}};
  for (const auto& c : cases) {
    const auto monitors = platform::BuildDarwinMonitors(NativeMonitors(16, c.twins), {});
    ASSERT_EQ(monitors.size(), 16u);
    std::set<std::string> ids;
    for (const auto& monitor : monitors) {
      EXPECT_EQ(monitor.Info.ID.rfind(c.prefix, 0), 0u) << monitor.Info.ID;
      ids.insert(monitor.Info.ID);
    }
    EXPECT_EQ(ids.size(), 16u) << "twins=" << c.twins;
  }
}

}  // namespace
}  // namespace lumra::bench
