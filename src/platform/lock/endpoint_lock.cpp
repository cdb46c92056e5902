#include "platform/lock/endpoint_lock.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "platform/lock/endpoint_lock_files.hpp"
#include "platform/lock/endpoint_lock_queue.hpp"
#include "support/environment.hpp"
#include "support/format.hpp"

namespace lumra::platform {

namespace {

// A process runs one command, so its start is when the command was asked for. Taken while the
// program loads, before anything else can keep one process slower than another.
const std::uint64_t processStarted = monotonicNanoseconds();

std::string lookupEnvironment(const EndpointLockOptions& options, std::string_view name) {
  return options.getenv ? options.getenv(name) : support::Getenv(name);
}

support::Result<std::string> userCacheDirectory(const EndpointLockOptions& options) {
  const std::string home = lookupEnvironment(options, "HOME");
  if (home.empty()) return {{}, support::Error::New("$HOME is not defined")};
  return {home + "/Library/Caches", {}};
}

// A descriptor closed on every path unless it is handed on.
class ownedDescriptor {
 public:
  explicit ownedDescriptor(int fd) : fd_(fd) {}
  ownedDescriptor(const ownedDescriptor&) = delete;
  ownedDescriptor& operator=(const ownedDescriptor&) = delete;
  ~ownedDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int take() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

}  // namespace

darwinEndpointLock& darwinEndpointLock::operator=(darwinEndpointLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
    queueFd_ = std::exchange(other.queueFd_, -1);
    quietUntil_ = std::exchange(other.quietUntil_, 0);
    handOver_ = other.handOver_;
  }
  return *this;
}

void darwinEndpointLock::oweQuiet(support::Duration quiet) {
  if (quiet <= support::Duration::zero()) return;
  const auto until = monotonicNanoseconds() + static_cast<std::uint64_t>(quiet.count());
  quietUntil_ = std::max(quietUntil_, until);
}

void darwinEndpointLock::keepQuiet() {
  sleepUntilMonotonic(quietUntil_);
  quietUntil_ = 0;
}

void darwinEndpointLock::release() {
  if (fd_ < 0) return;
  bool handedOver = false;
  if (quietUntil_ > monotonicNanoseconds()) {
    publishQuietUntil(queueFd_, quietUntil_);
    handedOver = handOver_ != nullptr && handOver_(fd_, quietUntil_);
    if (!handedOver) keepQuiet();
  }
  // A holder's descriptor shares this open file and its lock: unlocking would end it for both.
  if (!handedOver) ::flock(fd_, LOCK_UN);
  // close is not retried: after EINTR the descriptor may already be gone.
  ::close(fd_);
  if (queueFd_ >= 0) ::close(queueFd_);
  fd_ = queueFd_ = -1;
  quietUntil_ = 0;
}

support::Result<darwinEndpointLock> lockDarwinEndpoint(const support::Context& ctx,
                                                       std::uint64_t endpointID,
                                                       const EndpointLockOptions& options) {
  auto cache = userCacheDirectory(options);
  if (cache.err) return {{}, support::Errorf("resolve user cache directory: %w", cache.err)};
  const std::string directory = cache.value + "/lumra/locks";
  if (support::Error err = makeLockDirectories(directory)) {
    return {{}, support::Errorf("create DDC lock directory: %w", err)};
  }
  auto opened = openLockFile(support::Format("%s/ddc-%016x.lock", directory, endpointID),
                             O_RDWR | O_CREAT);
  if (opened.err) return {{}, support::Errorf("open DDC lock: %w", opened.err)};

  ownedDescriptor file(opened.value);
  endpointQueue line = endpointQueue::join(ctx, directory, endpointID,
                                           options.askedAt != 0 ? options.askedAt : processStarted);
  for (;;) {
    const bool front = line.atFront(ctx);
    if (front) {
      const int failure = tryLockFile(file.get());
      if (failure == 0) {
        return {darwinEndpointLock(file.take(), options.handOver, line.takeQueueFile()), {}};
      }
      if (failure != EWOULDBLOCK) {
        return {{}, support::Errorf("lock DDC endpoint: %w", support::Error::FromErrno(failure))};
      }
    }
    if (support::Error ended = ctx.Wait(line.nextLook(front, options.pollInterval))) {
      return {{}, ended};
    }
  }
}

}  // namespace lumra::platform
