// Runs one command many times and prints its wall-time median, CPU time and peak resident
// set size, as one tab-separated line (see run_stats.hpp). Used by scripts/bench.sh.
//
//   lumra_bench_process [--runs N] [--warmup N] [--expect STATUS] [--alternate WORD] [--gap MS]
//                       -- program [arguments...]
//
// --alternate puts WORD in place of the last argument on every second run, so a command that
// changes what the next run finds ("adjust 0 brightness +10" with -10) neither drifts to a
// limit nor stops writing there.
// --gap waits that long after each run, outside the timing: a lumra device command leaves a
// holder keeping the monitor for its quiet time, which the next run would otherwise wait for.
//
// The child's standard output and error go to /dev/null. The wait reports the child's own
// resource usage (wait4), so the runner's own memory never counts.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "process/run_stats.hpp"
#include "process/spawn.hpp"

namespace {

using lumra::bench::RunSample;

struct Settings {
  int runs = 20;
  int warmup = 2;
  std::optional<int> expect;
  int gapMs = 0;
  std::vector<char*> command;    // null-terminated
  std::vector<char*> alternate;  // the same with the other last argument; empty when none
};

double Milliseconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

std::optional<RunSample> RunOnce(const std::vector<char*>& command, int gapMs) {
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int spawned = lumra::bench::SpawnSilenced(child, command.data());
  if (spawned != 0) {
    std::fprintf(stderr, "lumra_bench_process: cannot run %s: %s\n", command[0],
                 std::strerror(spawned));
    return std::nullopt;
  }
  int status = 0;
  rusage usage{};
  pid_t waited = 0;
  do {
    waited = wait4(child, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  const auto end = std::chrono::steady_clock::now();
  if (waited < 0) return std::nullopt;
  std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));

  RunSample sample;
  sample.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
  sample.cpuMs = Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
#ifdef __APPLE__
  sample.peakRssKiB = usage.ru_maxrss / 1024;  // bytes there, KiB on Linux
#else
  sample.peakRssKiB = usage.ru_maxrss;
#endif
  sample.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return sample;
}

std::optional<int> Count(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 100000) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<Settings> ParseArguments(int argc, char** argv) {
  Settings settings;
  char* alternate = nullptr;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
    if (i + 1 >= argc) return std::nullopt;
    if (std::strcmp(argv[i], "--alternate") == 0) {
      alternate = argv[i + 1];
      continue;
    }
    const auto value = Count(argv[i + 1]);
    if (!value) return std::nullopt;
    if (std::strcmp(argv[i], "--runs") == 0 && *value > 0) {
      settings.runs = *value;
    } else if (std::strcmp(argv[i], "--warmup") == 0) {
      settings.warmup = *value;
    } else if (std::strcmp(argv[i], "--expect") == 0) {
      settings.expect = *value;
    } else if (std::strcmp(argv[i], "--gap") == 0) {
      settings.gapMs = *value;
    } else {
      return std::nullopt;
    }
  }
  if (i + 1 >= argc) return std::nullopt;
  settings.command.assign(argv + i + 1, argv + argc);
  settings.command.push_back(nullptr);
  if (alternate != nullptr) {
    if (settings.command.size() < 3) return std::nullopt;  // no argument to replace
    settings.alternate = settings.command;
    settings.alternate[settings.alternate.size() - 2] = alternate;
  }
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  const auto settings = ParseArguments(argc, argv);
  if (!settings) {
    std::fprintf(stderr,
                 "usage: lumra_bench_process [--runs N] [--warmup N] [--expect STATUS] "
                 "[--alternate WORD] [--gap MS] -- program [arguments...]\n");
    return 2;
  }
  int started = 0;
  const auto nextCommand = [&]() -> const std::vector<char*>& {
    const bool odd = started++ % 2 == 1;
    return odd && !settings->alternate.empty() ? settings->alternate : settings->command;
  };
  for (int i = 0; i < settings->warmup; ++i) {
    if (!RunOnce(nextCommand(), settings->gapMs)) return 1;
  }
  std::vector<RunSample> samples;
  for (int i = 0; i < settings->runs; ++i) {
    const auto sample = RunOnce(nextCommand(), settings->gapMs);
    if (!sample) return 1;
    samples.push_back(*sample);
  }
  const auto summary = lumra::bench::Summarise(samples);
  std::printf("%s\n", lumra::bench::FormatSummary(summary).c_str());
  if (!summary.statusesAgree) {
    std::fprintf(stderr, "lumra_bench_process: the runs ended with different statuses\n");
    return 1;
  }
  if (settings->expect && summary.status != *settings->expect) {
    std::fprintf(stderr, "lumra_bench_process: exit status %d, expected %d\n", summary.status,
                 *settings->expect);
    return 1;
  }
  return 0;
}
