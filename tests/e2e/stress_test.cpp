// Many processes on two monitors at once. Sixteen workers each run a sequence of lumra
// processes (set, get, capabilities, list); each worker owns one VCP code that only it writes,
// with increasing values, and reads the others. So every value is accounted for: a reader sees
// a value its owner wrote (never a torn or foreign one, never an older one than before), an
// owner reads back its own last write, and after the run each code holds its owner's last
// value. The monitors' counters show that no exchange failed or was retried, every lock file
// is free afterwards, and each process checked at exit that it left no descriptor or platform
// object open. Two rounds in a row; LUMRA_STRESS_OPERATIONS lowers the 50 operations per
// worker for slow builds.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

#include "e2e/child_process.hpp"
#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"
#include "support/format.hpp"

namespace lumra::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStressScenario = "stress.json";
constexpr int kWorkers = 16;
constexpr int kRounds = 2;
const std::string kStressCapabilities = "(vcp(10 11 12 13 14 15 16 17))";
const char* const kMonitorNames[2] = {"a", "b"};

int OperationsPerWorker() { return RoundsWanted("LUMRA_STRESS_OPERATIONS", 50); }

std::string MonitorID(int monitor) {
  return support::Format("darwin:3E56:%04X:%08X", 0x7001 + monitor, monitor + 1);
}

// Worker w owns code 0x10 + w/2 on monitor w%2.
int MonitorOf(int worker) { return worker % 2; }
int CodeOf(int worker) { return 0x10 + worker / 2; }
std::string FeatureOf(int worker) { return support::Format("vcp:0x%02X", CodeOf(worker)); }

// The k-th value (from 1) a worker writes in a round; increasing over rounds, and its owner
// can be told from it.
int ValueOf(int worker, int round, int k) { return (worker + 1) * 1000 + round * 100 + k; }
bool WrittenBy(int worker, int value) {
  return value == 0 || (value / 1000 == worker + 1 && value % 100 != 0);
}

enum class Op { Set, GetOwn, GetOther, Capabilities, List };

Op Choose(std::mt19937& random, int index) {
  if (index == 0) return Op::Set;  // every worker writes in every round
  const unsigned roll = random() % 100;
  // Device operations hold a monitor's lock for 50 ms (set) or 90 ms (get) each, so their
  // share decides the run time; listing takes no lock.
  if (roll < 20) return Op::Set;
  if (roll < 24) return Op::GetOwn;
  if (roll < 34) return Op::GetOther;
  if (roll < 36) return Op::Capabilities;
  return Op::List;
}

struct Tally {
  std::uint64_t sets[2] = {0, 0};
  std::uint64_t gets[2] = {0, 0};
  std::uint64_t capabilities[2] = {0, 0};
};

struct WorkerLog {
  std::vector<std::string> failures;
  Tally tally;
  int lastWritten = 0;
};

std::optional<int> CurrentValue(const std::string& json) {
  const std::size_t at = json.find("\"current\":");
  if (at == std::string::npos) return std::nullopt;
  return std::atoi(json.c_str() + at + 10);
}

class Stress : public LumraBinary {
 protected:
  EnvironmentChanges Environment() const {
    return {{"HOME", home()},
            {"LUMRA_SIMULATION", scenario(kStressScenario)},
            {"LC_ALL", std::nullopt},
            {"LANG", std::nullopt},
            {"LUMRA_SIM_CHECK_RELEASES", "1"}};
  }

  // Eight processes queue for each monitor's lock, and a slow build on a loaded machine may
  // keep the last in line longer than the default 5 s deadline; this test is about what the
  // processes do, not how long they wait.
  ProcessResult Lumra(std::vector<std::string> words) const {
    words.insert(words.begin(), {"--timeout", "60s"});
    return runChild(LUMRA_BINARY, words, Environment(), {});
  }

