// File-system steps shared by the endpoint lock and its waiting line: directories, descriptors
// opened without inheritance, non-blocking flock, all retried on EINTR.
#pragma once

#include <string>

#include "support/error.hpp"

namespace lumra::platform {

// Creates `path` and every missing parent with mode 0700; existing directories stay as they are.
support::Error makeLockDirectories(const std::string& path);

// Opens `path` with `flags` (O_CLOEXEC added), creating it with mode 0600 when O_CREAT is given.
support::Result<int> openLockFile(const std::string& path, int flags);

// 0 when the exclusive lock on `fd` was taken, otherwise the errno of the failed attempt.
int tryLockFile(int fd);

}  // namespace lumra::platform
