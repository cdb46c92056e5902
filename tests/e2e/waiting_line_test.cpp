// Processes waiting for one monitor take it in the order they asked: a burst of `set` commands,
// as a dragged slider or a held key makes, leaves the monitor at the last value asked for. A
// waiter killed in the middle or one whose deadline passes holds up nobody. (The places taken
// in line are watched with inotify.)
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "e2e/child_process.hpp"
#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Small enough for the monitor's log of its latest transactions (sim::kBusTransactionsKept) to
// hold a whole burst's writes.
constexpr int kBurst = 16;
constexpr auto kSpacing = 5ms;
constexpr auto kQuietTime = 50ms;
constexpr auto kPoll = 20ms;
// What a loaded machine may add to a hand-over: waking the next process late, its exchange.
constexpr auto kSlack = 30ms;

// One lumra process of a burst.
struct Runner {
  std::unique_ptr<Child> child;
  ProcessResult result;
  Clock::time_point started;
  std::atomic<bool> done{false};  // set once `result` is
  std::thread finisher;
};

class WaitingLine : public LumraBinary {
 protected:
  EnvironmentChanges environment() const {
    return {{"HOME", home()},
            {"LUMRA_SIMULATION", scenario("desk.json")},
            {"LC_ALL", std::nullopt},
            {"LANG", std::nullopt},
            {"LUMRA_SIM_CHECK_RELEASES", "1"}};
  }

  // Starts `set 0 brightness i` for i = 1..kBurst, each kSpacing after the one before, and not
  // before that one took its place in line: on a loaded machine the system may delay the start
  // of a process by more than kSpacing, and the line keeps the order in which the commands
  // started running. `during` runs on this thread meanwhile. Returns when all have ended.
  std::vector<Runner> burst(const std::function<void(std::vector<Runner>&)>& during = {}) const {
    fs::create_directories(cacheDirectory() / "locks");
    const int placesTaken = inotify_init1(IN_CLOEXEC);
    EXPECT_GE(inotify_add_watch(placesTaken, (cacheDirectory() / "locks").c_str(), IN_CREATE), 0);
    std::vector<Runner> runners(kBurst);
    int tickets = 0;
    for (int i = 0; i < kBurst; ++i) {
      if (i > 0) {
        const Clock::time_point next = runners[static_cast<std::size_t>(i - 1)].started + kSpacing;
        EXPECT_TRUE(waitForTickets(placesTaken, tickets, i)) << "process " << i << " took no place";
        std::this_thread::sleep_until(next);
      }
      Runner& runner = runners[static_cast<std::size_t>(i)];
      runner.started = Clock::now();
      runner.child = std::make_unique<Child>(
          LUMRA_BINARY, std::vector<std::string>{"set", "0", "brightness", std::to_string(i + 1)},
          environment());
      runner.finisher = std::thread([&runner] {
        runner.result = runner.child->Finish();
        runner.done = true;
      });
    }
    close(placesTaken);
    if (during) during(runners);
    for (Runner& runner : runners) runner.finisher.join();
    return runners;
  }

  // Waits until `count` ticket files have been created in the watched locks directory.
  static bool waitForTickets(int watch, int& seen, int count) {
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    while (seen < count) {
      pollfd ready{watch, POLLIN, 0};
      if (poll(&ready, 1, 5000) != 1) return false;
      const ssize_t got = read(watch, buffer, sizeof buffer);
      if (got <= 0) return false;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0 && std::string_view(event->name).ends_with(".ticket")) ++seen;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return true;
  }

  // The brightness values the monitor was sent, in the order it received them: the order in
  // which the processes took it. (The order in which they ended can differ where a slow build
  // spends longer after its write than the quiet time lasts.)
  std::vector<int> writtenValues() const {
    const auto counters = SimulatedState(home(), scenario("desk.json")).Counters("left");
    std::vector<int> values;
    for (const sim::BusTransaction& t : counters.Transactions) {
      // Set VCP: source, length, opcode 0x03, code, value high and low byte, checksum.
      if (t.Write && t.Bytes.size() == 7 && t.Bytes[2] == 0x03 && t.Bytes[3] == 0x10) {
        values.push_back(t.Bytes[4] << 8 | t.Bytes[5]);
      }
    }
    return values;
  }

  // The last `count` of them.
  std::vector<int> lastWrittenValues(std::size_t count) const {
    const std::vector<int> values = writtenValues();
    return {values.end() - static_cast<std::ptrdiff_t>(std::min(count, values.size())),
            values.end()};
  }

  // The gaps between the monitor's consecutive writes since `since`.
  std::vector<Clock::duration> writeGaps(std::uint64_t since) const {
    const auto counters = SimulatedState(home(), scenario("desk.json")).Counters("left");
    std::vector<Clock::duration> gaps;
    std::uint64_t previous = 0;
    for (const std::uint64_t t : counters.WriteTimes) {
      if (t < since) continue;
      if (previous != 0) gaps.push_back(std::chrono::nanoseconds(t - previous));
      previous = t;
    }
    return gaps;
  }

  std::uint16_t brightness() const {
    return SimulatedState(home(), scenario("desk.json")).Value("left", 0x10);
  }

