#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/lock/endpoint_lock_holder.hpp"
#include "support/context.hpp"
#include "support/error.hpp"
#include "support/posix/file_lock.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::platform {

inline constexpr support::Duration kLockPollInterval = std::chrono::milliseconds(20);

// Keeps a locked file until a monotonic time in some other process; false when it cannot.
using QuietHandOver = bool (*)(int lockFd, std::uint64_t until);

// What the endpoint lock depends on besides the file system.
struct EndpointLockOptions {
  // Environment lookup for HOME; empty text means unset. When absent, the process environment.
  std::function<std::string(std::string_view)> Getenv;
  support::Duration PollInterval = kLockPollInterval;
  QuietHandOver HandOver = StartQuietHolder;
  // When the command was asked for (monotonic nanoseconds), which decides its place in line;
  // 0: when this process started.
  std::uint64_t AskedAt = 0;
};

// A held endpoint lock. It owns the open lock file; releasing unlocks and closes it, ignoring
// errors. Released at the latest when the value is destroyed; move-only so it is released once.
//
// The lock also carries the quiet time that the endpoint's bus owes after an exchange: whoever
// holds the lock keeps the next exchange off the bus until then. Released with quiet time still
// owed, the lock goes to a holder process that keeps it for the rest (startQuietHolder), so
// this process can end at once; when no holder can be made, this process sleeps it.
class EndpointLock {
 public:
  EndpointLock() = default;
  // `file` is the endpoint's lock file and `locked` its flock. `queueFile`, when valid, is the
  // endpoint's queue file, where the end of a handed-over quiet time is published for the
  // waiting processes.
  EndpointLock(support::UniqueFd file, support::FileLockGuard locked,
               QuietHandOver handOver = StartQuietHolder, support::UniqueFd queueFile = {})
      : file_(std::move(file)),
        locked_(std::move(locked)),
        queueFile_(std::move(queueFile)),
        handOver_(handOver) {}
  EndpointLock(EndpointLock&& other) noexcept { *this = std::move(other); }
  // Releases the lock held so far, quiet time and all, before taking over `other`'s.
  EndpointLock& operator=(EndpointLock&& other) noexcept;
  ~EndpointLock() { Release(); }

  bool Held() const { return locked_.Held(); }
  // The bus must stay quiet for `quiet` from now.
  void OweQuiet(support::Duration quiet);
  // Sleeps here until the quiet time owed so far has passed.
  void KeepQuiet();
  void Release();

 private:
  support::UniqueFd file_;
  support::FileLockGuard locked_;
  support::UniqueFd queueFile_;
  std::uint64_t quietUntil_ = 0;  // monotonic nanoseconds; 0: nothing owed
  QuietHandOver handOver_ = StartQuietHolder;
};

// The directory of the lock files, "$HOME/Library/Caches/lumra/locks"; fails when HOME is not
// defined. Not created here.
support::Result<std::string> EndpointLockDirectory(const EndpointLockOptions& options);

// Takes the exclusive lock on the endpoint's lock file, creating the file and its directories
// as needed. While another process holds it, waits in line behind the processes that asked
// before (endpoint_lock_queue.hpp), polling until the context ends. On failure nothing stays
// open and this process's place in line is given up; the context's error comes back unchanged.
[[nodiscard]] support::Result<EndpointLock> LockEndpoint(const support::Context& ctx,
                                                         std::uint64_t endpointID,
                                                         const EndpointLockOptions& options = {});

}  // namespace lumra::platform
