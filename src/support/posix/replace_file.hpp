#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "support/error.hpp"
#include "support/posix/retry.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::support {

namespace detail {

inline Error WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = RetryOnEintr([&] { return ::write(fd, text.data(), text.size()); });
    if (put < 0) return Error::FromErrno(errno);
    if (put == 0) return Error::FromErrno(EIO);
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return {};
}

}  // namespace detail

// Replaces the file at `path` with `text` at once: written to a temporary file beside it
// ("<path>.tmp.<pid>", created with `mode`), then renamed over it, so a reader sees the old
// file or the new one, never half of one. On failure the old file is untouched and the
// temporary file removed. Not synced to the disk: it survives the process, not the machine.
inline Error ReplaceFile(const std::string& path, std::string_view text, mode_t mode) {
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  auto opened = OpenFile(temporary, O_WRONLY | O_CREAT | O_TRUNC, mode);
  if (opened.Err) return opened.Err;
  Error err = detail::WriteAll(opened.Value.Get(), text);
  // A failed close may be a failed write that the file system reported late.
  if (::close(opened.Value.Release()) != 0 && !err) err = Error::FromErrno(errno);
  if (!err && ::rename(temporary.c_str(), path.c_str()) != 0) err = Error::FromErrno(errno);
  if (err) ::unlink(temporary.c_str());
  return err;
}

}  // namespace lumra::support
