#include "platform/ioav_framing_setting.hpp"

#include <gtest/gtest.h>

#include <string>

namespace lumra::platform {
namespace {

TEST(ReadIOAVFramingTest, AcceptsTheBridgesFramingsAndNamesARefusedValue) {
  struct Case {
    std::string value;
    std::string error;  // empty: accepted
  };
  const Case cases[] = {
      {"", ""},
      {"standard", ""},
      {"ps190", ""},
      {"PS190", ""},
      {"Standard", ""},
      {"hdmi", "invalid LUMRA_IOAV_FRAMING: hdmi"},
      {" standard", "invalid LUMRA_IOAV_FRAMING:  standard"},
  };
  for (const Case& c : cases) {
    // Only the variable's own name finds the value.
    const IOAVFramingSetting got = ReadIOAVFraming([&](const std::string& name) {
      return name == "LUMRA_IOAV_FRAMING" ? c.value : std::string("standard");
    });
    EXPECT_EQ(got.Value, c.value);
    EXPECT_EQ(got.Err.Message(), c.error) << c.value;
    EXPECT_EQ(support::Is(got.Err, kErrInvalidIOAVFraming), !c.error.empty()) << c.value;
  }
}

}  // namespace
}  // namespace lumra::platform
