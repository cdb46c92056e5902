#include "platform/lock/endpoint_lock.hpp"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/lock/endpoint_lock_files.hpp"
#include "platform/lock/endpoint_lock_queue.hpp"
#include "support/environment.hpp"
#include "support/format.hpp"
#include "support/posix/directories.hpp"

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

}  // namespace

EndpointLock& EndpointLock::operator=(EndpointLock&& other) noexcept {
  if (this != &other) {
    release();
    file_ = std::move(other.file_);
    locked_ = std::move(other.locked_);
    queueFile_ = std::move(other.queueFile_);
    quietUntil_ = std::exchange(other.quietUntil_, 0);
    handOver_ = other.handOver_;
  }
  return *this;
}

void EndpointLock::oweQuiet(support::Duration quiet) {
  if (quiet <= support::Duration::zero()) return;
  const auto until = monotonicNanoseconds() + static_cast<std::uint64_t>(quiet.count());
  quietUntil_ = std::max(quietUntil_, until);
}

void EndpointLock::keepQuiet() {
  sleepUntilMonotonic(quietUntil_);
  quietUntil_ = 0;
}

void EndpointLock::release() {
  if (!locked_.Held()) return;
  bool handedOver = false;
  if (quietUntil_ > monotonicNanoseconds()) {
    publishQuietUntil(queueFile_.Get(), quietUntil_);
    handedOver = handOver_ != nullptr && handOver_(file_.Get(), quietUntil_);
    if (!handedOver) keepQuiet();
  }
  // A holder's descriptor shares this open file and its lock: unlocking would end it for both.
  if (handedOver) {
    locked_.Keep();
  } else {
    locked_.Unlock();
  }
  file_.Reset();
  queueFile_.Reset();
  quietUntil_ = 0;
}

support::Result<EndpointLock> LockEndpoint(const support::Context& ctx, std::uint64_t endpointID,
                                           const EndpointLockOptions& options) {
  auto cache = userCacheDirectory(options);
  if (cache.err) return {{}, support::Errorf("resolve user cache directory: %w", cache.err)};
  const std::string directory = cache.value + "/lumra/locks";
  if (support::Error err = support::MakeDirectories(directory, 0700)) {
    return {{}, support::Errorf("create DDC lock directory: %w", err)};
  }
  auto opened = openLockFile(support::Format("%s/ddc-%016x.lock", directory, endpointID),
                             O_RDWR | O_CREAT);
  if (opened.err) return {{}, support::Errorf("open DDC lock: %w", opened.err)};

  endpointQueue line = endpointQueue::join(ctx, directory, endpointID,
                                           options.askedAt != 0 ? options.askedAt : processStarted);
  for (;;) {
    const bool front = line.atFront(ctx);
    if (front) {
      auto locked = support::FileLockGuard::TryAcquire(opened.value.Get(),
                                                       support::LockKind::Exclusive);
      if (!locked.err) {
        return {EndpointLock(std::move(opened.value), std::move(locked.value), options.handOver,
                             line.takeQueueFile()),
                {}};
      }
      if (locked.err.Errno() != EWOULDBLOCK) {
        return {{}, support::Errorf("lock DDC endpoint: %w", locked.err)};
      }
    }
    if (support::Error ended = ctx.Wait(line.nextLook(front, options.pollInterval))) {
      return {{}, ended};
    }
  }
}

}  // namespace lumra::platform
