#include "platform/lock/endpoint_lock_holder.hpp"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/lock/endpoint_lock_files.hpp"
#include "support/posix/retry.hpp"

namespace lumra::platform {

namespace {

constexpr std::uint64_t kNanosecondsPerSecond = 1'000'000'000;
// Where the open descriptors cannot be listed, those below this (or the process's lower limit)
// are closed one by one.
constexpr rlim_t kHighestDescriptorClosed = 65536;

// The descriptors open now. They are listed before the fork because the holder, a child of a
// process that may have used CoreFoundation, must not allocate or read directories.
std::vector<int> OpenDescriptors() {
  std::vector<int> descriptors;
  // The listing's own descriptor is among them; it is closed by the time the holder closes it.
  if (DIR* directory = ::opendir("/dev/fd")) {
    while (const dirent* entry = ::readdir(directory)) {
      char* end = nullptr;
      const long fd = std::strtol(entry->d_name, &end, 10);
      if (end != entry->d_name && *end == '\0') descriptors.push_back(static_cast<int>(fd));
    }
    ::closedir(directory);
    return descriptors;
  }
  rlimit limit{};
  rlim_t highest = kHighestDescriptorClosed;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < highest) highest = limit.rlim_cur;
  for (rlim_t fd = 0; fd < highest; ++fd) descriptors.push_back(static_cast<int>(fd));
  return descriptors;
}

// The holder's whole life. Only async-signal-safe calls: close, clock_gettime, select, _exit.
[[noreturn]] void HoldQuietly(int lockFd, std::uint64_t until,
                              const std::vector<int>& descriptors) {
  for (const int fd : descriptors) {
    if (fd != lockFd) ::close(fd);
  }
  SleepUntilMonotonic(until);
  // The last descriptor of the locked file: closing it lets the lock go.
  ::close(lockFd);
  ::_exit(0);
}

// The first child of the double fork: starts the holder and ends at once.
[[noreturn]] void HoldFromIntermediate(int lockFd, std::uint64_t until,
                                       const std::vector<int>& descriptors) {
  const pid_t holder = ::fork();
  if (holder == 0) HoldQuietly(lockFd, until, descriptors);
  ::_exit(holder > 0 ? 0 : 1);
}

// Forks a child that runs `hold`; the child's pid, or -1.
pid_t ForkHolder(int lockFd, std::uint64_t until,
                 void (*hold)(int, std::uint64_t, const std::vector<int>&)) {
  const LockFilesSettled settled;
  const std::vector<int> descriptors = OpenDescriptors();
  const pid_t child = ::fork();
  if (child == 0) hold(lockFd, until, descriptors);
  return child;
}

}  // namespace

std::uint64_t MonotonicNanoseconds() noexcept {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * kNanosecondsPerSecond +
         static_cast<std::uint64_t>(now.tv_nsec);
}

void SleepUntilMonotonic(std::uint64_t until) noexcept {
  for (std::uint64_t now = MonotonicNanoseconds(); now < until; now = MonotonicNanoseconds()) {
    // Rounded up: waking early would only mean another round.
    const std::uint64_t microseconds = (until - now + 999) / 1000;
    timeval pause{};
    pause.tv_sec = static_cast<time_t>(microseconds / 1'000'000);
    pause.tv_usec = static_cast<suseconds_t>(microseconds % 1'000'000);
    ::select(0, nullptr, nullptr, nullptr, &pause);
  }
}

bool StartQuietHolder(int lockFd, std::uint64_t until) {
  const pid_t intermediate = ForkHolder(lockFd, until, HoldFromIntermediate);
  if (intermediate < 0) return false;
  int status = 0;
  const pid_t waited = support::RetryOnEintr([&] { return ::waitpid(intermediate, &status, 0); });
  return waited == intermediate && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool StartQuietHolderAsChild(int lockFd, std::uint64_t until) {
  return ForkHolder(lockFd, until, HoldQuietly) >= 0;
}

}  // namespace lumra::platform
