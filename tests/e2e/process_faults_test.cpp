// Faults of the process's surroundings rather than the monitor's: a lock holder that dies, a
// scenario that cannot be read or makes no sense, no HOME, a cache directory the user may not
// write, a lock file that is a directory. Each ends in one clear report with the right
// category and status and nothing on standard output, and no write reaches the monitor.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "e2e/child_process.hpp"
#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kLeft = "darwin:3E56:2710:00000042";
const std::string kLeftLock = "ddc-0000000000001001.lock";

struct Command {
  std::string name;
  std::vector<std::string> words;
};

const std::vector<Command>& DeviceCommands() {
  static const std::vector<Command> commands = {
      {"get", {"get", kLeft, "brightness"}},
      {"set", {"set", kLeft, "brightness", "77"}},
      {"capabilities", {"capabilities", kLeft}},
  };
  return commands;
}

std::vector<std::string> WithJSON(std::vector<std::string> words, bool json) {
  if (json) words.insert(words.begin(), "--json");
  return words;
}

// The one report a runtime failure gives, in the form the command asked for.
std::string Report(const std::string& category, const std::string& message, bool json) {
  if (!json) return "operation failed: " + message + "\n";
  return "{\"category\":\"" + category + "\",\"error\":\"operation failed: " + message +
         "\",\"kind\":\"runtime\"}\n";
}

class ProcessFaults : public LumraBinary {
 protected:
  EnvironmentChanges Environment(const std::string& scenarioPath,
                                 EnvironmentChanges extra = {}) const {
    EnvironmentChanges environment{{"HOME", home()},
                                   {"LUMRA_SIMULATION", scenarioPath},
                                   {"LC_ALL", std::nullopt},
                                   {"LANG", std::nullopt},
                                   {"LUMRA_SIM_CHECK_RELEASES", "1"}};
    for (auto& [name, value] : extra) environment[name] = value;
    return environment;
  }

  // Runs as an unprivileged user when the tests run as root, so file permissions bind; the
  // test's HOME is handed to that user.
  ProcessResult RunUnprivileged(const std::vector<std::string>& words) const {
    ChildOptions options;
    if (geteuid() == 0) {
      options.user = kNobodyUser;
      options.group = kNobodyGroup;
      for (const auto& entry : fs::recursive_directory_iterator(home())) {
        EXPECT_EQ(lchown(entry.path().c_str(), kNobodyUser, kNobodyGroup), 0) << entry.path();
      }
      EXPECT_EQ(chown(home().c_str(), kNobodyUser, kNobodyGroup), 0);
    }
    return runChild(LUMRA_BINARY, words, Environment(scenario("desk.json")), options);
  }

  // The left monitor saw no write at all and kept its brightness.
  void ExpectMonitorUntouched() const {
    const SimulatedState state(home(), scenario("desk.json"));
    EXPECT_EQ(state.Counters("left").Writes, 0u);
    EXPECT_EQ(state.Value("left", 0x10), 40);
  }

  fs::path LockDirectory() const { return cacheDirectory() / "locks"; }
};

// Polls until another process holds the exclusive lock on `path`, or until none does.
bool WaitUntilLockedElsewhere(const fs::path& path, milliseconds patience, bool held = true) {
  const auto until = Clock::now() + patience;
  while (Clock::now() < until) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      close(fd);
      if (locked == held) return true;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  return false;
}

milliseconds Elapsed(Clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - since);
}

