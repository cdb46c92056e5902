#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cli/each_monitor.hpp"

namespace lumra::cli {
namespace {

// Every task waits until all have started, which only happens when they run at once; the last
// monitor fails. Outcomes keep the list's order whatever order the tasks end in.
TEST(ServeEach, RunsEveryMonitorAtOnceAndKeepsListOrder) {
  std::vector<ddc::Monitor> monitors(3);
  for (std::size_t i = 0; i < monitors.size(); ++i) monitors[i].ID = "m" + std::to_string(i);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t started = 0;
  const support::Error failure = support::Error::New("no reply");

  const auto outcomes = ServeEach(monitors, [&](const ddc::Monitor& monitor) {
    std::unique_lock lock(mutex);
    ++started;
    changed.notify_all();
    const bool together =
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return started == monitors.size(); });
    support::Result<RenderedResult> outcome;
    outcome.Value.Text = monitor.ID + (together ? " together" : " alone");
    if (monitor.ID == "m2") outcome.Err = failure;
    return outcome;
  });

  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_EQ(outcomes[0].Value.Text, "m0 together");
  EXPECT_EQ(outcomes[1].Value.Text, "m1 together");
  EXPECT_FALSE(outcomes[1].Err);
  EXPECT_TRUE(support::Is(outcomes[2].Err, failure));
  EXPECT_TRUE(
      ServeEach({}, [](const ddc::Monitor&) { return support::Result<RenderedResult>{}; }).empty());
}

}  // namespace
}  // namespace lumra::cli
