// Opening the files of the endpoint lock and its waiting line, kept apart from the forking of a
// quiet-time holder.
#pragma once

#include <mutex>
#include <shared_mutex>
#include <string>

#include "support/error.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::platform {

// Opens `path` with `flags` (not inherited), creating it with mode 0600 when O_CREAT is given.
// Waits while a holder is being started (LockFilesSettled).
support::Result<support::UniqueFd> OpenLockFile(const std::string& path, int flags);

// While the value lives, no thread of this process opens a lock file. A holder is forked under
// it, after listing the descriptors it must close: a lock file opened by another thread between
// the listing and the fork would stay open in the holder, which would keep that endpoint locked.
class LockFilesSettled {
 public:
  LockFilesSettled();

 private:
  std::unique_lock<std::shared_mutex> settled_;
};

}  // namespace lumra::platform
