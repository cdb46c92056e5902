// CoreFoundation stand-in: reference counting, live-object counts and value access rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

class CfTest : public SimTest {};

TEST_F(CfTest, EveryPlusOneObjectIsCountedUntilItsLastRelease) {
  const std::size_t before = LiveObjectCount();
  CFStringRef text = CFStringCreateWithCString(kCFAllocatorDefault, "abc", kCFStringEncodingUTF8);
  CFMutableDictionaryRef matching = IOServiceMatching("IOFramebuffer");
  // The string, the dictionary and the dictionary's own key and value.
  EXPECT_EQ(LiveObjectCount(), before + 4);
  CFRetain(text);
  CFRelease(text);
  EXPECT_EQ(LiveObjectCount(), before + 4);
  CFRelease(text);
  EXPECT_EQ(LiveObjectCount(), before + 3);
  CFRelease(matching);
  EXPECT_EQ(LiveObjectCount(), before);
}

TEST_F(CfTest, ConstantsAreInternedAndNeverCounted) {
  const std::size_t before = LiveObjectCount();
  CFStringRef a = CFSTR("Location");
  EXPECT_EQ(a, CFSTR("Location"));
  CFRelease(a);
  CFRelease(kCFBooleanTrue);
  EXPECT_EQ(LiveObjectCount(), before);
  EXPECT_EQ(Text(a), "Location");
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
}

TEST(CfDeathTest, ReleasingNullAborts) { EXPECT_DEATH(CFRelease(nullptr), "CFRelease"); }

TEST_F(CfTest, StringCopiesNeedRoomForTheTerminator) {
  CFStringRef text = CFStringCreateWithCString(nullptr, "Écran 😀", kCFStringEncodingUTF8);
  const std::string utf8 = "Écran 😀";
  EXPECT_EQ(CFStringGetLength(text), 8);  // UTF-16 units: the emoji takes two
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(8, kCFStringEncodingUTF8), 24);
  std::vector<char> buffer(utf8.size() + 1);
  EXPECT_FALSE(CFStringGetCString(text, buffer.data(), static_cast<CFIndex>(utf8.size()),
                                  kCFStringEncodingUTF8));
  EXPECT_TRUE(CFStringGetCString(text, buffer.data(), static_cast<CFIndex>(buffer.size()),
                                 kCFStringEncodingUTF8));
  EXPECT_EQ(std::string(buffer.data()), utf8);
  EXPECT_EQ(CFStringCompare(text, CFSTR("Écran 😀"), 0), kCFCompareEqualTo);
  EXPECT_EQ(CFStringCompare(CFSTR("External"), CFSTR("external"), 0), -1);
  EXPECT_EQ(CFStringCompare(CFSTR("External"), CFSTR("external"), 1), kCFCompareEqualTo);
  CFRelease(text);
}

// Numbers come from registry properties; values that do not fit the asked type are refused.
TEST_F(CfTest, NumberReadsReportLoss) {
  Use(R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/fb",
           "info_extra": {"big": 4294967296, "neg": -1, "frac": 2.5, "max": 2147483647}}]})");
  io_service_t fb = ServiceWithId(1);
  CFDictionaryRef info = IODisplayCreateInfoDictionary(fb, 0);
  ASSERT_NE(info, nullptr);
  const struct {
    const char* key;
    CFNumberType type;
    bool exact;
    int64_t value;
  } cases[] = {
      {"big", kCFNumberSInt64Type, true, 4294967296},
      {"big", kCFNumberSInt32Type, false, 0},
      {"neg", kCFNumberSInt32Type, true, -1},
      {"max", kCFNumberSInt32Type, true, 2147483647},
      {"frac", kCFNumberSInt64Type, false, 2},
  };
  for (const auto& c : cases) {
    CFStringRef key = CFStringCreateWithCString(nullptr, c.key, kCFStringEncodingUTF8);
    const auto* number = static_cast<CFNumberRef>(CFDictionaryGetValue(info, key));
    ASSERT_NE(number, nullptr) << c.key;
    int64_t wide = 0;
    int32_t narrow = 0;
    void* out = c.type == kCFNumberSInt64Type ? static_cast<void*>(&wide) : &narrow;
    EXPECT_EQ(CFNumberGetValue(number, c.type, out) != 0, c.exact) << c.key;
    const int64_t got = c.type == kCFNumberSInt64Type ? wide : narrow;
    EXPECT_EQ(got, c.value) << c.key;
    CFRelease(key);
  }
  CFRelease(info);
  IOObjectRelease(fb);
}

TEST_F(CfTest, DictionaryWalksInInsertionOrder) {
  Use(R"({"framebuffers": [{"entry_id": 1, "path": "IOService:/fb",
           "names": {"zh_CN": "显示器", "en_US": "Screen", "de_DE": "Bildschirm"}}]})");
  io_service_t fb = ServiceWithId(1);
  CFDictionaryRef info = IODisplayCreateInfoDictionary(fb, 0);
  const auto* names =
      static_cast<CFDictionaryRef>(CFDictionaryGetValue(info, CFSTR("DisplayProductName")));
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(CFGetTypeID(names), CFDictionaryGetTypeID());
  EXPECT_EQ(CFDictionaryGetCount(names), 3);
  std::vector<std::string> seen;
  CFDictionaryApplyFunction(
      names,
      [](const void* key, const void* value, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(Text(key) + "=" + Text(value));
      },
      &seen);
  EXPECT_EQ(seen, (std::vector<std::string>{"zh_CN=显示器", "en_US=Screen", "de_DE=Bildschirm"}));
  EXPECT_EQ(CFDictionaryGetValue(info, CFSTR("NoSuchKey")), nullptr);
  CFRelease(info);
  IOObjectRelease(fb);
}

}  // namespace
}  // namespace lumra::sim::testing
