#include "platform/lock/endpoint_lock_holder.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "platform/lock/endpoint_lock_files.hpp"
#include "support/posix/retry.hpp"

namespace lumra::platform {

namespace {

// A locked file's descriptor, and the monotonic time its quiet time ends.
struct HeldLock {
  int Fd;
  std::uint64_t Until;
};

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
// `locks` come in the order of their quiet times' ends.
[[noreturn]] void HoldQuietly(std::span<const HeldLock> locks,
                              const std::vector<int>& descriptors) {
  for (const int fd : descriptors) {
    if (std::none_of(locks.begin(), locks.end(),
                     [fd](const HeldLock& lock) { return lock.Fd == fd; }))
      ::close(fd);
  }
  for (const HeldLock& lock : locks) {
    SleepUntilMonotonic(lock.Until);
    // The last descriptor of the locked file: closing it lets the lock go.
    ::close(lock.Fd);
  }
  ::_exit(0);
}

// The first child of the double fork: starts the holder and ends at once.
[[noreturn]] void HoldFromIntermediate(std::span<const HeldLock> locks,
                                       const std::vector<int>& descriptors) {
  const pid_t holder = ::fork();
  if (holder == 0) HoldQuietly(locks, descriptors);
  ::_exit(holder > 0 ? 0 : 1);
}

// Forks a child that runs `hold`; the child's pid, or -1.
pid_t ForkHolder(std::span<const HeldLock> locks,
                 void (*hold)(std::span<const HeldLock>, const std::vector<int>&)) {
  const LockFilesSettled settled;
  const std::vector<int> descriptors = OpenDescriptors();
  const pid_t child = ::fork();
  if (child == 0) hold(locks, descriptors);
  return child;
}

// The locks handed over to the holder that starts at exit. Never destroyed: it is read by an
// exit handler, after the destructors of statics made later have run.
struct LocksHeldAtExit {
  std::mutex Mutex;
  std::vector<HeldLock> Locks;
};

LocksHeldAtExit& HeldAtExit() {
  static auto* const kHeld = new LocksHeldAtExit;
  return *kHeld;
}

// Both descriptors are of one file.
bool SameFile(int left, int right) {
  struct stat a {};
  struct stat b {};
  return ::fstat(left, &a) == 0 && ::fstat(right, &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

void KeepUntilExit(const HeldLock& lock) {
  LocksHeldAtExit& held = HeldAtExit();
  const std::lock_guard guard(held.Mutex);
  held.Locks.push_back(lock);
}

// Takes out of the list the lock handed over on the file of `lockFd`, if any.
std::optional<HeldLock> TakeHandedOver(int lockFd) {
  LocksHeldAtExit& held = HeldAtExit();
  const std::lock_guard guard(held.Mutex);
  const auto found =
      std::find_if(held.Locks.begin(), held.Locks.end(),
                   [lockFd](const HeldLock& lock) { return SameFile(lock.Fd, lockFd); });
  if (found == held.Locks.end()) return std::nullopt;
  const HeldLock lock = *found;
  held.Locks.erase(found);
  return lock;
}

void StartHolderOfHandedOverLocks() {
  LocksHeldAtExit& held = HeldAtExit();
  const std::lock_guard guard(held.Mutex);
  if (held.Locks.empty()) return;
  std::sort(held.Locks.begin(), held.Locks.end(),
            [](const HeldLock& a, const HeldLock& b) { return a.Until < b.Until; });
  // Should no process start, the locks go as this process ends: too soon, but never stuck.
  ForkHolder(held.Locks, HoldQuietly);
  // The holder has its own descriptors; these are let go before any later exit handler looks.
  for (const HeldLock& lock : held.Locks) ::close(lock.Fd);
  held.Locks.clear();
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
  const HeldLock lock{lockFd, until};
  const pid_t intermediate = ForkHolder({&lock, 1}, HoldFromIntermediate);
  if (intermediate < 0) return false;
  int status = 0;
  const pid_t waited = support::RetryOnEintr([&] { return ::waitpid(intermediate, &status, 0); });
  return waited == intermediate && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void StartQuietHoldersAtExit() {
  HeldAtExit();
  // Makes the lock files' gate now, so that it outlives the handler, which forks under it.
  { const LockFilesSettled settled; }
  std::atexit(StartHolderOfHandedOverLocks);
}

bool HandOverAtExit(int lockFd, std::uint64_t until) {
  const int kept = ::fcntl(lockFd, F_DUPFD_CLOEXEC, 0);
  if (kept < 0) return false;
  KeepUntilExit({kept, until});
  return true;
}

support::Error SettleHandedOver(const support::Context& ctx, int lockFd) {
  const std::optional<HeldLock> handed = TakeHandedOver(lockFd);
  if (!handed) return {};
  const std::uint64_t now = MonotonicNanoseconds();
  if (handed->Until > now) {
    if (support::Error ended = ctx.Wait(std::chrono::nanoseconds(handed->Until - now))) {
      KeepUntilExit(*handed);
      return ended;
    }
  }
  ::close(handed->Fd);
  return {};
}

}  // namespace lumra::platform
