#pragma once

#include <sys/file.h>

#include <cerrno>
#include <utility>

#include "support/error.hpp"
#include "support/posix/retry.hpp"

namespace lumra::support {

enum class LockKind { Shared, Exclusive };

// A flock on an open file, given up when the guard is destroyed. The guard does not own the
// descriptor, which must outlive it.
class FileLockGuard {
 public:
  FileLockGuard() = default;
  FileLockGuard(FileLockGuard&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileLockGuard& operator=(FileLockGuard&& other) noexcept {
    if (this != &other) {
      Unlock();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileLockGuard(const FileLockGuard&) = delete;
  FileLockGuard& operator=(const FileLockGuard&) = delete;
  ~FileLockGuard() { Unlock(); }

  // Waits until the lock is taken.
  [[nodiscard]] static Result<FileLockGuard> Acquire(int fd, LockKind kind) {
    return Take(fd, Operation(kind));
  }
  // Fails at once, with EWOULDBLOCK, while another open file holds a lock in the way.
  [[nodiscard]] static Result<FileLockGuard> TryAcquire(int fd, LockKind kind) {
    return Take(fd, Operation(kind) | LOCK_NB);
  }

  bool Held() const noexcept { return fd_ >= 0; }
  // Gives the lock up now; errors are ignored.
  void Unlock() noexcept {
    if (fd_ >= 0) ::flock(std::exchange(fd_, -1), LOCK_UN);
  }
  // Stops guarding without unlocking: the lock lasts until the open file is closed everywhere,
  // including in processes that share it.
  void Keep() noexcept { fd_ = -1; }

 private:
  explicit FileLockGuard(int fd) noexcept : fd_(fd) {}

  static int Operation(LockKind kind) { return kind == LockKind::Shared ? LOCK_SH : LOCK_EX; }

  static Result<FileLockGuard> Take(int fd, int operation) {
    if (RetryOnEintr([&] { return ::flock(fd, operation); }) != 0) {
      return {FileLockGuard(), Error::FromErrno(errno)};
    }
    return {FileLockGuard(fd), {}};
  }

  int fd_ = -1;
};

}  // namespace lumra::support
