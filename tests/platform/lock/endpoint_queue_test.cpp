// Taking turns across processes: the holder that keeps a lock through its quiet time, and the
// line that serves waiting processes in the order they asked (its order, a killed waiter and an
// expired one are also covered end to end, in tests/e2e/waiting_line_test.cpp). Waiters are
// forked children of the test, each reporting through a pipe when it got the lock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/lock/endpoint_lock.hpp"
#include "platform/temp_home.hpp"
#include "support/format.hpp"

namespace lumra::platform {
namespace {

using namespace std::chrono_literals;
using testing::lockableElsewhere;
using testing::TempHome;
using Clock = support::Clock;

constexpr std::uint64_t kEndpoint = 0x42;
const char* const kLockName = "ddc-0000000000000042.lock";

std::size_t ticketsIn(const std::string& directory) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    count += entry.path().extension() == ".ticket";
  }
  return count;
}

// What a waiting child reports when it got the lock, or did not.
struct Report {
  int waiter = 0;
  bool locked = false;
  Clock::rep at = 0;
};

// Forked children that wait for the endpoint and report through one pipe.
class Waiters {
 public:
  explicit Waiters(const TempHome& home) : options_(home.lockOptions()) {
    EXPECT_EQ(::pipe(pipe_), 0);
  }
  ~Waiters() {
    for (const pid_t child : children_) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    ::close(pipe_[0]);
    ::close(pipe_[1]);
  }

  // Starts waiter `index`, which asked for the lock at `askedAt`, or when it is forked (the
  // children share the test's start), and gives up after 10 s.
  void start(int index, support::Duration poll = kLockPollInterval, std::uint64_t askedAt = 0) {
    const pid_t child = ::fork();
    if (child == 0) {
      EndpointLockOptions options = options_;
      options.PollInterval = poll;
      options.AskedAt = askedAt != 0 ? askedAt : MonotonicNanoseconds();
      auto [ctx, cancel] = support::Context::WithTimeout(support::Context(), 10s);
      auto got = LockEndpoint(ctx, kEndpoint, options);
      const Report report{index, !got.Err, Clock::now().time_since_epoch().count()};
      ::_exit(::write(pipe_[1], &report, sizeof report) == sizeof report ? 0 : 1);
    }
    children_.push_back(child);
  }

  Report next() const {
    Report report;
    EXPECT_EQ(::read(pipe_[0], &report, sizeof report), static_cast<ssize_t>(sizeof report));
    return report;
  }

 private:
  EndpointLockOptions options_;
  int pipe_[2] = {-1, -1};
  std::vector<pid_t> children_;
};

class EndpointQueueTest : public ::testing::Test {
 protected:
  std::string lockFile() const { return home.locks() + "/" + kLockName; }

