#include "support/number.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace lumra::support {
namespace {

constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();

TEST(ParseUnsignedLiteralTest, Accepts) {
  const struct {
    std::string text;
    std::uint64_t maximum;
    std::uint64_t want;
  } cases[] = {
      {"0", 255, 0},
      {"16", 255, 16},
      {"255", 255, 255},
      {"0x10", 255, 16},
      {"0XfF", 255, 255},
      {"0b10000", 255, 16},
      {"0B1", 255, 1},
      {"0o20", 255, 16},
      {"0O7", 255, 7},
      {"020", 255, 16},
      {"00", 255, 0},
      {"0_7", 255, 7},
      {"0x_1_0", 255, 16},
      {"0b_1", 255, 1},
      {"1_000", 1000, 1000},
      {"5", 5, 5},
      {"18446744073709551615", kMax64, kMax64},
      {"0xFFFFFFFFFFFFFFFF", kMax64, kMax64},
  };
  for (const auto& c : cases) {
    const auto got = ParseUnsignedLiteral(c.text, c.maximum);
    ASSERT_TRUE(got.has_value()) << c.text;
    EXPECT_EQ(*got, c.want) << c.text;
  }
}

TEST(ParseUnsignedLiteralTest, Rejects) {
  const struct {
    std::string text;
    std::uint64_t maximum;
  } cases[] = {
      {"", 255},
      {"0x", 255},
      {"0b", 255},
      {"0o", 255},
      {"0x_", 255},
      {"256", 255},
      {"0x100", 255},
      {"0400", 255},
      {"0b100000000", 255},
      {"09", 255},
      {"08", 255},
      {"0b2", 255},
      {"0o8", 255},
      {"0xg", 255},
      {"1a", 255},
      {"_1", 255},
      {"1_", 255},
      {"1__0", 255},
      {"0x__1", 255},
      {"0_x1", 255},
      {"00x1", 255},
      {"+1", 255},
      {"-1", 255},
      {" 1", 255},
      {"1 ", 255},
      {"1.0", 255},
      // A single digit above a small maximum must not slip through.
      {"7", 5},
      {"9", 0},
      {"0xF", 9},
      {"1", 0},
      {"18446744073709551616", kMax64},
      {"0x10000000000000000", kMax64},
      {"99999999999999999999999", kMax64},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(ParseUnsignedLiteral(c.text, c.maximum).has_value())
        << c.text << " max " << c.maximum;
  }
}

TEST(ParseDecimalInt64Test, AcceptsAndRejects) {
  const struct {
    std::string text;
    std::optional<std::int64_t> want;
  } cases[] = {
      {"0", 0},
      {"00", 0},
      {"+0", 0},
      {"-0", 0},
      {"42", 42},
      {"-7", -7},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {" 0", std::nullopt},
      {"0 ", std::nullopt},
      {"+-1", std::nullopt},
      {"0x10", std::nullopt},
      {"1_0", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDecimalInt64(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace lumra::support
