// The line of processes waiting for one endpoint, so that they take its lock in the order they
// asked for it: by the time their commands started, not the time they got round to the lock,
// which depends on how fast each enumerated the monitors. It lives beside the lock file
// "ddc-<endpoint>.lock" in the locks directory:
//
// - "ddc-<endpoint>.queue": its exclusive flock, held for microseconds, makes joining the line
//   and clearing dead places one step each. Its content is a hint: until when (the monotonic
//   clock in nanoseconds, 20 decimal digits and a line feed) a holder keeps the lock for the
//   quiet time of the last command.
// - "ddc-<endpoint>.<place>.ticket", <place> the time the command was asked for (monotonic
//   nanoseconds, 16 hexadecimal digits; one more when taken): one per waiting process, which
//   holds an exclusive flock on it while it waits and removes it when it leaves.
//   A ticket whose flock is free belongs to a process that died; the next process that looks
//   removes it.
//
// The process at the front polls the lock file as every version does, so one that knows only
// the lock file still excludes the others; it may overtake the line, nothing worse.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "support/context.hpp"
#include "support/posix/file_lock.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::platform {

class EndpointQueue {
 public:
  // No line: the caller polls the lock file alone.
  EndpointQueue() = default;
  // The moved-from value has no place in line.
  EndpointQueue(EndpointQueue&&) noexcept = default;
  EndpointQueue& operator=(EndpointQueue&&) = delete;
  ~EndpointQueue() { Leave(); }

  // Takes the place of a command asked for at `askedAt` (monotonic nanoseconds): behind those
  // asked for earlier, ahead of those asked for later. When the line's files cannot be made (a
  // read-only directory, an ended context while another process holds the queue file) there is
  // no line.
  static EndpointQueue Join(const support::Context& ctx, const std::string& directory,
                            std::uint64_t endpointID, std::uint64_t askedAt);

  // True when no live process joined before this one, or there is no line; removes the tickets
  // of dead processes on the way.
  bool AtFront(const support::Context& ctx);
  // How long to wait before looking again: `poll`, or at the front, when a holder keeps the lock
  // for less than that, until just after its end.
  support::Duration NextLook(bool front, support::Duration poll) const;
  // Gives up the place; the ticket is removed.
  void Leave();
  // The queue file for publishing a quiet time; empty without a line.
  support::UniqueFd TakeQueueFile() { return std::move(queueFile_); }

 private:
  support::UniqueFd queueFile_;
  support::UniqueFd ticket_;
  support::FileLockGuard ticketLocked_;
  std::string directory_;
  std::string prefix_;  // "ddc-<endpoint>."
  std::uint64_t place_ = 0;
};

// Tells the processes waiting for the endpoint of `queueFd` that its lock is kept until
// `until` (monotonic nanoseconds). Errors are ignored: the hint only saves polls.
void PublishQuietUntil(int queueFd, std::uint64_t until);

}  // namespace lumra::platform
