#include <gtest/gtest.h>

#include "cli/fake_transport.hpp"
#include "cli/target.hpp"
#include "ddc/errors.hpp"

namespace lumra::cli {
namespace {

TEST(ParseSetValue, NumberForms) {
  const std::vector<std::pair<std::string, std::optional<std::uint16_t>>> cases = {
      {"50", 50},        {"0x32", 50},      {"0X32", 50},  {"0b110010", 50},
      {"0B110010", 50},  {"0o62", 50},      {"0O62", 50},  {"062", 50},
      {"0", 0},          {"00", 0},         {"010", 8},    {"65535", 65535},
      {"0xFFFF", 65535}, {"0xffff", 65535}, {"1_0", 10},   {"0x_1F", 31},
      {"0_10", 8},       {"1_000", 1000},   {"65536", {}}, {"70000", {}},
      {"99999", {}},     {"0x10000", {}},   {"08", {}},    {"0x", {}},
      {"0b", {}},        {"0o", {}},        {"0b102", {}}, {"1__0", {}},
      {"_10", {}},       {"10_", {}},       {"0x_", {}},   {"+10", {}},
      {"-1", {}},        {"", {}},          {" 1", {}},    {"1 ", {}},
      {"1.0", {}},       {"0x1G", {}},      {"١", {}},     {"99999999999999999999999", {}},
  };
  for (const auto& [word, expected] : cases) {
    EXPECT_EQ(ParseSetValue(word), expected) << "[" << word << "]";
  }
}

TEST(ResolveTarget, ListsFirstThenSelectorThenFeature) {
  testing::FakeTransport transport;
  transport.monitors = testing::sampleMonitors();

  auto bothBad = ResolveTarget(support::Context(), transport, "7", "nonsense");
  EXPECT_TRUE(support::Is(bothBad.Err, ddc::kErrMonitorNotFound));

  auto badFeature = ResolveTarget(support::Context(), transport, "1", "nonsense");
  EXPECT_TRUE(support::Is(badFeature.Err, ddc::kErrInvalidFeature));

  auto good = ResolveTarget(support::Context(), transport, "path:0123456789ab", "Contrast");
  ASSERT_FALSE(good.Err);
  ASSERT_EQ(good.Value.Selection.Monitors.size(), 1u);
  EXPECT_EQ(good.Value.Selection.Monitors[0].Index, 1);
  EXPECT_EQ(good.Value.Feature.Code, 0x12);
  EXPECT_EQ(transport.calls, (std::vector<std::string>{"List", "List", "List"}));

  transport.listError = support::Error::New("registry unavailable");
  auto listFailed = ResolveTarget(support::Context(), transport, "0", "brightness");
  EXPECT_TRUE(listFailed.Err.SameAs(transport.listError));
}

}  // namespace
}  // namespace lumra::cli
