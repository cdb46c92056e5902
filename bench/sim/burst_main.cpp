// Starts bursts of lumra processes, one every SPACING ms, as a dragged slider or a held key
// does, each with its own last argument 1..N in start order, and reports from the simulated
// monitor's bus times when the last write landed. Used by scripts/bench.sh; the method is in
// docs/performance.md.
//
//   lumra_bench_burst [--processes N] [--spacing MS] [--rounds R] [--monitor NAME]
//                     -- program [arguments...]
//
// Prints one tab-separated line per round: round, in_order (1 when the processes ended in the
// order they started), first start to last write ms, last start to last write ms, first write
// to last write ms. The child's output goes to /dev/null; HOME and LUMRA_SIMULATION are the
// caller's, so the monitor read here is the one the children wrote.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "process/spawn.hpp"
#include "sim/simulator.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  int processes = 20;
  int spacingMs = 5;
  int rounds = 10;
  std::string monitor = "orvane-q27";
  std::vector<std::string> command;
};

double NanosecondsToMs(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

pid_t Spawn(const Settings& settings, int value) {
  std::vector<std::string> words = settings.command;
  words.push_back(std::to_string(value));
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = -1;
  return lumra::bench::SpawnSilenced(child, argv.data()) == 0 ? child : -1;
}

// One burst; false when a process could not be started or failed.
bool Round(const Settings& settings, int round) {
  std::map<pid_t, int> started;
  std::vector<std::int64_t> starts;
  const Clock::time_point first = Clock::now();
  for (int i = 1; i <= settings.processes; ++i) {
    std::this_thread::sleep_until(first + std::chrono::milliseconds(settings.spacingMs * (i - 1)));
    starts.push_back(Now());
    const pid_t child = Spawn(settings, i);
    if (child < 0) return false;
    started[child] = i;
  }
  std::vector<int> endOrder;
  bool succeeded = true;
  while (endOrder.size() < started.size()) {
    int status = 0;
    const pid_t child = waitpid(-1, &status, 0);
    if (child < 0) return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) succeeded = false;
    endOrder.push_back(started[child]);
  }
  const bool inOrder = std::is_sorted(endOrder.begin(), endOrder.end());

  const auto counters = lumra::sim::ReadMonitorCounters(settings.monitor);
  if (counters.Err) {
    std::fprintf(stderr, "lumra_bench_burst: %s\n", counters.Err.Message().c_str());
    return false;
  }
  std::vector<std::int64_t> writes;
  for (const std::uint64_t time : counters.Value.WriteTimes) {
    const auto at = static_cast<std::int64_t>(time);
    if (at >= starts.front()) writes.push_back(at);
  }
  if (writes.empty()) return false;
  std::printf("%d\t%d\t%.2f\t%.2f\t%.2f\n", round, inOrder ? 1 : 0,
              NanosecondsToMs(writes.back() - starts.front()),
              NanosecondsToMs(writes.back() - starts.back()),
              NanosecondsToMs(writes.back() - writes.front()));
  std::fflush(stdout);
  return succeeded;
}

bool Number(const char* text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 1000) return false;
  out = static_cast<int>(value);
  return true;
}

bool ParseArguments(int argc, char** argv, Settings& settings) {
  int i = 1;
  for (; i + 1 < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
    const char* value = argv[i + 1];
    if (std::strcmp(argv[i], "--processes") == 0) {
      if (!Number(value, settings.processes)) return false;
    } else if (std::strcmp(argv[i], "--spacing") == 0) {
      if (!Number(value, settings.spacingMs)) return false;
    } else if (std::strcmp(argv[i], "--rounds") == 0) {
      if (!Number(value, settings.rounds)) return false;
    } else if (std::strcmp(argv[i], "--monitor") == 0) {
      settings.monitor = value;
    } else {
      return false;
    }
  }
  if (i + 1 >= argc || std::strcmp(argv[i], "--") != 0) return false;
  settings.command.assign(argv + i + 1, argv + argc);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!ParseArguments(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: lumra_bench_burst [--processes N] [--spacing MS] [--rounds R] "
                 "[--monitor NAME] -- program [arguments...]\n");
    return 2;
  }
  for (int round = 1; round <= settings.rounds; ++round) {
    if (!Round(settings, round)) {
      std::fprintf(stderr, "lumra_bench_burst: round %d failed\n", round);
      return 1;
    }
    // The last process's quiet time ends before the next burst starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return 0;
}
