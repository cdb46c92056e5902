#include "sim/world/state_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "support/posix/replace_file.hpp"
#include "support/posix/retry.hpp"

namespace lumra::sim {

FileLock::FileLock(const std::string& path) {
  auto opened = support::OpenFile(path, O_RDWR | O_CREAT, 0644);
  if (opened.Err) return;
  file_ = std::move(opened.Value);
  auto locked = support::FileLockGuard::Acquire(file_.Get(), support::LockKind::Exclusive);
  if (!locked.Err) lock_ = std::move(locked.Value);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  auto opened = support::OpenFile(path, O_RDONLY);
  if (opened.Err) {
    return opened.Err.Errno() == ENOENT ? std::optional<std::string>("") : std::nullopt;
  }
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t got =
        support::RetryOnEintr([&] { return ::read(opened.Value.Get(), buffer, sizeof buffer); });
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

bool ReplaceFile(const std::string& path, const std::string& text) {
  return !support::ReplaceFile(path, text, 0644);
}

}  // namespace lumra::sim
