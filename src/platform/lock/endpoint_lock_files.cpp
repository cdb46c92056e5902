#include "platform/lock/endpoint_lock_files.hpp"

namespace lumra::platform {

namespace {

// Shared by the threads that open lock files, exclusive for one that starts a holder.
std::shared_mutex& LockFileGate() {
  static std::shared_mutex gate;
  return gate;
}

}  // namespace

LockFilesSettled::LockFilesSettled() : settled_(LockFileGate()) {}

support::Result<support::UniqueFd> OpenLockFile(const std::string& path, int flags) {
  const std::shared_lock opening(LockFileGate());
  return support::OpenFile(path, flags, 0600);
}

}  // namespace lumra::platform
