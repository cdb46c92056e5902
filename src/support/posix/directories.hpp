#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

#include "support/error.hpp"
#include "support/posix/retry.hpp"

namespace lumra::support {

namespace detail {

// Creates one directory; an existing directory is left as it is.
inline Error MakeDirectory(const std::string& path, mode_t mode) {
  if (RetryOnEintr([&] { return ::mkdir(path.c_str(), mode); }) == 0) return {};
  const int mkdirErrno = errno;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode) ? Error() : Error::FromErrno(ENOTDIR);
  }
  return Error::FromErrno(mkdirErrno);
}

}  // namespace detail

// Creates `path` and every missing parent with `mode` (less the umask); directories that exist
// stay as they are. The first failure comes back with its errno; ENOTDIR when a file is in the way.
inline Error MakeDirectories(const std::string& path, mode_t mode) {
  // Nearly always the whole path exists already: one call instead of two per component.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return {};
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (path[slash - 1] == '/') continue;
    if (Error err = detail::MakeDirectory(path.substr(0, slash), mode)) return err;
  }
  return detail::MakeDirectory(path, mode);
}

}  // namespace lumra::support
