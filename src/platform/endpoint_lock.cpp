#include "platform/endpoint_lock.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/environment.hpp"
#include "support/format.hpp"

namespace lumra::platform {

namespace {

std::string lookupEnvironment(const EndpointLockOptions& options, std::string_view name) {
  return options.getenv ? options.getenv(name) : support::Getenv(name);
}

support::Result<std::string> userCacheDirectory(const EndpointLockOptions& options) {
  const std::string home = lookupEnvironment(options, "HOME");
  if (home.empty()) return {{}, support::Error::New("$HOME is not defined")};
  return {home + "/Library/Caches", {}};
}

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

// Creates `path` and every missing parent with mode 0700.
support::Error makeDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (path[slash - 1] == '/') continue;
    if (support::Error err = makeDirectory(path.substr(0, slash))) return err;
  }
  return makeDirectory(path);
}

support::Result<int> openLockFile(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return {-1, support::Error::FromErrno(errno)};
  return {fd, {}};
}

// 0 when the lock was taken, otherwise the errno of the failed attempt.
int tryLock(int fd) {
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

}  // namespace

darwinEndpointLock& darwinEndpointLock::operator=(darwinEndpointLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void darwinEndpointLock::release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  // close is not retried: after EINTR the descriptor may already be gone.
  ::close(fd_);
  fd_ = -1;
}

support::Result<darwinEndpointLock> lockDarwinEndpoint(const support::Context& ctx,
                                                       std::uint64_t endpointID,
                                                       const EndpointLockOptions& options) {
  auto cache = userCacheDirectory(options);
  if (cache.err) return {{}, support::Errorf("resolve user cache directory: %w", cache.err)};
  const std::string directory = cache.value + "/lumra/locks";
  if (support::Error err = makeDirectories(directory)) {
    return {{}, support::Errorf("create DDC lock directory: %w", err)};
  }
  auto opened = openLockFile(support::Format("%s/ddc-%016x.lock", directory, endpointID));
  if (opened.err) return {{}, support::Errorf("open DDC lock: %w", opened.err)};

  // The file is owned from here on, so every failure path below closes it.
  darwinEndpointLock file(opened.value);
  for (;;) {
    const int failure = tryLock(opened.value);
    if (failure == 0) return {std::move(file), {}};
    if (failure != EWOULDBLOCK) {
      return {{}, support::Errorf("lock DDC endpoint: %w", support::Error::FromErrno(failure))};
    }
    if (support::Error ended = ctx.Wait(options.pollInterval)) return {{}, ended};
  }
}

}  // namespace lumra::platform