// A process killed while it holds the endpoint lock takes the lock with it: the process that
// was waiting goes on within one 20 ms poll, plus its own exchange.
TEST_F(ProcessFaults, KilledLockHolderBlocksNobodyBeyondOnePoll) {
  const std::string slow = "darwin:3E56:6001:00000001";
  const EnvironmentChanges environment = Environment(scenario("slow.json"));
  // What an uncontended get costs from start to end, the best of three.
  milliseconds uncontended = milliseconds::max();
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    ASSERT_EQ(run({"get", slow, "brightness"}, "slow.json").status, 0);
    uncontended = std::min(uncontended, Elapsed(start));
  }

  // The last get's quiet time ends first, so the lock seen held below is the holder's.
  const fs::path lock = LockDirectory() / "ddc-0000000000003001.lock";
  ASSERT_TRUE(WaitUntilLockedElsewhere(lock, milliseconds(5000), false));
  Child holder(LUMRA_BINARY, {"capabilities", slow}, environment);
  ASSERT_TRUE(holder.Started());
  ASSERT_TRUE(WaitUntilLockedElsewhere(lock, milliseconds(5000)));
  Child waiter(LUMRA_BINARY, {"--timeout", "20s", "get", slow, "brightness"}, environment);
  ASSERT_TRUE(waiter.Started());
  std::this_thread::sleep_for(uncontended + milliseconds(200));
  ASSERT_TRUE(waiter.Running()) << "the waiter did not wait for the lock";

  const auto killed = Clock::now();
  holder.Kill(SIGKILL);
  const ProcessResult holderResult = holder.Finish();
  const ProcessResult waited = waiter.Finish();
  const milliseconds after = Elapsed(killed);

  EXPECT_EQ(holderResult.status, 128 + SIGKILL);
  EXPECT_EQ(holderResult.out, "");
  EXPECT_EQ(waited.status, 0) << waited.err;
  EXPECT_EQ(waited.out, slow + " (brightness / 0x10): 40 of 100\n");
  EXPECT_EQ(waited.err, "");
  EXPECT_LT(after, uncontended + milliseconds(20) + milliseconds(100))
      << "uncontended get: " << uncontended.count() << " ms";
  // The dead holder's lock file stays and is free.
  const ProcessResult next = run({"get", slow, "brightness"}, "slow.json");
  EXPECT_EQ(next.status, 0) << next.err;
}

struct ScenarioFault {
  std::string name;
  std::string contents;  // written to the scenario file; "<directory>" makes it a directory
  std::string problem;   // the simulator's line after the file name, up to its end or a prefix
  bool prefixOnly = false;
  bool unreadableByMode = false;  // a file without read permission
};

void PrintTo(const ScenarioFault& fault, std::ostream* os) { *os << fault.name; }

class BadScenario : public ProcessFaults, public ::testing::WithParamInterface<ScenarioFault> {};