  // What a reader saw of each other worker's code so far: values only grow.
  void RunWorker(int worker, int round, int operations, const std::string& listing,
                 std::map<int, int>& seen, WorkerLog& log) const {
    std::mt19937 random(static_cast<unsigned>(round * 1000 + worker));
    int written = 0;
    const auto fail = [&](const std::string& what, const ProcessResult& result) {
      log.failures.push_back(support::Format("worker %d round %d: %s: status %d, out %q, err %q",
                                             worker, round, what, result.status, result.out,
                                             result.err));
    };
    for (int i = 0; i < operations; ++i) {
      const Op op = Choose(random, i);
      if (op == Op::Set) {
        const int value = ValueOf(worker, round, ++written);
        const ProcessResult result =
            Lumra({"--json", "--unsafe", "set", MonitorID(MonitorOf(worker)), FeatureOf(worker),
                   std::to_string(value)});
        if (result.status != 0 || !result.err.empty()) fail("set", result);
        log.lastWritten = value;
        ++log.tally.sets[MonitorOf(worker)];
      } else if (op == Op::GetOwn || op == Op::GetOther) {
        const int owner = op == Op::GetOwn ? worker : static_cast<int>(random() % kWorkers);
        const ProcessResult result =
            Lumra({"--json", "get", MonitorID(MonitorOf(owner)), FeatureOf(owner)});
        ++log.tally.gets[MonitorOf(owner)];
        const auto value = CurrentValue(result.out);
        if (result.status != 0 || !result.err.empty() || !value) {
          fail("get", result);
        } else if (owner == worker && *value != log.lastWritten) {
          fail(support::Format("read back %d after writing %d", *value, log.lastWritten), result);
        } else if (!WrittenBy(owner, *value) || *value < seen[owner]) {
          fail(support::Format("worker %d's code read %d after %d", owner, *value, seen[owner]),
               result);
        } else {
          seen[owner] = *value;
        }
      } else if (op == Op::Capabilities) {
        const int monitor = static_cast<int>(random() % 2);
        const ProcessResult result = Lumra({"capabilities", MonitorID(monitor)});
        log.tally.capabilities[monitor] += 2;  // one fragment and the empty one
        if (result.status != 0 || result.out != kStressCapabilities + "\n" || !result.err.empty()) {
          fail("capabilities", result);
        }
      } else {
        const ProcessResult result = Lumra({"list"});
        if (result.status != 0 || result.out != listing || !result.err.empty())
          fail("list", result);
      }
    }
  }

  // The last command's holder keeps the lock for its quiet time (50 ms) after the command ended.
  bool LockIsFree(int monitor) const {
    const fs::path path =
        cacheDirectory() / "locks" / support::Format("ddc-%016x.lock", 0x4001 + monitor);
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    bool free = false;
    while (!(free = flock(fd, LOCK_EX | LOCK_NB) == 0) &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(fd);
    return free;
  }
};

TEST_F(Stress, SixteenProcessesLoseNothing) {
  const int operations = OperationsPerWorker();
  const ProcessResult listed = Lumra({"list"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::vector<std::map<int, int>> seen(kWorkers);
  std::vector<int> lastWritten(kWorkers, 0);
  Tally total;

  for (int round = 0; round < kRounds; ++round) {
    std::vector<WorkerLog> logs(kWorkers);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int w = 0; w < kWorkers; ++w) {
      threads.emplace_back(
          [&, w] { RunWorker(w, round, operations, listed.out, seen[w], logs[w]); });
    }
    for (std::thread& thread : threads) thread.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
    std::cout << support::Format("[ stress   ] round %d: %d processes x %d operations in %s s\n",
                                 round + 1, kWorkers, operations, elapsed);
    RecordProperty(support::Format("round%d_seconds", round + 1), elapsed);

    for (int w = 0; w < kWorkers; ++w) {
      for (const std::string& failure : logs[w].failures) ADD_FAILURE() << failure;
      lastWritten[w] = logs[w].lastWritten;
      for (int m = 0; m < 2; ++m) {
        total.sets[m] += logs[w].tally.sets[m];
        total.gets[m] += logs[w].tally.gets[m];
        total.capabilities[m] += logs[w].tally.capabilities[m];
      }
    }
    const SimulatedState state(home(), scenario(kStressScenario));
    for (int w = 0; w < kWorkers; ++w) {
      EXPECT_EQ(state.Value(kMonitorNames[MonitorOf(w)], static_cast<std::uint8_t>(CodeOf(w))),
                lastWritten[w])
          << "worker " << w << "'s last write, round " << round + 1;
    }
    for (int m = 0; m < 2; ++m) {
      const sim::MonitorCounters counters = state.Counters(kMonitorNames[m]);
      // One exchange per request: nothing failed and nothing was tried twice.
      EXPECT_EQ(counters.Sets, total.sets[m]) << kMonitorNames[m];
      EXPECT_EQ(counters.Gets, total.gets[m]) << kMonitorNames[m];
      EXPECT_EQ(counters.Capabilities, total.capabilities[m]) << kMonitorNames[m];
      EXPECT_EQ(counters.Writes, total.sets[m] + total.gets[m] + total.capabilities[m]);
      EXPECT_EQ(counters.Reads, total.gets[m] + total.capabilities[m]);
      EXPECT_EQ(counters.Ignored, 0u);
      EXPECT_EQ(counters.Faults, 0u);
      EXPECT_TRUE(LockIsFree(m)) << "monitor " << kMonitorNames[m] << "'s lock is still held";
    }
  }
  // The binary itself agrees with the state it left.
  for (int w = 0; w < kWorkers; ++w) {
    const ProcessResult result = Lumra({"--json", "get", MonitorID(MonitorOf(w)), FeatureOf(w)});
    EXPECT_EQ(CurrentValue(result.out), lastWritten[w]) << result.out << result.err;
  }
}

}  // namespace
}  // namespace lumra::testing
