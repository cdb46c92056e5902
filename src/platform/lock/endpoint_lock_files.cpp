#include "platform/lock/endpoint_lock_files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumra::platform {

namespace {

// Creates one directory; an existing directory is left as it is.
support::Error makeDirectory(const std::string& path) {
  int result;
  do {
    result = ::mkdir(path.c_str(), 0700);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return {};
  const int mkdirErrno = errno;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return {};
    return support::Error::FromErrno(ENOTDIR);
  }
  return support::Error::FromErrno(mkdirErrno);
}

// Shared by the threads that open lock files, exclusive for one that starts a holder.
std::shared_mutex& lockFileGate() {
  static std::shared_mutex gate;
  return gate;
}

}  // namespace

lockFilesSettled::lockFilesSettled() : settled_(lockFileGate()) {}

support::Error makeLockDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (path[slash - 1] == '/') continue;
    if (support::Error err = makeDirectory(path.substr(0, slash))) return err;
  }
  return makeDirectory(path);
}

support::Result<int> openLockFile(const std::string& path, int flags) {
  const std::shared_lock opening(lockFileGate());
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return {-1, support::Error::FromErrno(errno)};
  return {fd, {}};
}

int tryLockFile(int fd) {
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

}  // namespace lumra::platform
