// The simulator's check at process exit (LUMRA_SIM_CHECK_RELEASES=1), which the end-to-end
// tests turn on for every command: it must fail a process that leaves a platform object or a
// descriptor of its own open, and pass one that released everything. Each case runs in a fresh
// process (a death test), since the check is armed once per process.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "sim/framework/macos_api.h"
#include "sim/world/release_check.hpp"

namespace lumra::testing {
namespace {

struct Leaks {
  bool object = false;
  bool descriptor = false;
  bool inheritedDescriptor = false;
};

// Runs as a process of its own: arms the check, takes what `leaks` says and exits normally.
[[noreturn]] void ExitAfter(const Leaks& leaks) {
  setenv("LUMRA_SIM_CHECK_RELEASES", "1", 1);
  setenv("LUMRA_SIMULATION", LUMRA_SCENARIO_DIR "/desk.json", 1);
  // Open before the first platform call: the check counts it as inherited.
  if (leaks.inheritedDescriptor) (void)open("/dev/null", O_RDONLY);
  std::uint32_t displays = 0;
  (void)CGGetOnlineDisplayList(0, nullptr, &displays);  // the first platform call arms the check
  CFMutableDictionaryRef matching = IOServiceMatching("IOFramebuffer");
  if (!leaks.object) CFRelease(matching);
  if (leaks.descriptor) (void)open("/dev/null", O_RDONLY);
  std::exit(0);
}

class ReleaseCheck : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ReleaseCheck, PassesAProcessThatReleasedEverything) {
  EXPECT_EXIT(ExitAfter({}), ::testing::ExitedWithCode(0), "^$");
  EXPECT_EXIT(ExitAfter({.inheritedDescriptor = true}), ::testing::ExitedWithCode(0), "^$");
}

TEST_F(ReleaseCheck, FailsAProcessThatKeptAnObject) {
  EXPECT_EXIT(ExitAfter({.object = true}),
              ::testing::ExitedWithCode(sim::kReleaseCheckFailedStatus),
              "lumra simulator: at exit: [0-9]+ platform objects were not released "
              "\\(cf=[0-9]+ io=0 i2c=0\\)");
}

TEST_F(ReleaseCheck, FailsAProcessThatKeptADescriptor) {
  EXPECT_EXIT(ExitAfter({.descriptor = true}),
              ::testing::ExitedWithCode(sim::kReleaseCheckFailedStatus),
              "lumra simulator: at exit: descriptor [0-9]+ is still open");
}

}  // namespace
}  // namespace lumra::testing
