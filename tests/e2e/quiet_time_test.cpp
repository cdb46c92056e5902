// A command ends as soon as its last exchange is done, and a holder process keeps the monitor's
// lock through the quiet time that the exchange still owes. Across processes no write may reach
// a monitor sooner after the previous exchange's end than the protocol allows: 50 ms after a
// read, and the request's delay (50 ms for Set VCP) after a write that reads nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "e2e/child_process.hpp"
#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kQuiet = 50ms;

Clock::time_point atNanoseconds(std::uint64_t ns) {
  return Clock::time_point(std::chrono::nanoseconds(static_cast<std::int64_t>(ns)));
}

// Every write, and how long after the monitor's previous transaction (a write or a read) it came.
struct Write {
  Clock::time_point at;
  Clock::duration afterPrevious;
};

std::vector<Write> writesOf(const sim::MonitorCounters& counters) {
  std::vector<std::pair<std::uint64_t, bool>> transactions;  // time, is a write
  for (const std::uint64_t t : counters.WriteTimes) transactions.emplace_back(t, true);
  for (const std::uint64_t t : counters.ReadTimes) transactions.emplace_back(t, false);
  std::sort(transactions.begin(), transactions.end());
  std::vector<Write> writes;
  for (std::size_t i = 1; i < transactions.size(); ++i) {
    if (!transactions[i].second) continue;
    writes.push_back(
        {atNanoseconds(transactions[i].first),
         atNanoseconds(transactions[i].first) - atNanoseconds(transactions[i - 1].first)});
  }
  return writes;
}

bool lockHeld(const std::filesystem::path& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
  close(fd);
  return held;
}

struct BusPath {
  std::string name;
  std::string scenario;  // a file in the scenario directory, or "apple-silicon"
  std::string monitor;
  bool json;
};

void PrintTo(const BusPath& path, std::ostream* os) { *os << path.name; }

class QuietTime : public LumraBinary, public ::testing::WithParamInterface<BusPath> {
 protected:
  std::string scenarioPath() const {
    const BusPath& path = GetParam();
    return path.scenario == "apple-silicon" ? path.scenario : scenario(path.scenario);
  }
  ProcessResult lumra(std::vector<std::string> words) const {
    if (GetParam().json) words.insert(words.begin(), "--json");
    return run(words, GetParam().scenario, {{"LUMRA_SIMULATION", scenarioPath()}});
  }
};

// Each second command starts while the first one's holder still keeps the lock, so its first
// write has to wait out the quiet time.
// Timing-bound: a process start takes part in its bounds, so it runs in the dev build only (the
// sanitizer test presets leave it out; CMakePresets.json).
TEST_P(QuietTime, NoWriteComesSoonerThanTheProtocolAllows) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> pairs = {
      {{"get", "0", "brightness"}, {"get", "0", "brightness"}},
      {{"set", "0", "brightness", "30"}, {"get", "0", "brightness"}},
      {{"set", "0", "brightness", "31"}, {"set", "0", "brightness", "32"}},
      {{"capabilities", "0"}, {"set", "0", "brightness", "33"}},
  };
  std::vector<Clock::time_point> secondStarts;
  for (const auto& [first, second] : pairs) {
    const ProcessResult one = lumra(first);
    secondStarts.push_back(Clock::now());
    const ProcessResult two = lumra(second);
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(one.err + two.err, "");
  }
  const SimulatedState state(home(), scenarioPath());
  const auto counters = state.Counters(GetParam().monitor);
  EXPECT_EQ(state.Value(GetParam().monitor, 0x10), 33);
  const std::vector<Write> writes = writesOf(counters);
  ASSERT_GE(writes.size(), 7u);
  for (const Write& write : writes) {
    EXPECT_GE(write.afterPrevious, kQuiet) << "a write came early";
  }
  // Second commands started before the quiet time after the first ended, so their processes
  // did wait for the holder. Only one of them must have: a process that a busy machine keeps
  // from ending for 50 ms leaves the next nothing to wait for, which is no fault of the lock.
  int waited = 0;
  for (const Clock::time_point start : secondStarts) {
    const auto firstWriteAfter =
        std::find_if(writes.begin(), writes.end(), [&](const Write& w) { return w.at > start; });
    ASSERT_NE(firstWriteAfter, writes.end());
    waited += start < firstWriteAfter->at - firstWriteAfter->afterPrevious + kQuiet;
  }
  EXPECT_GE(waited, 1) << "no second command started within the quiet time of the first";
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, QuietTime,
    ::testing::Values(BusPath{"ioframebuffer_text", "desk.json", "left", false},
                      BusPath{"ioframebuffer_json", "desk.json", "left", true},
                      BusPath{"ioavservice_text", "apple-silicon", "orvane-q27", false},
                      BusPath{"ioavservice_json", "apple-silicon", "orvane-q27", true}),
    [](const auto& info) { return info.param.name; });

