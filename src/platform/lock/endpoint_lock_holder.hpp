// The quiet time after a command, kept by a process of its own so that the command itself can
// end as soon as its last exchange is done.
#pragma once

#include <cstdint>

namespace lumra::platform {

// The system's monotonic clock in nanoseconds. Every process reads the same clock, so one
// process can tell another when the endpoint may be used again.
std::uint64_t MonotonicNanoseconds() noexcept;

// Sleeps until the monotonic clock reaches `until`. Calls only async-signal-safe functions
// (clock_gettime, select), so a child forked from a process that used CoreFoundation may call it.
void SleepUntilMonotonic(std::uint64_t until) noexcept;

// Starts a holder: a process that keeps the locked file `lockFd`, and with it the endpoint lock,
// until the monotonic clock reaches `until`, then closes it and exits. It closes every other
// descriptor first, so pipes and terminals of the caller end with the caller. It is started by
// a double fork, so it is nobody's zombie: the intermediate process exits at once and is reaped
// here. (One fork would make the holder the caller's child, which only the caller can reap: a
// long-running caller would keep a zombie, or see the holder in its own wait(), unless it
// handled SIGCHLD, which is not a library's to set.) False when no holder could be started;
// the lock is then this process's alone.
bool StartQuietHolder(int lockFd, std::uint64_t until);

// The same with one fork, half a millisecond sooner here: the holder is the caller's child. For
// a process that ends soon after its commands, such as the lumra command: its end hands the
// holder to the system, and until then a holder that has ended waits as its zombie.
bool StartQuietHolderAsChild(int lockFd, std::uint64_t until);

// Keeps the locked file in this process instead, until StartDeferredQuietHolders starts one
// holder, as this process's child, for every lock kept so far. It runs at the latest when the
// process exits, after the exit handlers and static destructors of what the process set up
// since its first release: a process's end writes to much of its memory, and after a fork each
// page written is copied for the child (here, half a millisecond of a command). For a process that
// ends soon after its commands, such as the lumra command. A lock is never kept while a thread
// of this process waits for one (WaitingForALock): its holder then starts at once. Until the
// holder starts, a signal that ends the process lets the lock go early; the lumra command
// holds SIGPIPE back until then.
bool DeferQuietHolder(int lockFd, std::uint64_t until);
void StartDeferredQuietHolders();

// While it lives, this thread may wait for an endpoint lock: the locks kept by
// DeferQuietHolder go to a holder first, and no more are kept.
class WaitingForALock {
 public:
  WaitingForALock();
  ~WaitingForALock();
  WaitingForALock(const WaitingForALock&) = delete;
  WaitingForALock& operator=(const WaitingForALock&) = delete;
};

}  // namespace lumra::platform
