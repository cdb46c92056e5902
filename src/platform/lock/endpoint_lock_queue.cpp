#include "platform/lock/endpoint_lock_queue.hpp"

#include <dirent.h>
#include <fcntl.h>
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
#include "support/number.hpp"

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
constexpr std::size_t kPlaceDigits = 16;

// Takes the queue file's flock, asking again while another process holds it; not held when the
// context ended first.
support::FileLockGuard ScanQueue(const support::Context& ctx, int queueFd) {
  for (;;) {
    auto locked = support::FileLockGuard::TryAcquire(queueFd, support::LockKind::Exclusive);
    if (!locked.Err) return std::move(locked.Value);
    if (locked.Err.Errno() != EWOULDBLOCK || ctx.Wait(kQueueFileRetry)) return {};
  }
}

std::string TicketName(const std::string& prefix, std::uint64_t place) {
  return support::Format("%s%016x%s", prefix, place, kTicketSuffix);
}

std::string TicketPath(const std::string& directory, const std::string& prefix,
                       std::uint64_t place) {
  return directory + "/" + TicketName(prefix, place);
}

// The places of the endpoint's tickets in the directory, highest first.
std::vector<std::uint64_t> Places(const std::string& directory, const std::string& prefix) {
  std::vector<std::uint64_t> found;
  DIR* listing = ::opendir(directory.c_str());
  if (listing == nullptr) return found;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name.size() != prefix.size() + kPlaceDigits + kTicketSuffix.size() ||
        !name.starts_with(prefix)) {
      continue;
    }
    // Only a name this program would give the place is a ticket.
    const auto place = support::ParseDigits(name.substr(prefix.size(), kPlaceDigits), 16);
    if (place && name == TicketName(prefix, *place)) found.push_back(*place);
  }
  ::closedir(listing);
  std::sort(found.begin(), found.end(), std::greater<>());
  return found;
}

// True while the ticket's process lives. A ticket whose flock can be taken is a dead process's
// and is removed; one that cannot be examined is passed over.
bool TicketAlive(const std::string& path) {
  const auto opened = OpenLockFile(path, O_RDWR);
  if (opened.Err) return false;
  const auto locked =
      support::FileLockGuard::TryAcquire(opened.Value.Get(), support::LockKind::Exclusive);
  if (!locked.Err) ::unlink(path.c_str());
  return locked.Err.Errno() == EWOULDBLOCK;
}

support::Duration Nanoseconds(std::uint64_t ns) {
  return support::Duration(static_cast<support::Duration::rep>(ns));
}

std::uint64_t ReadQuietUntil(int queueFd) {
  char text[kHintLength] = {};
  if (queueFd < 0 || ::pread(queueFd, text, kHintLength, 0) != static_cast<ssize_t>(kHintLength)) {
    return 0;
  }
  // The digits before the line feed.
  return support::ParseDigits(std::string_view(text, kHintLength - 1), 10).value_or(0);
}

}  // namespace

EndpointQueue EndpointQueue::Join(const support::Context& ctx, const std::string& directory,
                                  std::uint64_t endpointID, std::uint64_t askedAt) {
  const std::string prefix = support::Format("ddc-%016x.", endpointID);
  auto queueFile = OpenLockFile(directory + "/" + prefix + "queue", O_RDWR | O_CREAT);
  if (queueFile.Err) return {};
  EndpointQueue line;
  line.queueFile_ = std::move(queueFile.Value);
  line.directory_ = directory;
  line.prefix_ = prefix;

  const support::FileLockGuard scan = ScanQueue(ctx, line.queueFile_.Get());
  if (!scan.Held()) return {};
  // Two commands asked for in the same nanosecond take neighbouring places.
  for (line.place_ = askedAt;; ++line.place_) {
    auto ticket =
        OpenLockFile(TicketPath(directory, prefix, line.place_), O_RDWR | O_CREAT | O_EXCL);
    if (ticket.Err && ticket.Err.Errno() == EEXIST) continue;
    if (ticket.Err) return {};
    line.ticket_ = std::move(ticket.Value);
    break;
  }
  // Taken before the queue file is let go, so no scan ever sees a live ticket unlocked.
  auto locked =
      support::FileLockGuard::TryAcquire(line.ticket_.Get(), support::LockKind::Exclusive);
  if (locked.Err) return {};
  line.ticketLocked_ = std::move(locked.Value);
  return line;
}

bool EndpointQueue::AtFront(const support::Context& ctx) {
  if (!ticket_.Valid()) return true;
  const support::FileLockGuard scan = ScanQueue(ctx, queueFile_.Get());
  if (!scan.Held()) return false;
  for (const std::uint64_t place : Places(directory_, prefix_)) {
    if (place < place_ && TicketAlive(TicketPath(directory_, prefix_, place))) return false;
  }
  return true;
}

support::Duration EndpointQueue::NextLook(bool front, support::Duration poll) const {
  if (!front) return poll;
  const std::uint64_t free = ReadQuietUntil(queueFile_.Get()) + kAfterHolderNanoseconds;
  const std::uint64_t now = MonotonicNanoseconds();
  if (free > now) return std::min(poll, Nanoseconds(free - now));
  return Nanoseconds(now - free) < poll ? std::min(poll, kLateHolderLook) : poll;
}

void EndpointQueue::Leave() {
  if (ticket_.Valid()) {
    // Removed while still locked, so that no scan finds a live process's ticket unlocked.
    ::unlink(TicketPath(directory_, prefix_, place_).c_str());
    // Closing the ticket lets its lock go.
    ticketLocked_.Keep();
    ticket_.Reset();
  }
  queueFile_.Reset();
}

void PublishQuietUntil(int queueFd, std::uint64_t until) {
  if (queueFd < 0) return;
  char text[kHintLength + 1];
  std::snprintf(text, sizeof text, "%020llu\n", static_cast<unsigned long long>(until));
  // A failed write leaves the waiting processes polling, which is all the hint saves them.
  if (::pwrite(queueFd, text, kHintLength, 0) != static_cast<ssize_t>(kHintLength)) return;
}

}  // namespace lumra::platform