  // Waits until `count` processes stand in line.
  bool waitForTickets(std::size_t count) const {
    for (const auto until = Clock::now() + 5s; Clock::now() < until;) {
      if (ticketsIn(home.locks()) == count) return true;
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  TempHome home;
  support::Context ctx;
};

// Released with quiet time owed, the lock stays held by a holder process until the quiet time
// ends, while the releasing process goes on at once; without a holder it sleeps the rest itself.
// The double fork's holder is nobody's child; the single fork's is this process's.
TEST_F(EndpointQueueTest, QuietTimeOutlivesTheRelease) {
  const struct {
    const char* name;
    QuietHandOver handOver;
    bool returnsAtOnce;
    bool holderIsAChild;
  } cases[] = {
      {"holder", StartQuietHolder, true, false},
      {"holder as a child", StartQuietHolderAsChild, true, true},
      {"no holder can be made", [](int, std::uint64_t) { return false; }, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EndpointLockOptions options = home.lockOptions();
    options.HandOver = c.handOver;
    auto held = LockEndpoint(ctx, kEndpoint, options);
    ASSERT_FALSE(held.Err) << held.Err.Message();
    // Standing for the standard output of `$(lumra ...)`: the holder must not keep it open.
    int output[2];
    ASSERT_EQ(::pipe(output), 0);

    const auto owed = Clock::now();
    held.Value.OweQuiet(150ms);
    held.Value.Release();
    const auto released = Clock::now();
    ::close(output[1]);
    char byte = 0;
    EXPECT_EQ(::read(output[0], &byte, 1), 0);
    const auto outputEnded = Clock::now();
    ::close(output[0]);
    const bool heldAfterRelease = !lockableElsewhere(lockFile());
    while (!lockableElsewhere(lockFile()) && Clock::now() < owed + 2s)
      std::this_thread::sleep_for(1ms);
    const auto free = Clock::now();

    if (c.returnsAtOnce) {
      EXPECT_LT(released - owed, 100ms);
      EXPECT_LT(outputEnded - owed, 100ms) << "the holder kept the pipe open";
      EXPECT_TRUE(heldAfterRelease);
      if (c.holderIsAChild) {
        // The holder is this process's child, gone once the quiet time is over.
        int status = -1;
        EXPECT_GT(::waitpid(-1, &status, 0), 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_GE(Clock::now() - owed, 150ms);
      }
      // No other child is left: the double fork's intermediate process was reaped.
      EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    } else {
      EXPECT_GE(released - owed, 150ms);
      EXPECT_FALSE(heldAfterRelease);
    }
    EXPECT_GE(free - owed, 150ms);
    EXPECT_LT(free - owed, 400ms);
  }
}

// DeferQuietHolder keeps the released lock in this process, with no holder yet, until the end
// or until a thread of this process is about to wait for a lock: then one holder takes it for the
// rest of its quiet time. While a thread waits, a released lock goes to a holder at once.
TEST_F(EndpointQueueTest, AKeptLockGoesToAHolderBeforeAnyWait) {
  constexpr std::uint64_t kOther = 0x43;
  const struct {
    const char* name;
    bool anotherThreadWaits;
    void (*handOver)(const support::Context&, const EndpointLockOptions&);
  } cases[] = {
      {"at the end", false,
       [](const support::Context&, const EndpointLockOptions&) { StartDeferredQuietHolders(); }},
      {"before this thread takes another lock", false,
       [](const support::Context& ctx, const EndpointLockOptions& options) {
         EXPECT_FALSE(LockEndpoint(ctx, kOther, options).Err);
       }},
      {"while another thread waits", true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EndpointLockOptions options = home.lockOptions();
    options.HandOver = DeferQuietHolder;
    // The other thread waits for an endpoint this one keeps locked.
    auto other = LockEndpoint(ctx, kOther, home.lockOptions());
    ASSERT_FALSE(other.Err) << other.Err.Message();
    std::thread waiter;
    if (c.anotherThreadWaits) {
      waiter = std::thread([&] { EXPECT_FALSE(LockEndpoint(ctx, kOther, options).Err); });
      ASSERT_TRUE(waitForTickets(1));
    }
    auto held = LockEndpoint(ctx, kEndpoint, options);
    ASSERT_FALSE(held.Err) << held.Err.Message();
    const auto owed = Clock::now();
    held.Value.OweQuiet(150ms);
    held.Value.Release();
    EXPECT_FALSE(lockableElsewhere(lockFile()));
    // A holder is this process's only child.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), c.anotherThreadWaits ? 0 : -1);
    other.Value.Release();
    if (waiter.joinable()) waiter.join();
    if (c.handOver) c.handOver(ctx, options);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), 0) << "no holder";
    EXPECT_FALSE(lockableElsewhere(lockFile()));

    int status = -1;
    EXPECT_GT(::waitpid(-1, &status, 0), 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GE(Clock::now() - owed, 150ms);
    EXPECT_TRUE(lockableElsewhere(lockFile()));
    StartDeferredQuietHolders();
    while (::waitpid(-1, nullptr, 0) > 0) {
    }
  }
}

// Threads keep taking other endpoints' locks and handing them to holders of 1 ms while this
// one starts long holders. None of those may keep a lock file that another thread opened around
// its fork: once the other endpoints' own holders are over, those endpoints are free. (Without
// the guard around the fork, a run fails about one time in six here: the window is short.)
TEST_F(EndpointQueueTest, AHolderKeepsNoOtherEndpointsLock) {
  constexpr std::uint64_t kTakers = 4;
  std::atomic<bool> stop = false;
  std::vector<std::thread> takers;
  for (std::uint64_t endpoint = 1; endpoint <= kTakers; ++endpoint) {
    takers.emplace_back([&, endpoint] {
      while (!stop) {
        // A lock kept by a stray holder must not keep this thread from seeing `stop`.
        const auto [patient, cancel] = support::Context::WithTimeout(ctx, 20ms);
        auto held = LockEndpoint(patient, endpoint, home.lockOptions());
        if (!held.Err) held.Value.OweQuiet(1ms);
      }
    });
  }
  for (std::uint64_t endpoint = 0x100; endpoint < 0x180; ++endpoint) {
    auto held = LockEndpoint(ctx, endpoint, home.lockOptions());
    ASSERT_FALSE(held.Err) << held.Err.Message();
    held.Value.OweQuiet(1s);
  }
  stop = true;
  for (std::thread& taker : takers) taker.join();
  std::this_thread::sleep_for(50ms);
  for (std::uint64_t endpoint = 1; endpoint <= kTakers; ++endpoint) {
    EXPECT_TRUE(lockableElsewhere(home.locks() + support::Format("/ddc-%016x.lock", endpoint)))
        << endpoint;
  }
}

// The line is ordered by when the commands were asked for, not by when they reached the lock:
// a command that took longer to get there goes before one asked for after it.
TEST_F(EndpointQueueTest, TheCommandAskedForFirstGoesFirst) {
  auto held = LockEndpoint(ctx, kEndpoint, home.lockOptions());
  ASSERT_FALSE(held.Err);
  const std::uint64_t asked = MonotonicNanoseconds();
  Waiters waiters(home);
  waiters.start(1, kLockPollInterval, asked + 1'000'000);
  ASSERT_TRUE(waitForTickets(1));
  waiters.start(2, kLockPollInterval, asked);
  ASSERT_TRUE(waitForTickets(2));
  held.Value.Release();
  EXPECT_EQ(waiters.next().waiter, 2);
  EXPECT_EQ(waiters.next().waiter, 1);
}

// The first waiter does not poll through a handed-over quiet time: it tries again just after
// the holder's published end. Polling every 100 ms from the release on, it would try 50 ms after
// the end of 250 ms.
TEST_F(EndpointQueueTest, TheFrontWakesAtTheEndOfTheQuietTime) {
  auto held = LockEndpoint(ctx, kEndpoint, home.lockOptions());
  ASSERT_FALSE(held.Err);
  const auto owed = Clock::now();
  held.Value.OweQuiet(250ms);
  held.Value.Release();
  Waiters waiters(home);
  waiters.start(1, 100ms);
  const Report report = waiters.next();
  EXPECT_TRUE(report.locked);
  const auto after = Clock::time_point(support::Duration(report.at)) - owed;
  EXPECT_GE(after, 250ms);
  EXPECT_LT(after, 250ms + 30ms);
}

}  // namespace
}  // namespace lumra::platform
