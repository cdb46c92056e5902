#include "platform/lock/endpoint_lock_queue.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/lock/endpoint_lock_files.hpp"
#include "platform/lock/endpoint_lock_holder.hpp"
#include "support/format.hpp"

namespace lumra::platform {

namespace {

// The queue file is held only for a directory scan, so a busy one is asked for again soon.
constexpr support::Duration kQueueFileRetry = std::chrono::milliseconds(1);
// A holder closes the lock file at the end of its quiet time; the front looks again this much
// later, and while the holder is late (a loaded machine is slow to wake it), this often.
constexpr std::uint64_t kAfterHolderNanoseconds = 1'000'000;
constexpr support::Duration kLateHolderLook = std::chrono::milliseconds(1);
constexpr std::size_t kHintLength = 21;  // 20 digits and a line feed
const std::string kTicketSuffix = ".ticket";

// The queue file's flock for as long as the value lives; not held when the context ended while
// another process had it.
class queueScan {
 public:
  queueScan(const support::Context& ctx, int queueFd) : fd_(queueFd) {
    for (;;) {
      const int failure = tryLockFile(fd_);
      if (failure == 0) {
        held_ = true;
        return;
      }
      if (failure != EWOULDBLOCK || ctx.Wait(kQueueFileRetry)) return;
    }
  }
  queueScan(const queueScan&) = delete;
  queueScan& operator=(const queueScan&) = delete;
  ~queueScan() {
    if (held_) ::flock(fd_, LOCK_UN);
  }
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};

std::string ticketPath(const std::string& directory, const std::string& prefix,
                       std::uint64_t place) {
  return support::Format("%s/%s%016x%s", directory, prefix, place, kTicketSuffix);
}

// The places of the endpoint's tickets in the directory, highest first.
std::vector<std::uint64_t> places(const std::string& directory, const std::string& prefix) {
  std::vector<std::uint64_t> found;
  DIR* listing = ::opendir(directory.c_str());
  if (listing == nullptr) return found;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name.size() != prefix.size() + 16 + kTicketSuffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(kTicketSuffix)) {
      continue;
    }
    std::uint64_t place = 0;
    bool hex = true;
    for (const char c : name.substr(prefix.size(), 16)) {
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      hex = hex && digit >= 0;
      place = place << 4 | static_cast<std::uint64_t>(digit & 0xF);
    }
    if (hex) found.push_back(place);
  }
  ::closedir(listing);
  std::sort(found.begin(), found.end(), std::greater<>());
  return found;
}

// True while the ticket's process lives. A ticket whose flock can be taken is a dead process's
// and is removed; one that cannot be examined is passed over.
bool ticketAlive(const std::string& path) {
  const auto opened = openLockFile(path, O_RDWR);
  if (opened.err) return false;
  const int failure = tryLockFile(opened.value);
  if (failure == 0) ::unlink(path.c_str());
  ::close(opened.value);
  return failure == EWOULDBLOCK;
}

support::Duration nanoseconds(std::uint64_t ns) {
  return support::Duration(static_cast<support::Duration::rep>(ns));
}

std::uint64_t readQuietUntil(int queueFd) {
  char text[kHintLength + 1] = {};
  if (queueFd < 0 || ::pread(queueFd, text, kHintLength, 0) != static_cast<ssize_t>(kHintLength)) {
    return 0;
  }
  std::uint64_t until = 0;
  for (std::size_t i = 0; i + 1 < kHintLength; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    until = until * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  return until;
}

}  // namespace

endpointQueue::endpointQueue(endpointQueue&& other) noexcept
    : queueFd_(other.queueFd_),
      ticketFd_(other.ticketFd_),
      directory_(std::move(other.directory_)),
      prefix_(std::move(other.prefix_)),
      place_(other.place_) {
  other.queueFd_ = other.ticketFd_ = -1;
}

endpointQueue& endpointQueue::operator=(endpointQueue&& other) noexcept {
  if (this != &other) {
    leave();
    queueFd_ = other.queueFd_;
    ticketFd_ = other.ticketFd_;
    directory_ = std::move(other.directory_);
    prefix_ = std::move(other.prefix_);
    place_ = other.place_;
    other.queueFd_ = other.ticketFd_ = -1;
  }
  return *this;
}

endpointQueue endpointQueue::join(const support::Context& ctx, const std::string& directory,
                                  std::uint64_t endpointID, std::uint64_t askedAt) {
  const std::string prefix = support::Format("ddc-%016x.", endpointID);
  const auto queueFile = openLockFile(directory + "/" + prefix + "queue", O_RDWR | O_CREAT);
  if (queueFile.err) return {};
  endpointQueue line;
  line.queueFd_ = queueFile.value;
  line.directory_ = directory;
  line.prefix_ = prefix;

  const queueScan scan(ctx, line.queueFd_);
  if (!scan.held()) return {};
  // Two commands asked for in the same nanosecond take neighbouring places.
  for (line.place_ = askedAt;; ++line.place_) {
    const auto ticket =
        openLockFile(ticketPath(directory, prefix, line.place_), O_RDWR | O_CREAT | O_EXCL);
    if (ticket.err && ticket.err.Errno() == EEXIST) continue;
    if (ticket.err) return {};
    line.ticketFd_ = ticket.value;
    break;
  }
  // Taken before the queue file is let go, so no scan ever sees a live ticket unlocked.
  if (tryLockFile(line.ticketFd_) != 0) return {};
  return line;
}

bool endpointQueue::atFront(const support::Context& ctx) {
  if (ticketFd_ < 0) return true;
  const queueScan scan(ctx, queueFd_);
  if (!scan.held()) return false;
  for (const std::uint64_t place : places(directory_, prefix_)) {
    if (place < place_ && ticketAlive(ticketPath(directory_, prefix_, place))) return false;
  }
  return true;
}

support::Duration endpointQueue::nextLook(bool front, support::Duration poll) const {
  if (!front) return poll;
  const std::uint64_t free = readQuietUntil(queueFd_) + kAfterHolderNanoseconds;
  const std::uint64_t now = monotonicNanoseconds();
  if (free > now) return std::min(poll, nanoseconds(free - now));
  return nanoseconds(now - free) < poll ? std::min(poll, kLateHolderLook) : poll;
}

void endpointQueue::leave() {
  if (ticketFd_ >= 0) {
    // Removed while still locked, so that no scan finds a live process's ticket unlocked.
    ::unlink(ticketPath(directory_, prefix_, place_).c_str());
    ::close(ticketFd_);
    ticketFd_ = -1;
  }
  if (queueFd_ >= 0) ::close(queueFd_);
  queueFd_ = -1;
}

int endpointQueue::takeQueueFile() {
  const int fd = queueFd_;
  queueFd_ = -1;
  return fd;
}

void publishQuietUntil(int queueFd, std::uint64_t until) {
  if (queueFd < 0) return;
  char text[kHintLength + 1];
  std::snprintf(text, sizeof text, "%020llu\n", static_cast<unsigned long long>(until));
  // A failed write leaves the waiting processes polling, which is all the hint saves them.
  if (::pwrite(queueFd, text, kHintLength, 0) != static_cast<ssize_t>(kHintLength)) return;
}

}  // namespace lumra::platform
