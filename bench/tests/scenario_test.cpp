// The scenario behind the "list, 16 monitors" figure must really list sixteen monitors.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "micro/inputs.hpp"
#include "platform/transport.hpp"
#include "sim/simulator.hpp"

namespace lumra::bench {
namespace {

TEST(BenchScenario, SixteenMonitorsAreListed) {
  const std::string text = SixteenMonitorsScenario();
  ASSERT_FALSE(text.empty());
  ASSERT_FALSE(sim::UseScenarioText(text, "sixteen-monitors.json"));

  const auto transport = platform::Open();
  const auto listed = transport->List(support::Context());
  sim::ResetScenario();
  ASSERT_FALSE(listed.Err) << listed.Err.Message();
  ASSERT_EQ(listed.Value.size(), 16u);
  std::set<std::string> ids;
  for (std::size_t i = 0; i < listed.Value.size(); ++i) {
    EXPECT_EQ(listed.Value[i].Index, static_cast<std::int64_t>(i));
    EXPECT_EQ(listed.Value[i].Backend, "ioframebuffer");
    EXPECT_TRUE(listed.Value[i].CurrentMode.has_value());
    ids.insert(listed.Value[i].ID);
  }
  EXPECT_EQ(ids.size(), 16u);
}

}  // namespace
}  // namespace lumra::bench
