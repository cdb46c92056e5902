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
const std::uint64_t kProcessStarted = MonotonicNanoseconds();

std::string LookupEnvironment(const EndpointLockOptions& options, std::string_view name) {
  return options.Getenv ? options.Getenv(name) : support::Getenv(name);
}

}  // namespace

support::Result<std::string> EndpointLockDirectory(const EndpointLockOptions& options) {
  const std::string home = LookupEnvironment(options, "HOME");
  if (home.empty()) return {{}, support::Error::New("$HOME is not defined")};
  return {home + "/Library/Caches/lumra/locks", {}};
}

EndpointLock& EndpointLock::operator=(EndpointLock&& other) noexcept {
  if (this != &other) {
    Release();
    file_ = std::move(other.file_);
    locked_ = std::move(other.locked_);
    queueFile_ = std::move(other.queueFile_);
    quietUntil_ = std::exchange(other.quietUntil_, 0);
    handOver_ = other.handOver_;
  }
  return *this;
}

void EndpointLock::OweQuiet(support::Duration quiet) {
  if (quiet <= support::Duration::zero()) return;
  const auto until = MonotonicNanoseconds() + static_cast<std::uint64_t>(quiet.count());
  quietUntil_ = std::max(quietUntil_, until);
}

void EndpointLock::KeepQuiet() {
  SleepUntilMonotonic(quietUntil_);
  quietUntil_ = 0;
}

void EndpointLock::Release() {
  if (!locked_.Held()) return;
  bool handedOver = false;
  if (quietUntil_ > MonotonicNanoseconds()) {
    PublishQuietUntil(queueFile_.Get(), quietUntil_);
    handedOver = handOver_ != nullptr && handOver_(file_.Get(), quietUntil_);
    if (!handedOver) KeepQuiet();
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
  const WaitingForALock waiting;
  auto locks = EndpointLockDirectory(options);
  if (locks.Err) return {{}, support::Errorf("resolve user cache directory: %w", locks.Err)};
  const std::string& directory = locks.Value;
  if (support::Error err = support::MakeDirectories(directory, 0700)) {
    return {{}, support::Errorf("create DDC lock directory: %w", err)};
  }
  auto opened =
      OpenLockFile(support::Format("%s/ddc-%016x.lock", directory, endpointID), O_RDWR | O_CREAT);
  if (opened.Err) return {{}, support::Errorf("open DDC lock: %w", opened.Err)};

  EndpointQueue line = EndpointQueue::Join(
      ctx, directory, endpointID, options.AskedAt != 0 ? options.AskedAt : kProcessStarted);
  for (;;) {
    const bool front = line.AtFront(ctx);
    if (front) {
      auto locked =
          support::FileLockGuard::TryAcquire(opened.Value.Get(), support::LockKind::Exclusive);
      if (!locked.Err) {
        return {EndpointLock(std::move(opened.Value), std::move(locked.Value), options.HandOver,
                             line.TakeQueueFile()),
                {}};
      }
      if (locked.Err.Errno() != EWOULDBLOCK) {
        return {{}, support::Errorf("lock DDC endpoint: %w", locked.Err)};
      }
    }
    if (support::Error ended = ctx.Wait(line.NextLook(front, options.PollInterval))) {
      return {{}, ended};
    }
  }
}

}  // namespace lumra::platform