// Enumeration fails, so every command that needs a monitor gives one report after the
// simulator's own line naming the file and the problem.
TEST_P(BadScenario, FailsEveryMonitorCommandWithOneReport) {
  const ScenarioFault& fault = GetParam();
  const fs::path file = fs::path(home()) / "scenario.json";
  if (fault.contents == "<directory>") {
    fs::create_directory(file);
  } else {
    std::ofstream(file) << fault.contents;
  }
  if (fault.unreadableByMode) fs::permissions(file, fs::perms::none);
  ChildOptions options;
  if (fault.unreadableByMode && geteuid() == 0) {
    options.user = kNobodyUser;
    options.group = kNobodyGroup;
  }
  const std::string line = "lumra simulator: scenario \"" + file.string() + "\": " + fault.problem;
  for (const bool json : {false, true}) {
    for (const Command& command : {Command{"list", {"list"}}, DeviceCommands()[0],
                                   DeviceCommands()[1], DeviceCommands()[2]}) {
      SCOPED_TRACE(command.name + (json ? " json" : " text"));
      const ProcessResult result = runChild(LUMRA_BINARY, WithJSON(command.words, json),
                                            Environment(file.string()), options);
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.out, "");
      const std::string report = Report("transport", "native display enumeration failed: -2", json);
      if (fault.prefixOnly) {
        EXPECT_TRUE(result.err.starts_with(line) && result.err.ends_with("\n" + report))
            << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
      } else {
        EXPECT_EQ(result.err, line + "\n" + report);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, BadScenario,
    ::testing::Values(
        ScenarioFault{"directory", "<directory>", "cannot read the file: Is a directory"},
        ScenarioFault{"no_read_permission", "{}", "cannot read the file: Permission denied", false,
                      true},
        ScenarioFault{"empty", "", "invalid JSON: ", true},
        ScenarioFault{"truncated", "{\"displays\": [{\"id\": 1", "invalid JSON: ", true},
        ScenarioFault{"not_an_object", "[1, 2]", "the scenario must be a JSON object"},
        ScenarioFault{"misspelt_key", "{\"display\": []}", "unknown top-level key \"display\""},
        ScenarioFault{"dangling_monitor",
                      "{\"framebuffers\": [{\"entry_id\": 1, \"path\": \"IOService:/fb\", "
                      "\"buses\": [{\"monitor\": \"gone\"}]}]}",
                      "framebuffers[0].buses[0].monitor: names no monitor \"gone\""}),
    [](const auto& info) { return info.param.name; });

struct HomeCase {
  std::string name;
  std::optional<std::string> home;  // nullopt: unset
};

void PrintTo(const HomeCase& c, std::ostream* os) { *os << c.name; }

class WithoutHome : public ProcessFaults, public ::testing::WithParamInterface<HomeCase> {};

TEST_P(WithoutHome, DeviceCommandsCannotLockButListWorks) {
  const EnvironmentChanges change{{"HOME", GetParam().home}};
  const ProcessResult listed = run({"list"}, "desk.json", change);
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.err, "");
  for (const bool json : {false, true}) {
    for (const Command& command : DeviceCommands()) {
      SCOPED_TRACE(command.name + (json ? " json" : " text"));
      const ProcessResult result = run(WithJSON(command.words, json), "desk.json", change);
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.err,
                Report("transport", "resolve user cache directory: $HOME is not defined", json));
    }
  }
  EXPECT_FALSE(fs::exists(cacheDirectory())) << "something was written without a HOME";
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, WithoutHome,
                         ::testing::Values(HomeCase{"unset", std::nullopt}, HomeCase{"empty", ""}),
                         [](const auto& info) { return info.param.name; });

struct CacheCase {
  std::string name;
  std::string readOnly;  // the directory under HOME made read-only
  std::string message;
};

void PrintTo(const CacheCase& c, std::ostream* os) { *os << c.name; }

class UnwritableCache : public ProcessFaults, public ::testing::WithParamInterface<CacheCase> {};

TEST_P(UnwritableCache, IsAPermissionFailure) {
  const CacheCase& c = GetParam();
  const fs::path readOnly = fs::path(home()) / c.readOnly;
  fs::create_directories(readOnly);
  for (const bool json : {false, true}) {
    for (const Command& command : DeviceCommands()) {
      SCOPED_TRACE(command.name + (json ? " json" : " text"));
      fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
      const ProcessResult result = RunUnprivileged(WithJSON(command.words, json));
      fs::permissions(readOnly, fs::perms::owner_all);
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.err, Report("permission", c.message, json));
    }
  }
  ExpectMonitorUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, UnwritableCache,
    ::testing::Values(
        CacheCase{"cache", "Library/Caches/lumra", "create DDC lock directory: permission denied"},
        CacheCase{"locks", "Library/Caches/lumra/locks", "open DDC lock: permission denied"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProcessFaults, LockFileReplacedByADirectory) {
  fs::create_directories(LockDirectory() / kLeftLock);
  for (const bool json : {false, true}) {
    for (const Command& command : DeviceCommands()) {
      SCOPED_TRACE(command.name + (json ? " json" : " text"));
      const ProcessResult result = run(WithJSON(command.words, json));
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.err, Report("transport", "open DDC lock: is a directory", json));
    }
  }
  ExpectMonitorUntouched();
  // The other monitor's endpoint has its own lock file and still works.
  EXPECT_EQ(run({"get", "1", "brightness"}).status, 0);
}

}  // namespace
}  // namespace lumra::testing
