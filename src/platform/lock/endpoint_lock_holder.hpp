// The quiet time after a command, kept by a process of its own so that the command itself can
// end as soon as its last exchange is done.
#pragma once

#include <cstdint>

#include "support/context.hpp"
#include "support/error.hpp"

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

// For a process that ends soon after its last exchange, such as the lumra command: the lock
// goes to a holder started as the process exits, one for every lock handed over this way. By
// then the output is written and the clean-up done, so the command ends a millisecond sooner
// than with StartQuietHolder: the fork has next to nothing left to copy, and one fork is enough
// (the holder is this process's child only for the moment it takes to exit). Keeps a duplicate
// of `lockFd`; false when it cannot. Needs StartQuietHoldersAtExit.
bool HandOverAtExit(int lockFd, std::uint64_t until);

// Makes HandOverAtExit's holder start at exit. Called first thing in main: exit handlers run in
// the reverse order of their registration, so the holder then starts after the rest of the
// clean-up.
void StartQuietHoldersAtExit();

// Before this process locks a file it has handed over with HandOverAtExit, it waits out that
// lock's quiet time and lets it go, as it would wait for a holder. Fails only when `ctx` ends
// first.
support::Error SettleHandedOver(const support::Context& ctx, int lockFd);

}  // namespace lumra::platform
