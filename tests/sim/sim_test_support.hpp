// Shared helpers of the stand-in platform's tests: a scenario per test in a private HOME, and
// byte-sequence helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "sim/framework/macos_api.h"
#include "sim/simulator.hpp"

namespace lumra::sim::testing {

using ByteVector = std::vector<std::uint8_t>;

// "6E 80 BE" → {0x6E, 0x80, 0xBE}.
inline ByteVector Hex(const std::string& text) {
  ByteVector out;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  return out;
}

inline std::string Spaced(const ByteVector& bytes) {
  std::string text;
  char pair[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += (i == 0 ? "" : " ") + std::string(pair);
  }
  return text;
}

// Each test runs in its own HOME with no scenario loaded, and must leave no live object.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetScenario();
    baseline_ = LiveObjectCount();
  }
  void TearDown() override {
    EXPECT_EQ(LiveObjectCount(), baseline_) << DescribeLiveObjects();
    ResetScenario();
  }
  void Use(const std::string& json) {
    const auto err = UseScenarioText(json, "test.json");
    ASSERT_FALSE(err) << err.Message();
  }

  TemporaryHome home_;
  std::size_t baseline_ = 0;
};

// The UTF-8 text of a CF string, "" for anything else.
inline std::string Text(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return "";
  char buffer[1024];
  if (!CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer,
                          kCFStringEncodingUTF8)) {
    return "";
  }
  return buffer;
}

inline int64_t Number(CFTypeRef value) {
  int64_t out = -1;
  if (value != nullptr && CFGetTypeID(value) == CFNumberGetTypeID()) {
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &out);
  }
  return out;
}

// The service with this registry entry ID (+1), or 0.
inline io_service_t ServiceWithId(uint64_t id) {
  return IOServiceGetMatchingService(kIOMainPortDefault, IORegistryEntryIDMatching(id));
}

}  // namespace lumra::sim::testing