  static std::uint64_t now() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count());
  }

  // Takes the left monitor's lock as an older lumra, which knows only the lock file, would.
  int holdMonitor() const {
    fs::create_directories(cacheDirectory() / "locks");
    const fs::path lock = cacheDirectory() / "locks" / "ddc-0000000000001001.lock";
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    return fd;
  }

  std::size_t tickets() const {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(cacheDirectory() / "locks")) {
      count += entry.path().extension() == ".ticket";
    }
    return count;
  }
};

TEST_F(WaitingLine, BurstsAreWrittenInStartOrder) {
  ASSERT_EQ(run({"list"}).status, 0);
  std::vector<int> inOrder;
  for (int i = 1; i <= kBurst; ++i) inOrder.push_back(i);
  // Ten bursts; LUMRA_BURST_ROUNDS lowers that for slow builds.
  const int rounds = RoundsWanted("LUMRA_BURST_ROUNDS", 10);
  for (int round = 1; round <= rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::uint64_t since = now();
    const std::vector<Runner> runners = burst();
    for (const Runner& runner : runners) {
      EXPECT_EQ(runner.result.status, 0) << runner.result.err;
    }
    EXPECT_EQ(lastWrittenValues(inOrder.size()), inOrder);
    EXPECT_EQ(brightness(), kBurst);
    for (const auto gap : writeGaps(since)) EXPECT_GE(gap, kQuietTime);
  }
  EXPECT_EQ(tickets(), 0u);
}

// Timing-bound: the hand-over gaps are held to an upper bound, so it runs in the dev build only
// (the sanitizer test presets leave it out; CMakePresets.json).
// The tenth process is killed while it waits, once the fifth has written and ended. The
// monitor is held while the burst starts, so that all sixteen wait in line however slowly
// processes start (a sanitizer build starts them some 50 ms apart).
TEST_F(WaitingLine, AKilledWaiterHoldsUpNobody) {
  ASSERT_EQ(run({"list"}).status, 0);
  const std::uint64_t since = now();
  const int held = holdMonitor();
  const std::vector<Runner> runners = burst([&](std::vector<Runner>& started) {
    close(held);
    while (!started[4].done) std::this_thread::sleep_for(1ms);
    // Child::Kill leaves alone a child that another thread is finishing.
    kill(started[9].child->Pid(), SIGKILL);
  });
  std::vector<int> expected;
  for (int i = 1; i <= kBurst; ++i) {
    if (i != 10) expected.push_back(i);
  }
  EXPECT_EQ(lastWrittenValues(expected.size()), expected);
  EXPECT_EQ(runners[9].result.status, 128 + SIGKILL);
  EXPECT_EQ(brightness(), kBurst);
  const std::vector<Clock::duration> gaps = writeGaps(since);
  ASSERT_EQ(gaps.size(), static_cast<std::size_t>(kBurst - 2));
  // A hand-over costs what this build's exchange costs (a sanitizer build's is slower), so the
  // gap where the killed waiter stood is held to the usual gap, not to a fixed figure.
  std::vector<Clock::duration> sorted = gaps;
  std::sort(sorted.begin(), sorted.end());
  const Clock::duration usual = sorted[sorted.size() / 2];
  for (const auto gap : gaps) {
    EXPECT_GE(gap, kQuietTime);
    EXPECT_LT(gap, usual + kPoll + kSlack);
  }
  EXPECT_EQ(tickets(), 0u);
}

// An older lumra, which knows only the lock file, holds the monitor. The first waiter gives up
// at its deadline as always; the second, behind it, takes the lock within one poll of its
// release.
// Timing-bound: a process start takes part in its bounds, so it runs in the dev build only (the
// sanitizer test presets leave it out; CMakePresets.json).
TEST_F(WaitingLine, AWaiterPastItsDeadlineLeavesTheLine) {
  const int held = holdMonitor();

  const Clock::time_point start = Clock::now();
  Child first(LUMRA_BINARY, {"--timeout", "300ms", "set", "0", "brightness", "1"}, environment());
  while (tickets() < 1 && Clock::now() < start + 5s) std::this_thread::sleep_for(1ms);
  Child second(LUMRA_BINARY, {"--timeout", "5s", "set", "0", "brightness", "2"}, environment());
  while (tickets() < 2 && Clock::now() < start + 5s) std::this_thread::sleep_for(1ms);
  const ProcessResult gaveUp = first.Finish();
  const Clock::duration firstTook = Clock::now() - start;
  EXPECT_EQ(tickets(), 1u) << "the first waiter's ticket stayed";

  std::this_thread::sleep_for(200ms);
  const Clock::time_point released = Clock::now();
  close(held);
  const ProcessResult served = second.Finish();
  const Clock::duration secondTook = Clock::now() - released;

  EXPECT_EQ(gaveUp.status, 1);
  EXPECT_EQ(gaveUp.out, "");
  EXPECT_EQ(gaveUp.err, "operation failed: context deadline exceeded\n");
  EXPECT_GE(firstTook, 300ms);
  EXPECT_LT(firstTook, 300ms + kPoll + 100ms);
  EXPECT_EQ(served.status, 0) << served.err;
  EXPECT_LT(secondTook, kPoll + kSlack);
  EXPECT_EQ(brightness(), 2);
  EXPECT_EQ(tickets(), 0u);
}

}  // namespace
}  // namespace lumra::testing
