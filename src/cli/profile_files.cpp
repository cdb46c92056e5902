#include "cli/profile_files.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/format.hpp"
#include "support/posix/directories.hpp"
#include "support/posix/replace_file.hpp"
#include "support/posix/retry.hpp"
#include "support/posix/unique_fd.hpp"

namespace lumra::cli {

namespace {

// Far more than a profile of every feature of a few dozen monitors.
constexpr std::size_t kMaximumProfileBytes = 1 << 20;
constexpr std::string_view kProfileExtension = ".json";
constexpr mode_t kFolderMode = 0755;
// What the shell's ">" gives a new file, less the umask.
constexpr mode_t kNewFileMode = 0666;

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

support::Result<std::string> ReadAll(int fd) {
  std::string text;
  char buffer[16384];
  for (;;) {
    const ssize_t got = support::RetryOnEintr([&] { return ::read(fd, buffer, sizeof buffer); });
    if (got < 0) return {{}, support::Error::FromErrno(errno)};
    if (got == 0) return {std::move(text), {}};
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > kMaximumProfileBytes) {
      return {{}, support::Errorf("larger than %d bytes", kMaximumProfileBytes)};
    }
  }
}

}  // namespace

std::string ProfileFolder(std::string_view home) {
  if (home.empty()) return {};
  return std::string(home) + "/Library/Application Support/lumra/profiles";
}

support::Result<std::string> ProfilePath(std::string_view word, std::string_view folder) {
  const std::string path(word);
  if (word == kStandardStream || word.find('/') != std::string_view::npos || Exists(path)) {
    return {path, {}};
  }
  if (folder.empty()) {
    return {{}, support::Errorf("%s: no such file, and $HOME is not defined", word)};
  }
  std::string named = std::string(folder) + "/" + path;
  if (!word.ends_with(kProfileExtension)) named += kProfileExtension;
  return {std::move(named), {}};
}

support::Result<std::string> ReadProfileText(const std::string& path) {
  if (path == kStandardStream) return ReadAll(STDIN_FILENO);
  auto opened = support::OpenFile(path, O_RDONLY);
  if (opened.Err) return {{}, std::move(opened.Err)};
  return ReadAll(opened.Value.Get());
}

support::Error WriteProfileText(const std::string& path, std::string_view text,
                                std::string_view folder) {
  if (!folder.empty() && path.starts_with(std::string(folder) + "/")) {
    if (auto err = support::MakeDirectories(std::string(folder), kFolderMode)) return err;
  }
  struct stat info {};
  const bool existed = ::stat(path.c_str(), &info) == 0;
  const mode_t mode = existed ? (info.st_mode & 07777) : kNewFileMode;
  auto err = support::ReplaceFile(path, text, mode);
  // The temporary file was created under the umask; an existing file's permissions win.
  if (!err && existed) ::chmod(path.c_str(), mode);
  return err;
}

}  // namespace lumra::cli
