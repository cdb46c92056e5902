// File primitives of the shared monitor state: an exclusive flock on a lock file, whole-file
// reads, and replacement through a temporary file and rename, so a reader never sees half a
// file and a crashed writer never leaves one.
#pragma once

#include <optional>
#include <string>

namespace lumra::sim {

// Holds an exclusive flock on a lock file for its lifetime.
class FileLock {
 public:
  // Creates the file when missing and blocks until the lock is held; Held() says whether it is.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  [[nodiscard]] bool Held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// The file's bytes; "" for a missing file; nullopt when it exists but cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes `text` to a temporary sibling and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& text);

// Creates the directory and its parents; true when it exists afterwards.
bool EnsureDirectory(const std::string& path);

}  // namespace lumra::sim
