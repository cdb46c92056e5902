// File-system steps shared by the endpoint lock and its waiting line: directories, descriptors
// opened without inheritance, non-blocking flock, all retried on EINTR.
#pragma once

#include <mutex>
#include <shared_mutex>
#include <string>

#include "support/error.hpp"

namespace lumra::platform {

// Creates `path` and every missing parent with mode 0700; existing directories stay as they are.
support::Error makeLockDirectories(const std::string& path);

// Opens `path` with `flags` (O_CLOEXEC added), creating it with mode 0600 when O_CREAT is given.
// Waits while a holder is being started (lockFilesSettled).
support::Result<int> openLockFile(const std::string& path, int flags);

// While the value lives, no thread of this process opens a lock file. A holder is forked under
// it, after listing the descriptors it must close: a lock file opened by another thread between
// the listing and the fork would stay open in the holder, which would keep that endpoint locked.
class lockFilesSettled {
 public:
  lockFilesSettled();

 private:
  std::unique_lock<std::shared_mutex> settled_;
};

// 0 when the exclusive lock on `fd` was taken, otherwise the errno of the failed attempt.
int tryLockFile(int fd);

}  // namespace lumra::platform
