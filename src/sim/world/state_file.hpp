// File primitives of the shared monitor state: an exclusive flock on a lock file, whole-file
// reads, and replacement through a temporary file and rename (support/posix/), so a reader never
// sees half a file and a crashed writer never leaves one.
#pragma once

#include <optional>
#include <string>

#include "support/posix/file_lock.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::sim {

// Holds an exclusive flock on a lock file for its lifetime.
class FileLock {
 public:
  // Creates the file when missing and blocks until the lock is held; Held() says whether it is.
  explicit FileLock(const std::string& path);
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  [[nodiscard]] bool Held() const { return lock_.Held(); }

 private:
  support::UniqueFd file_;
  support::FileLockGuard lock_;  // given up before the file is closed
};

// The file's bytes; "" for a missing file; nullopt when it exists but cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes `text` to a temporary sibling and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& text);

}  // namespace lumra::sim
