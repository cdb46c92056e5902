#include "support/context.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>

namespace lumra::support {
namespace {

using namespace std::chrono_literals;

// Generous bound for "returned early": far below the long waits, far above any scheduling delay.
constexpr auto kLongWait = std::chrono::seconds(60);
constexpr auto kEarly = std::chrono::seconds(20);

TEST(Context, SentinelMessages) {
  EXPECT_EQ(ErrCanceled().Message(), "context canceled");
  EXPECT_EQ(ErrDeadlineExceeded().Message(), "context deadline exceeded");
  EXPECT_FALSE(ErrCanceled().SameAs(ErrDeadlineExceeded()));
}

TEST(Context, BackgroundNeverEnds) {
  const Context background;
  EXPECT_FALSE(background.Err());
  EXPECT_FALSE(background.Deadline());
  EXPECT_FALSE(background.Wait(1ms));
}

TEST(Context, CancelEndsTheContextAndItsChildrenButNotItsParent) {
  auto [parent, parentCancel] = Context::WithCancel(Context());
  auto [child, childCancel] = Context::WithCancel(parent);
  auto [grandchild, grandchildCancel] = Context::WithCancel(child);
  EXPECT_FALSE(grandchild.Err());

  childCancel.Cancel();
  EXPECT_FALSE(parent.Err());
  EXPECT_TRUE(child.Err().SameAs(ErrCanceled()));
  EXPECT_TRUE(grandchild.Err().SameAs(ErrCanceled()));

  auto [sibling, siblingCancel] = Context::WithCancel(parent);
  parentCancel.Cancel();
  const Context copy = sibling;
  EXPECT_TRUE(copy.Err().SameAs(ErrCanceled()));
}

TEST(Context, ReleasingTheHandleCancels) {
  Context kept;
  {
    auto [ctx, cancel] = Context::WithCancel(Context());
    kept = ctx;
    EXPECT_FALSE(kept.Err());
  }
  EXPECT_TRUE(kept.Err().SameAs(ErrCanceled()));

  auto [first, firstCancel] = Context::WithCancel(Context());
  auto [second, secondCancel] = Context::WithCancel(Context());
  firstCancel = std::move(secondCancel);  // the replaced handle cancels its own context
  EXPECT_TRUE(first.Err().SameAs(ErrCanceled()));
  EXPECT_FALSE(second.Err());
}

TEST(Context, PassedDeadlineEndsTheContext) {
  const auto past = Clock::now() - 1s;
  auto [ctx, cancel] = Context::WithDeadline(Context(), past);
  EXPECT_TRUE(ctx.Err().SameAs(ErrDeadlineExceeded()));
  EXPECT_EQ(ctx.Deadline(), past);
  auto [negative, negativeCancel] = Context::WithTimeout(Context(), -5s);
  EXPECT_TRUE(negative.Err().SameAs(ErrDeadlineExceeded()));
}

TEST(Context, ChildInheritsTheEarliestDeadline) {
  const auto soon = Clock::now() + 1h;
  const auto later = soon + 1h;
  auto [parent, parentCancel] = Context::WithDeadline(Context(), soon);
  auto [plain, plainCancel] = Context::WithCancel(parent);
  auto [laterChild, laterCancel] = Context::WithDeadline(parent, later);
  auto [earlierChild, earlierCancel] = Context::WithDeadline(parent, soon - 1min);
  EXPECT_EQ(plain.Deadline(), soon);
  EXPECT_EQ(laterChild.Deadline(), soon);
  EXPECT_EQ(earlierChild.Deadline(), soon - 1min);
  EXPECT_FALSE(laterChild.Err());

  auto [expired, expiredCancel] = Context::WithDeadline(Context(), Clock::now() - 1ms);
  auto [heir, heirCancel] = Context::WithTimeout(expired, 1h);
  EXPECT_TRUE(heir.Err().SameAs(ErrDeadlineExceeded()));
}

TEST(Context, TheFirstEndKeepsItsReason) {
  // Cancelling after the deadline passed still reports the deadline, also when the deadline
  // belongs to an ancestor.
  auto [expired, expiredCancel] = Context::WithDeadline(Context(), Clock::now() - 1s);
  auto [child, childCancel] = Context::WithCancel(expired);
  expiredCancel.Cancel();
  childCancel.Cancel();
  EXPECT_TRUE(expired.Err().SameAs(ErrDeadlineExceeded()));
  EXPECT_TRUE(child.Err().SameAs(ErrDeadlineExceeded()));

  // A parent cancelled before the child's deadline came leaves the child cancelled.
  auto [parent, parentCancel] = Context::WithCancel(Context());
  auto [timed, timedCancel] = Context::WithTimeout(parent, 200ms);
  parentCancel.Cancel();
  EXPECT_TRUE(timed.Wait(kLongWait).SameAs(ErrCanceled()));
  std::this_thread::sleep_until(*timed.Deadline() + 1ms);
  EXPECT_TRUE(timed.Err().SameAs(ErrCanceled()));

  // A child made after its parent was cancelled reports the cancellation, even with a past
  // deadline of its own.
  auto [late, lateCancel] = Context::WithDeadline(parent, Clock::now() - 1h);
  EXPECT_TRUE(late.Err().SameAs(ErrCanceled()));
}

TEST(Context, WaitOnALiveContextSleepsAndSucceeds) {
  auto [ctx, cancel] = Context::WithTimeout(Context(), 1h);
  const auto start = Clock::now();
  EXPECT_FALSE(ctx.Wait(5ms));
  EXPECT_GE(Clock::now() - start, 5ms);
  EXPECT_FALSE(ctx.Wait(0ms));
  EXPECT_FALSE(ctx.Wait(-1s));
}

TEST(Context, WaitEndsEarlyWhenCancelledFromAnotherThread) {
  for (const Duration wait : {Duration(kLongWait), Duration::max()}) {
    // A pair, not a structured binding: clang 14 cannot capture bindings in a lambda.
    std::pair<Context, CancelHandle> parent = Context::WithCancel(Context());
    auto [child, childCancel] = Context::WithCancel(parent.first);
    const auto start = Clock::now();
    std::thread canceller([&parent] {
      std::this_thread::sleep_for(20ms);
      parent.second.Cancel();
    });
    const Error err = child.Wait(wait);
    canceller.join();
    EXPECT_TRUE(err.SameAs(ErrCanceled())) << err.Message();
    EXPECT_LT(Clock::now() - start, kEarly);
  }
}

TEST(Context, WaitEndsAtTheDeadline) {
  auto [parent, parentCancel] = Context::WithTimeout(Context(), 30ms);
  auto [ctx, cancel] = Context::WithCancel(parent);
  const auto start = Clock::now();
  const Error err = ctx.Wait(Duration::max());
  EXPECT_TRUE(err.SameAs(ErrDeadlineExceeded())) << err.Message();
  EXPECT_GE(Clock::now(), *ctx.Deadline());
  EXPECT_LT(Clock::now() - start, kEarly);
}

TEST(Context, WaitOnAnEndedContextReturnsAtOnce) {
  auto [ctx, cancel] = Context::WithCancel(Context());
  cancel.Cancel();
  const auto start = Clock::now();
  EXPECT_TRUE(ctx.Wait(kLongWait).SameAs(ErrCanceled()));
  EXPECT_LT(Clock::now() - start, kEarly);
}

TEST(Context, HugeTimeoutSaturatesAtTheClocksFarEnd) {
  auto [ctx, cancel] = Context::WithTimeout(Context(), Duration::max());
  EXPECT_EQ(ctx.Deadline(), Clock::time_point::max());
  EXPECT_FALSE(ctx.Err());

  const auto now = Clock::now();
  const auto far = Clock::time_point::max();
  EXPECT_EQ(DeadlineAfter(now, 5s), now + 5s);
  EXPECT_EQ(DeadlineAfter(now, -5s), now - 5s);
  EXPECT_EQ(DeadlineAfter(now, Duration::max()), far);
  EXPECT_EQ(DeadlineAfter(far - 1ns, 2ns), far);
  EXPECT_EQ(DeadlineAfter(far - 2ns, 2ns), far);
  EXPECT_EQ(DeadlineAfter(Clock::time_point::min() + 1ns, Duration::min()),
            Clock::time_point::min());
}

}  // namespace
}  // namespace lumra::support
