// The owner of one open file descriptor. Like the rest of support/posix/, small enough to live in
// its header.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "support/error.hpp"
#include "support/posix/retry.hpp"

namespace lumra::support {

// Closes its descriptor when destroyed or reset; moving leaves the source empty.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const noexcept { return fd_; }
  bool Valid() const noexcept { return fd_ >= 0; }
  // Hands the descriptor to the caller, who closes it from now on.
  [[nodiscard]] int Release() noexcept { return std::exchange(fd_, -1); }
  // Closes the descriptor held so far and owns `fd` instead. close is not retried: after EINTR
  // the descriptor may already be gone, and another thread may have been given its number.
  void Reset(int fd = -1) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Opens `path` with `flags` and O_CLOEXEC, so no program this process starts inherits it;
// `mode` applies when O_CREAT creates the file.
inline Result<UniqueFd> OpenFile(const std::string& path, int flags, mode_t mode = 0) {
  const int fd = RetryOnEintr([&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); });
  if (fd < 0) return {UniqueFd(), Error::FromErrno(errno)};
  return {UniqueFd(fd), {}};
}

}  // namespace lumra::support
