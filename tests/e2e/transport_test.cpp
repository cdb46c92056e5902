#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"
#include "sim/simulator.hpp"
#include "support/format.hpp"
#include "support/sha256.hpp"

namespace lumra::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

unsigned permissions(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

std::string pathID(const std::string& location) {
  const auto digest = support::Sha256(location);
  return "darwin:path:" +
         support::Format("%x", std::vector<std::uint8_t>(digest.begin(), digest.begin() + 6));
}

std::string twinLocation(int unit) {
  return support::Format("IOService:/sim/gpu@0/fb@%d/display0/AppleDisplay", unit);
}

TEST_F(LumraBinary, AmbiguousMonitorsAreNamedByTheirLocation) {
  const std::string expected =
      "INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR\n"
      "0\t" +
      pathID(twinLocation(1)) +
      "\tTwin\tioframebuffer\t2560x1440@59.951\t-\n"
      "1\t" +
      pathID(twinLocation(2)) +
      "\tTwin\tioframebuffer\t2560x1440@59.951\t-\n"
      "2\t" +
      pathID(twinLocation(3)) + "\tNo Serial\tioframebuffer\t2560x1440@59.951\t-\n";
  const ProcessResult first = run({"list"}, "twins.json");
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, expected);
  // The same scenario gives the same identifiers in every run, and each reaches its own twin.
  EXPECT_EQ(run({"list"}, "twins.json").out, expected);
  ASSERT_EQ(run({"set", pathID(twinLocation(2)), "brightness", "9"}, "twins.json").status, 0);
  EXPECT_EQ(run({"get", "1", "brightness"}, "twins.json").out,
            pathID(twinLocation(2)) + " (brightness / 0x10): 9 of 100\n");
  EXPECT_EQ(run({"get", "0", "brightness"}, "twins.json").out,
            pathID(twinLocation(1)) + " (brightness / 0x10): 40 of 100\n");
}

struct FaultCase {
  std::string name;
  std::string monitor;
  std::vector<std::string> words;
  int status;
  std::string err;
  std::uint64_t writes;  // exchanges that reached the monitor
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class Faults : public LumraBinary, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, AreReportedAfterTheRightNumberOfAttempts) {
  const FaultCase& c = GetParam();
  const ProcessResult result = run(c.words, "faults.json");
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.err, c.err);
  if (c.status != 0) {
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(SimulatedState(home(), scenario("faults.json")).Counters(c.monitor).Writes, c.writes);
}

const std::string kOK = "";

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, Faults,
    ::testing::Values(
        FaultCase{"busy_twice_then_success", "busy-twice", {"get", "0", "brightness"}, 0, kOK, 3},
        FaultCase{"checksum_three_times",
                  "bad-checksum",
                  {"--json", "get", "1", "brightness"},
                  1,
                  "{\"category\":\"protocol\",\"error\":\"operation failed: DDC/CI failed after 3 "
                  "attempts: DDC/CI checksum mismatch\",\"kind\":\"runtime\"}\n",
                  3},
        FaultCase{
            "no_device_at_once",
            "gone",
            {"--json", "set", "2", "brightness", "5"},
            1,
            "{\"category\":\"not-found-or-hotplug\",\"error\":\"operation failed: monitor not "
            "found: IOKit DDC/CI transaction failed: 0xE00002C0 (stage=IOFramebuffer, "
            "write_cycle=0, chip=0x37, command=0x03)\",\"kind\":\"runtime\"}\n",
            1},
        FaultCase{
            "not_privileged_is_permission",
            "locked",
            {"--json", "caps", "3"},
            1,
            "{\"category\":\"permission\",\"error\":\"operation failed: permission denied: "
            "IOKit DDC/CI transaction failed: 0xE00002C1 (stage=IOFramebuffer, write_cycle=0, "
            "chip=0x37, command=0xF3)\",\"kind\":\"runtime\"}\n",
            1},
        FaultCase{
            "unsupported_code",
            "offset",
            {"--json", "get", "4", "sharpness"},
            1,
            "{\"category\":\"unsupported\",\"error\":\"operation failed: DDC/CI VCP feature is "
            "unsupported\",\"kind\":\"runtime\"}\n",
            1},
        // The first fragment comes back with the wrong offset once, is asked again, and the
        // string of 106 bytes then takes four fragments and the empty one.
        FaultCase{"offset_mismatch_retried", "offset", {"capabilities", "4"}, 0, kOK, 6}),
    [](const auto& info) { return info.param.name; });

