#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "cli/delta.hpp"

namespace lumra::cli {
namespace {

TEST(Delta, ParsedAndAppliedWithClampingAndRounding) {
  struct Case {
    std::string word;
    std::uint16_t current;
    std::uint16_t maximum;
    std::optional<std::uint16_t> expected;  // none: the word is refused
  };
  const Case cases[] = {
      {"+10", 40, 100, 50},
      {"-10", 40, 100, 30},
      {"+0x0A", 40, 100, 50},
      {"-0b11", 40, 100, 37},
      {"+010", 40, 100, 48},  // octal, as for set
      {"+1_0", 40, 100, 50},
      {"+0", 40, 100, 40},
      {"-0%", 40, 100, 40},
      {"-10", 5, 100, 0},
      {"+10", 95, 100, 100},
      {"+65535", 65535, 0, 65535},  // a maximum of 0 counts as 65535
      {"+10", 65530, 0, 65535},
      {"-65535", 65535, 65535, 0},
      // A percentage of the maximum, rounded to the nearest step, at least one step.
      {"+10%", 40, 100, 50},
      {"+1%", 0, 255, 3},    // 2.55
      {"+10%", 0, 255, 26},  // 25.5, halves up
      {"-1%", 100, 255, 97},
      {"+1%", 0, 65535, 655},     // 655.35
      {"+50%", 0, 65535, 32768},  // 32767.5
      {"+1%", 0, 10, 1},          // 0.1, but at least one
      {"+100%", 0, 0, 65535},
      {"+65535%", 3, 100, 100},
      {"-200%", 90, 100, 0},
      {"10", 40, 100, {}},
      {"++1", 40, 100, {}},
      {"+", 40, 100, {}},
      {"-", 40, 100, {}},
      {"+%", 40, 100, {}},
      {"+1.5", 40, 100, {}},
      {"+70000", 40, 100, {}},
      {"+70000%", 40, 100, {}},
      {"+1%%", 40, 100, {}},
      {"%+1", 40, 100, {}},
      {"+-1", 40, 100, {}},
      {"+ 1", 40, 100, {}},
      {"", 40, 100, {}},
  };
  for (const Case& c : cases) {
    const auto change = ParseDelta(c.word);
    ASSERT_EQ(change.has_value(), c.expected.has_value()) << "[" << c.word << "]";
    if (change) {
      EXPECT_EQ(ApplyDelta(*change, c.current, c.maximum), *c.expected)
          << c.word << " from " << c.current << " of " << c.maximum;
    }
  }
}

}  // namespace
}  // namespace lumra::cli
