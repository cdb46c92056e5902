#include "platform/lock/endpoint_lock.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ddc/errors.hpp"
#include "platform/temp_home.hpp"

namespace lumra::platform {
namespace {

using namespace std::chrono_literals;
using testing::lockableElsewhere;
using testing::TempHome;

int permissions(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

class EndpointLockTest : public ::testing::Test {
 protected:
  void SetUp() override { ::umask(022); }
  std::string lockFile(const char* name) const { return home.locks() + "/" + name; }

  TempHome home;
  support::Context ctx;
};

TEST_F(EndpointLockTest, FileNamesAndModes) {
  const struct {
    std::uint64_t endpoint;
    const char* file;
  } cases[] = {
      {0x1, "ddc-0000000000000001.lock"},
      {0xABCDEF, "ddc-0000000000abcdef.lock"},
      {0xFEDCBA9876543210, "ddc-fedcba9876543210.lock"},
  };
  for (const auto& c : cases) {
    auto held = LockEndpoint(ctx, c.endpoint, home.lockOptions());
    ASSERT_FALSE(held.Err) << held.Err.Message();
    EXPECT_TRUE(held.Value.Held());
    EXPECT_EQ(permissions(lockFile(c.file)), 0600) << c.file;
    EXPECT_FALSE(lockableElsewhere(lockFile(c.file))) << c.file;
  }
  for (const char* dir : {"/Library", "/Library/Caches/lumra", "/Library/Caches/lumra/locks"}) {
    EXPECT_EQ(permissions(home.path() + dir), 0700) << dir;
  }
}

TEST_F(EndpointLockTest, ExistingDirectoriesAndFileAreLeftAsTheyAre) {
  std::filesystem::create_directories(home.locks());
  ::chmod((home.path() + "/Library").c_str(), 0755);
  const std::string path = lockFile("ddc-0000000000000007.lock");
  std::ofstream(path) << "keep me";
  ::chmod(path.c_str(), 0644);
  { ASSERT_FALSE(LockEndpoint(ctx, 7, home.lockOptions()).Err); }
  EXPECT_EQ(permissions(home.path() + "/Library"), 0755);
  EXPECT_EQ(permissions(path), 0644);
  std::stringstream content;
  content << std::ifstream(path).rdbuf();
  EXPECT_EQ(content.str(), "keep me");
}

TEST_F(EndpointLockTest, ReleaseAndMove) {
  auto held = LockEndpoint(ctx, 1, home.lockOptions());
  ASSERT_FALSE(held.Err);
  const std::string path = lockFile("ddc-0000000000000001.lock");
  EXPECT_FALSE(LockEndpoint(ctx, 2, home.lockOptions()).Err) << "other endpoints are free";

  EndpointLock moved = std::move(held.Value);
  EXPECT_FALSE(held.Value.Held());
  EXPECT_FALSE(lockableElsewhere(path));
  moved.Release();
  EXPECT_FALSE(moved.Held());
  EXPECT_TRUE(lockableElsewhere(path));
}

TEST_F(EndpointLockTest, ContextAndContention) {
  const std::string path = lockFile("ddc-0000000000000003.lock");
  auto [ended, cancel] = support::Context::WithCancel(ctx);
  cancel.Cancel();
  auto free = LockEndpoint(ended, 3, home.lockOptions());
  ASSERT_FALSE(free.Err) << "an ended context still takes a free lock";

  auto [timed, handle] = support::Context::WithTimeout(ctx, 60ms);
  const auto start = support::Clock::now();
  auto got = LockEndpoint(timed, 3, home.lockOptions());
  EXPECT_GE(support::Clock::now() - start, 60ms);
  EXPECT_TRUE(got.Err.SameAs(support::ErrDeadlineExceeded())) << got.Err.Message();
  EXPECT_FALSE(got.Value.Held());
  free.Value.Release();
  EXPECT_TRUE(lockableElsewhere(path)) << "the lock file stays in place";
}

TEST(EndpointLockSetupTest, Failures) {
  const struct {
    const char* name;
    std::function<void(const std::string& home)> prepare;
    const char* want;
  } cases[] = {
      {"empty HOME", nullptr, "resolve user cache directory: $HOME is not defined"},
      {"a file in the way", [](const std::string& h) { std::ofstream(h + "/Library") << "x"; },
       "create DDC lock directory: not a directory"},
      {"a directory in place of the lock file",
       [](const std::string& h) {
         std::filesystem::create_directories(h +
                                             "/Library/Caches/lumra/locks/"
                                             "ddc-0000000000000005.lock");
       },
       "open DDC lock: is a directory"},
  };
  for (const auto& c : cases) {
    TempHome home;
    EndpointLockOptions options = home.lockOptions();
    if (c.prepare) c.prepare(home.path());
    if (!c.prepare) options.Getenv = [](std::string_view) { return std::string(); };
    auto got = LockEndpoint(support::Context(), 5, options);
    EXPECT_EQ(got.Err.Message(), c.want) << c.name;
    EXPECT_EQ(ddc::ClassifyError(got.Err), "transport") << c.name;
    if (!c.prepare) {
      EXPECT_FALSE(std::filesystem::exists(home.path() + "/Library"));
    }
  }
}

TEST_F(EndpointLockTest, UnwritableDirectoryIsAPermissionFailure) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
  ASSERT_EQ(::chmod(home.path().c_str(), 0500), 0);
  auto got = LockEndpoint(ctx, 6, home.lockOptions());
  ::chmod(home.path().c_str(), 0700);
  EXPECT_EQ(got.Err.Message(), "create DDC lock directory: permission denied");
  EXPECT_EQ(ddc::ClassifyError(got.Err), "permission");
}

// A child process holds the lock; the waiting parent gets it within one poll of the release,
// which also shows that the default poll interval is short (20 ms, checked with slack).
TEST_F(EndpointLockTest, FollowsAnotherProcessRelease) {
  { ASSERT_FALSE(LockEndpoint(ctx, 8, home.lockOptions()).Err); }
  const std::string path = lockFile("ddc-0000000000000008.lock");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(path.c_str(), O_RDWR);
    const char locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'L' : 'F';
    if (::write(pipeFds[1], &locked, 1) != 1) ::_exit(1);
    ::usleep(150'000);
    const auto released = support::Clock::now().time_since_epoch().count();
    ::close(fd);
    if (::write(pipeFds[1], &released, sizeof released) != sizeof released) ::_exit(1);
    ::_exit(0);
  }
  char locked = 0;
  ASSERT_EQ(::read(pipeFds[0], &locked, 1), 1);
  ASSERT_EQ(locked, 'L');
  auto got = LockEndpoint(ctx, 8, home.lockOptions());
  const auto acquired = support::Clock::now();
  support::Duration::rep released = 0;
  const auto readBytes = ::read(pipeFds[0], &released, sizeof released);
  ::waitpid(child, nullptr, 0);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  ASSERT_FALSE(got.Err) << got.Err.Message();
  ASSERT_EQ(readBytes, static_cast<ssize_t>(sizeof released));
  const auto latency = acquired - support::Clock::time_point(support::Duration(released));
  EXPECT_GE(latency, 0ms);
  EXPECT_LT(latency, 45ms);
}

}  // namespace
}  // namespace lumra::platform