TEST_F(LumraBinary, AFragmentFailingEveryAttemptFailsTheString) {
  const ProcessResult result = run({"caps", "1"}, "faults.json");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "operation failed: DDC/CI failed after 3 attempts: DDC/CI checksum mismatch\n");
}

// Holds a monitor's endpoint lock from this process, as another lumra process would.
class HeldEndpoint {
 public:
  HeldEndpoint(const fs::path& cache, std::uint64_t endpoint) {
    const fs::path locks = cache / "locks";
    fs::create_directories(locks);
    path_ = locks / support::Format("ddc-%016x.lock", endpoint);
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT, 0600);
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0);
  }
  ~HeldEndpoint() { close(fd_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  int fd_ = -1;
};

TEST_F(LumraBinary, DeadlineWhileAnotherProcessHoldsTheEndpoint) {
  const HeldEndpoint held(cacheDirectory(), 0x1001);
  // What starting a process costs here, so the bound below is about the wait alone.
  const auto baselineStart = Clock::now();
  run({"features"});
  const auto startup = Clock::now() - baselineStart;
  const auto start = Clock::now();
  const ProcessResult result = run({"--json", "--timeout", "100ms", "get", "0", "brightness"});
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "{\"category\":\"timeout\",\"error\":\"operation failed: context deadline exceeded\","
            "\"kind\":\"runtime\"}\n");
  // The deadline, at most one 20 ms poll, the start of a process, and scheduling slack.
  EXPECT_LT(elapsed, std::chrono::milliseconds(100 + 20 + 80) + 2 * startup);
  EXPECT_TRUE(fs::exists(held.path()));
  // The other endpoint is not held, so the second monitor answers at once.
  EXPECT_EQ(run({"--timeout", "100ms", "get", "1", "brightness"}).status, 0);
}

TEST_F(LumraBinary, ConcurrentProcessesTakeTurns) {
  constexpr int kProcesses = 8;
  std::vector<ProcessResult> results(kProcesses * 2);
  std::vector<std::thread> workers;
  for (int p = 0; p < kProcesses; ++p) {
    workers.emplace_back([&, p] {
      results[2 * p] = run({"set", "0", "brightness", std::to_string(10 + p)});
      results[2 * p + 1] = run({"get", "0", "brightness"});
    });
  }
  for (std::thread& worker : workers) worker.join();

  std::set<std::string> written;
  for (int p = 0; p < kProcesses; ++p) written.insert(std::to_string(10 + p));
  for (const ProcessResult& result : results) {
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
  }
  const ProcessResult last = run({"--json", "get", "0", "brightness"});
  ASSERT_EQ(last.status, 0) << last.err;
  const std::size_t at = last.out.find("\"current\":");
  ASSERT_NE(at, std::string::npos);
  const std::string value = last.out.substr(at + 10, last.out.find(',', at) - at - 10);
  EXPECT_EQ(written.count(value), 1u) << value;

  const fs::path lockFile = cacheDirectory() / "locks" / "ddc-0000000000001001.lock";
  EXPECT_TRUE(fs::exists(lockFile));
  EXPECT_EQ(permissions(lockFile), 0600u);
}

TEST_F(LumraBinary, LockFilesAndDirectories) {
  ASSERT_EQ(run({"get", "1", "brightness"}).status, 0);
  EXPECT_EQ(permissions(cacheDirectory()), 0700u);
  EXPECT_EQ(permissions(cacheDirectory() / "locks"), 0700u);
  EXPECT_EQ(permissions(cacheDirectory() / "locks" / "ddc-0000000000001002.lock"), 0600u);
  EXPECT_EQ(fs::file_size(cacheDirectory() / "locks" / "ddc-0000000000001002.lock"), 0u);
}

TEST_F(LumraBinary, EmptyHomeCannotLock) {
  const ProcessResult result =
      run({"--json", "get", "0", "brightness"}, "desk.json", {{"HOME", ""}});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.err,
      "{\"category\":\"transport\",\"error\":\"operation failed: resolve user cache directory: "
      "$HOME is not defined\",\"kind\":\"runtime\"}\n");
}

TEST_F(LumraBinary, UnwritableCacheDirectoryIsAPermissionFailure) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind for root";
  fs::create_directories(cacheDirectory());
  fs::permissions(cacheDirectory(), fs::perms::owner_read | fs::perms::owner_exec);
  const ProcessResult result = run({"--json", "get", "0", "brightness"});
  fs::permissions(cacheDirectory(), fs::perms::owner_all);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "{\"category\":\"permission\",\"error\":\"operation failed: create DDC lock directory: "
            "permission denied\",\"kind\":\"runtime\"}\n");
}

}  // namespace
}  // namespace lumra::testing
