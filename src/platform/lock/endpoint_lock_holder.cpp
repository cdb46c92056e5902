#include "platform/lock/endpoint_lock_holder.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/lock/endpoint_lock_files.hpp"
#include "support/no_destructor.hpp"
#include "support/posix/retry.hpp"
#include "support/posix/unique_fd.hpp"

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

// One locked file a holder keeps, and until when.
struct QuietHold {
  int LockFd;
  std::uint64_t Until;
};

// The holder's whole life: it keeps each lock until its time, earliest first. Only
// async-signal-safe calls: close, clock_gettime, select, _exit.
[[noreturn]] void HoldQuietly(const std::vector<QuietHold>& holds,
                              const std::vector<int>& descriptors) {
  for (const int fd : descriptors) {
    const bool kept = std::any_of(holds.begin(), holds.end(),
                                  [fd](const QuietHold& hold) { return hold.LockFd == fd; });
    if (!kept) ::close(fd);
  }
  for (const QuietHold& hold : holds) {
    SleepUntilMonotonic(hold.Until);
    // The last descriptor of the locked file: closing it lets the lock go.
    ::close(hold.LockFd);
  }
  ::_exit(0);
}

// The first child of the double fork: starts the holder and ends at once.
[[noreturn]] void HoldFromIntermediate(const std::vector<QuietHold>& holds,
                                       const std::vector<int>& descriptors) {
  const pid_t holder = ::fork();
  if (holder == 0) HoldQuietly(holds, descriptors);
  ::_exit(holder > 0 ? 0 : 1);
}

// Forks a child that runs `hold`; the child's pid, or -1. `holds` is sorted by time.
pid_t ForkHolder(const std::vector<QuietHold>& holds,
                 void (*hold)(const std::vector<QuietHold>&, const std::vector<int>&)) {
  const LockFilesSettled settled;
  const std::vector<int> descriptors = OpenDescriptors();
  const pid_t child = ::fork();
  if (child == 0) hold(holds, descriptors);
  return child;
}

// The locks DeferQuietHolder keeps, and how many threads are waiting for a lock.
struct DeferredHolds {
  std::mutex Mutex;
  std::vector<std::pair<support::UniqueFd, std::uint64_t>> Kept;
  int Waiting = 0;
};

DeferredHolds& Deferred() {
  // Never destroyed: the exit handler that starts the holder may run after static destructors.
  static support::NoDestructor<DeferredHolds> deferred;
  return *deferred;
}

// Starts one holder for the locks kept so far, with `deferred.Mutex` held. Those whose quiet
// time is over are simply closed.
void StartHolderForKeptLocks(DeferredHolds& deferred) {
  std::vector<QuietHold> holds;
  const std::uint64_t now = MonotonicNanoseconds();
  for (const auto& [file, until] : deferred.Kept) {
    if (until > now) holds.push_back({file.Get(), until});
  }
  std::sort(holds.begin(), holds.end(),
            [](const QuietHold& a, const QuietHold& b) { return a.Until < b.Until; });
  if (!holds.empty() && ForkHolder(holds, HoldQuietly) < 0) {
    // No holder: the quiet time is kept here, as a lock that cannot be handed over is.
    for (const QuietHold& hold : holds) SleepUntilMonotonic(hold.Until);
  }
  deferred.Kept.clear();
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
  const pid_t intermediate = ForkHolder({{lockFd, until}}, HoldFromIntermediate);
  if (intermediate < 0) return false;
  int status = 0;
  const pid_t waited = support::RetryOnEintr([&] { return ::waitpid(intermediate, &status, 0); });
  return waited == intermediate && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool StartQuietHolderAsChild(int lockFd, std::uint64_t until) {
  return ForkHolder({{lockFd, until}}, HoldQuietly) >= 0;
}

bool DeferQuietHolder(int lockFd, std::uint64_t until) {
  // Exit runs its handlers and static destructors in reverse order of their making: this one
  // runs once whatever the process set up since its first release has been torn down.
  static const bool kStartsAtExit = std::atexit(StartDeferredQuietHolders) == 0;
  if (!kStartsAtExit) return StartQuietHolderAsChild(lockFd, until);
  DeferredHolds& deferred = Deferred();
  const std::lock_guard guard(deferred.Mutex);
  // A process that kept a lock while one of its threads waits for another could wait for a
  // process that waits for it.
  if (deferred.Waiting > 0) return StartQuietHolderAsChild(lockFd, until);
  const int kept = ::fcntl(lockFd, F_DUPFD_CLOEXEC, 0);
  if (kept < 0) return StartQuietHolderAsChild(lockFd, until);
  deferred.Kept.emplace_back(support::UniqueFd(kept), until);
  return true;
}

void StartDeferredQuietHolders() {
  DeferredHolds& deferred = Deferred();
  const std::lock_guard guard(deferred.Mutex);
  StartHolderForKeptLocks(deferred);
}

WaitingForALock::WaitingForALock() {
  DeferredHolds& deferred = Deferred();
  const std::lock_guard guard(deferred.Mutex);
  ++deferred.Waiting;
  StartHolderForKeptLocks(deferred);
}

WaitingForALock::~WaitingForALock() {
  DeferredHolds& deferred = Deferred();
  const std::lock_guard guard(deferred.Mutex);
  --deferred.Waiting;
}

}  // namespace lumra::platform
