#include "sim/world/release_check.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "sim/simulator.hpp"
#include "support/environment.hpp"
#include "support/no_destructor.hpp"

namespace lumra::sim {
namespace {

constexpr std::string_view kVariable = "LUMRA_SIM_CHECK_RELEASES";
// Descriptors above this are not examined; a leak shows up among the lowest free numbers.
constexpr long kHighestDescriptor = 4096;

std::vector<int> OpenDescriptors() {
  const long limit = std::min(sysconf(_SC_OPEN_MAX), kHighestDescriptor);
  std::vector<int> open;
  for (int fd = 0; fd < limit; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) open.push_back(fd);
  }
  return open;
}

// Descriptors open at the first platform call (inherited ones included).
std::vector<int>& InheritedDescriptors() {
  static support::NoDestructor<std::vector<int>> inherited;
  return *inherited;
}

std::vector<std::string> UnreleasedObjects() {
  std::vector<std::string> problems;
  if (const std::size_t live = LiveObjectCount(); live != 0) {
    problems.push_back(std::to_string(live) + " platform objects were not released (" +
                       DescribeLiveObjects() + ")");
  }
  if (const std::size_t misuses = MisuseCount(); misuses != 0) {
    problems.push_back(std::to_string(misuses) + " releases or uses of handles that were not live");
  }
  const std::vector<int>& inherited = InheritedDescriptors();
  for (int fd : OpenDescriptors()) {
    if (!std::binary_search(inherited.begin(), inherited.end(), fd)) {
      problems.push_back("descriptor " + std::to_string(fd) + " is still open");
    }
  }
  return problems;
}

void CheckAtExit() {
  const std::vector<std::string> problems = UnreleasedObjects();
  if (problems.empty()) return;
  // _exit skips the stream flushes that exit would still do, so results are flushed first.
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  for (const std::string& problem : problems) {
    std::fprintf(stderr, "lumra simulator: at exit: %s\n", problem.c_str());
  }
  std::fflush(stderr);
  _exit(kReleaseCheckFailedStatus);
}

void Arm() {
  if (support::Getenv(kVariable) != "1") return;
  InheritedDescriptors() = OpenDescriptors();
  // The object tables are never destroyed (NoDestructor), so they outlive the handler.
  std::atexit(CheckAtExit);
}

}  // namespace

void ArmReleaseCheckOnce() {
  static std::once_flag once;
  std::call_once(once, Arm);
}

}  // namespace lumra::sim
