// The POSIX toolkit's edge cases: descriptor ownership across moves, interrupted calls, and an
// atomic replace that fails part of the way.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/posix/replace_file.hpp"
#include "support/posix/retry.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::support {
namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(UniqueFdTest, OneOwnerAcrossMoves) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[1]);
  const int fd = fds[0];
  {
    UniqueFd first(fd);
    UniqueFd second(std::move(first));
    UniqueFd third;
    third = std::move(second);
    EXPECT_FALSE(first.Valid());
    EXPECT_FALSE(second.Valid());
    EXPECT_EQ(third.Get(), fd);
    UniqueFd& alias = third;
    third = std::move(alias);
    EXPECT_EQ(third.Get(), fd) << "moved onto itself";
    EXPECT_TRUE(isOpen(fd));
  }
  EXPECT_FALSE(isOpen(fd)) << "the last owner closes it once";

  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[1]);
  {
    UniqueFd owner(fds[0]);
    EXPECT_EQ(owner.Release(), fds[0]);
    EXPECT_FALSE(owner.Valid());
  }
  EXPECT_TRUE(isOpen(fds[0])) << "released, not closed";
  ::close(fds[0]);
}

TEST(RetryOnEintrTest, OnlyAnInterruptionIsRetried) {
  const struct {
    const char* name;
    int failuresBeforeSuccess;
    int failureErrno;
    int wantCalls;
    int wantResult;
  } cases[] = {
      {"succeeds at once", 0, EINTR, 1, 7},
      {"interrupted twice", 2, EINTR, 3, 7},
      {"another error", 1, EBADF, 1, -1},
  };
  for (const auto& c : cases) {
    int calls = 0;
    const int result = RetryOnEintr([&] {
      if (calls++ < c.failuresBeforeSuccess) {
        errno = c.failureErrno;
        return -1;
      }
      return 7;
    });
    EXPECT_EQ(calls, c.wantCalls) << c.name;
    EXPECT_EQ(result, c.wantResult) << c.name;
  }
}

std::string contentOf(const std::filesystem::path& path) {
  std::stringstream content;
  content << std::ifstream(path).rdbuf();
  return content.str();
}

// A replace that fails leaves the old file as it was and no temporary file beside it. Each
// replace runs in a child process, which may limit its own file size.
TEST(ReplaceFileTest, AFailureLeavesTheOldFile) {
  const struct {
    const char* name;
    const char* target;
    rlim_t fileSizeLimit;
  } cases[] = {
      {"the write stops part of the way", "state", 4},
      {"the rename fails: a directory in the way", "sub", RLIM_INFINITY},
  };
  for (const auto& c : cases) {
    const auto directory = std::filesystem::temp_directory_path() /
                           ("lumra-replace-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory / "sub" / "kept");
    std::ofstream(directory / "state") << "old";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{c.fileSizeLimit, c.fileSizeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
      const Error err =
          ReplaceFile((directory / c.target).string(), "new text, over 4 bytes", 0644);
      ::_exit(err ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name << ": it failed";
    EXPECT_EQ(contentOf(directory / "state"), "old") << c.name;
    EXPECT_TRUE(std::filesystem::exists(directory / "sub" / "kept")) << c.name;
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      entries += entry.path().filename() != "state" && entry.path().filename() != "sub";
    }
    EXPECT_EQ(entries, 0u) << c.name << ": a temporary file was left";
    std::filesystem::remove_all(directory);
  }
}

}  // namespace
}  // namespace lumra::support
