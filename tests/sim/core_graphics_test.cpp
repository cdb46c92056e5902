// CoreGraphics stand-in: the online display list, display numbers and modes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

class CoreGraphicsTest : public SimTest {};

TEST_F(CoreGraphicsTest, ListReportsTheFullCountAndFillsUpToTheCapacity) {
  Use(R"({"displays": [{"id": 30}, {"id": 31}, {"id": 32}]})");
  uint32_t count = 0;
  ASSERT_EQ(CGGetOnlineDisplayList(0, nullptr, &count), kCGErrorSuccess);
  EXPECT_EQ(count, 3u);
  std::vector<CGDirectDisplayID> ids(3, 0);
  ASSERT_EQ(CGGetOnlineDisplayList(2, ids.data(), &count), kCGErrorSuccess);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(ids, (std::vector<CGDirectDisplayID>{30, 31, 0}));
  EXPECT_EQ(CGGetOnlineDisplayList(2, ids.data(), nullptr), kCGErrorIllegalArgument);
}

TEST_F(CoreGraphicsTest, EitherListCallCanBeMadeToFail) {
  const struct {
    const char* failures;
    CGError count;
    CGError list;
  } cases[] = {
      {R"({"display_count": true})", kCGErrorFailure, kCGErrorSuccess},
      {R"({"display_list": true})", kCGErrorSuccess, kCGErrorFailure},
  };
  for (const auto& c : cases) {
    Use(std::string(R"({"displays": [{"id": 1}], "platform_failures": )") + c.failures + "}");
    uint32_t count = 0;
    CGDirectDisplayID id = 0;
    EXPECT_EQ(CGGetOnlineDisplayList(0, nullptr, &count), c.count) << c.failures;
    EXPECT_EQ(CGGetOnlineDisplayList(1, &id, &count), c.list) << c.failures;
  }
}

TEST_F(CoreGraphicsTest, EmptyScenarioHasNoDisplays) {
  Use("{}");
  uint32_t count = 9;
  EXPECT_EQ(CGGetOnlineDisplayList(0, nullptr, &count), kCGErrorSuccess);
  EXPECT_EQ(count, 0u);
}

TEST_F(CoreGraphicsTest, NumbersAndModes) {
  Use(R"({"displays": [
    {"id": 40, "vendor": "0x10AC", "product": "0xA0C4", "serial": 12345678, "unit": 3,
     "builtin": true,
     "mode": {"width": 5120, "height": 2880, "logical_width": 2560, "logical_height": 1440,
              "refresh_hz": 59.94}},
    {"id": 41, "mode": {"width": 4294967296, "height": 0, "logical_width": 1, "logical_height": 1,
                        "refresh_hz": "nan"}},
    {"id": 42}
  ]})");
  EXPECT_EQ(CGDisplayVendorNumber(40), 0x10ACu);
  EXPECT_EQ(CGDisplayModelNumber(40), 0xA0C4u);
  EXPECT_EQ(CGDisplaySerialNumber(40), 12345678u);
  EXPECT_EQ(CGDisplayUnitNumber(40), 3u);
  EXPECT_TRUE(CGDisplayIsBuiltin(40));
  EXPECT_FALSE(CGDisplayIsBuiltin(41));
  EXPECT_EQ(CGDisplayVendorNumber(99), 0u);

  CGDisplayModeRef mode = CGDisplayCopyDisplayMode(40);
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(CGDisplayModeGetPixelWidth(mode), 5120u);
  EXPECT_EQ(CGDisplayModeGetPixelHeight(mode), 2880u);
  EXPECT_EQ(CGDisplayModeGetWidth(mode), 2560u);
  EXPECT_EQ(CGDisplayModeGetHeight(mode), 1440u);
  EXPECT_DOUBLE_EQ(CGDisplayModeGetRefreshRate(mode), 59.94);
  CGDisplayModeRelease(mode);

  CGDisplayModeRef odd = CGDisplayCopyDisplayMode(41);
  EXPECT_EQ(CGDisplayModeGetPixelWidth(odd), 4294967296u);
  EXPECT_EQ(CGDisplayModeGetPixelHeight(odd), 0u);
  EXPECT_TRUE(std::isnan(CGDisplayModeGetRefreshRate(odd)));
  CFRelease(odd);  // modes are CF objects

  EXPECT_EQ(CGDisplayCopyDisplayMode(42), nullptr);
  CGDisplayModeRelease(nullptr);
}

}  // namespace
}  // namespace lumra::sim::testing