// `out=$(lumra set ...)` returns as soon as the write is done: the holder keeps no pipe open.
// It keeps the lock for the rest of the quiet time, then ends, and nothing is left behind.
// Timing-bound: a process start takes part in its bounds, so it runs in the dev build only (the
// sanitizer test presets leave it out; CMakePresets.json).
TEST_F(LumraBinary, CommandSubstitutionEndsBeforeTheQuietTime) {
  // Orphans become this process's children, so the holder can be seen to end and be reaped.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  Child shell("/bin/sh",
              {"-c", "out=$(\"$0\" set 0 brightness 40) && printf '%s\\n' \"$out\"", LUMRA_BINARY},
              {{"HOME", home()},
               {"LUMRA_SIMULATION", scenario("desk.json")},
               {"LC_ALL", std::nullopt},
               {"LANG", std::nullopt},
               {"LUMRA_SIM_CHECK_RELEASES", "1"}});
  const ProcessResult result = shell.Finish();
  const Clock::time_point returned = Clock::now();
  const std::filesystem::path lock = cacheDirectory() / "locks" / "ddc-0000000000001001.lock";
  const bool heldOnReturn = lockHeld(lock);

  int status = -1;
  const pid_t holder = waitpid(-1, &status, 0);
  const Clock::time_point holderEnded = Clock::now();
  const bool freeAfterHolder = !lockHeld(lock);
  const pid_t more = waitpid(-1, nullptr, WNOHANG);
  prctl(PR_SET_CHILD_SUBREAPER, 0);

  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "darwin:3E56:2710:00000042 (brightness / 0x10) command sent with value 40; the monitor "
            "value was not read back\n");
  const auto counters = SimulatedState(home(), scenario("desk.json")).Counters("left");
  ASSERT_EQ(counters.WriteTimes.size(), 1u);
  const Clock::time_point written = atNanoseconds(counters.WriteTimes[0]);
  EXPECT_LT(returned, written + kQuiet) << "the command slept the quiet time";
  EXPECT_TRUE(heldOnReturn);
  EXPECT_GT(holder, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GE(holderEnded, written + kQuiet);
  EXPECT_LT(holderEnded, written + kQuiet + 100ms);
  EXPECT_TRUE(freeAfterHolder);
  EXPECT_EQ(more, -1) << "another process was left behind";
}

// A reader that went away before the result came still ends the command with SIGPIPE, but only
// once a holder has the lock for the rest of the quiet time. Timing-bound like the test above.
TEST_F(LumraBinary, ABrokenPipeEndsTheCommandOnlyOnceTheHolderHasTheLock) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  Child lumra(LUMRA_BINARY, {"set", "0", "brightness", "40"},
              {{"HOME", home()},
               {"LUMRA_SIMULATION", scenario("desk.json")},
               {"LUMRA_SIM_CHECK_RELEASES", "1"}},
              ChildOptions{std::nullopt, std::nullopt, true});
  const ProcessResult result = lumra.Finish();
  const bool heldOnReturn = lockHeld(cacheDirectory() / "locks" / "ddc-0000000000001001.lock");
  int status = -1;
  const pid_t holder = waitpid(-1, &status, 0);
  prctl(PR_SET_CHILD_SUBREAPER, 0);

  EXPECT_EQ(result.status, 128 + SIGPIPE) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SimulatedState(home(), scenario("desk.json")).Value("left", 0x10), 40);
  EXPECT_TRUE(heldOnReturn);
  EXPECT_GT(holder, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace lumra::testing
