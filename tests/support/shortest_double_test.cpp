#include "support/shortest_double.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <version>
#if defined(__cpp_lib_to_chars)
#include <charconv>
#endif

namespace lumra::support {
namespace {

double FromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TEST(ShortestScientific, KnownValues) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "0e+00"},
      {-0.0, "-0e+00"},
      {1.0, "1e+00"},
      {0.1, "1e-01"},
      {-2.5, "-2.5e+00"},
      {74.97, "7.497e+01"},
      {123456789012345680000.0, "1.2345678901234568e+20"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {2.2250738585072014e-308, "2.2250738585072014e-308"},
      // Powers of two, where the gap below is half the gap above.
      {9007199254740992.0, "9.007199254740992e+15"},
      {FromBits(0x4340000000000000), "9.007199254740992e+15"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShortestScientific(c.value), c.text) << c.text;
}

// Every finite value reads back; no shorter text would.
TEST(ShortestScientific, ReadsBackAndIsShortest) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 20000; ++i) {
    const double value = FromBits(random());
    if (!std::isfinite(value)) continue;
    const std::string text = ShortestScientific(value);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    const std::size_t e = text.find('e');
    const std::size_t digits = e - (text[0] == '-') - (text.find('.') < e);
    if (digits > 1) {
      char shorter[40];
      std::snprintf(shorter, sizeof shorter, "%.*e", static_cast<int>(digits) - 2, value);
      EXPECT_NE(std::strtod(shorter, nullptr), value) << text << " vs " << shorter;
    }
  }
}

#if defined(__cpp_lib_to_chars)
// Where the standard library has it, the text is exactly std::to_chars's, random bit patterns
// and the powers of two alike.
TEST(ShortestScientific, MatchesToChars) {
  std::mt19937_64 random(8122026);
  auto expectSame = [](double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    ASSERT_EQ(ShortestScientific(value), std::string(buffer, result.ptr));
  };
  for (int i = 0; i < 50000; ++i) {
    const double value = FromBits(random());
    if (std::isfinite(value)) expectSame(value);
  }
  for (std::uint64_t exponent = 0; exponent < 0x7FF; ++exponent) {
    expectSame(FromBits(exponent << 52));
    expectSame(FromBits((exponent << 52) | 1));
    expectSame(FromBits((exponent << 52) | 0xFFFFFFFFFFFFF));
  }
}
#endif

}  // namespace
}  // namespace lumra::support
