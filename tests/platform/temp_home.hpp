#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/lock/endpoint_lock.hpp"

namespace lumra::platform::testing {

// True when another open file of `path` could take the lock now.
inline bool lockableElsewhere(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR);
  const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (fd >= 0) ::close(fd);
  return locked;
}

// A scratch home directory, removed with everything in it when the value goes.
class TempHome {
 public:
  TempHome() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lumra-platform-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;
  ~TempHome() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }

  const std::string& path() const { return path_; }
  std::string locks() const { return path_ + "/Library/Caches/lumra/locks"; }

  // Lock options that see this directory as HOME and poll every `poll`.
  EndpointLockOptions lockOptions(support::Duration poll = kLockPollInterval) const {
    const std::string home = path_;
    return EndpointLockOptions{
        [home](std::string_view name) { return name == "HOME" ? home : std::string(); }, poll};
  }

 private:
  std::string path_;
};

}  // namespace lumra::platform::testing
