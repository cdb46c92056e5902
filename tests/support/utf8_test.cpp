#include "support/utf8.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumra::support {
namespace {

using namespace std::string_literals;

TEST(DecodeRune, WellFormedSequencesAtTheirBoundaries) {
  struct Case {
    std::string input;
    char32_t rune;
    std::size_t size;
  };
  const std::vector<Case> cases = {
      {"\x00"s, 0x00, 1},
      {"A", 0x41, 1},
      {"\x7f", 0x7F, 1},
      {"\xc2\x80", 0x80, 2},
      {"\xdf\xbf", 0x7FF, 2},
      {"\xe0\xa0\x80", 0x800, 3},
      {"\xed\x9f\xbf", 0xD7FF, 3},
      {"\xee\x80\x80", 0xE000, 3},
      {"\xef\xbf\xbf", 0xFFFF, 3},
      {"\xf0\x90\x80\x80", 0x10000, 4},
      {"\xf4\x8f\xbf\xbf", 0x10FFFF, 4},
      {"\xc3\xa9"
       "xyz",
       0xE9, 2},  // only the first character is consumed
  };
  for (const Case& c : cases) {
    const DecodedRune decoded = DecodeRune(c.input);
    EXPECT_TRUE(decoded.Valid) << std::hex << static_cast<unsigned>(c.rune);
    EXPECT_EQ(decoded.Rune, c.rune);
    EXPECT_EQ(decoded.Size, c.size) << std::hex << static_cast<unsigned>(c.rune);
  }
}

TEST(DecodeRune, IllFormedSequencesConsumeOneByte) {
  const std::vector<std::string> cases = {
      "\x80",
      "\xbf",
      "\xfe",
      "\xff",
      "\xf5\x80\x80\x80",  // never a lead byte
      "\xc0\x80",
      "\xc1\xbf",
      "\xe0\x80\x80",
      "\xe0\x9f\xbf",  // overlong
      "\xf0\x80\x80\x80",
      "\xf0\x8f\xbf\xbf",  // overlong
      "\xed\xa0\x80",
      "\xed\xbf\xbf",  // surrogates
      "\xf4\x90\x80\x80",
      "\xf7\xbf\xbf\xbf",  // above U+10FFFF
      "\xc3",
      "\xe2\x82",
      "\xf0\x9f\x98",  // truncated
      "\xc3\x28",
      "\xe2\x28\xa1",
      "\xe2\x82\x28",
      "\xf0\x9f\x98\x41",  // broken continuation
  };
  for (const std::string& input : cases) {
    const DecodedRune decoded = DecodeRune(input);
    EXPECT_FALSE(decoded.Valid) << testing::PrintToString(input);
    EXPECT_EQ(decoded.Size, 1u) << testing::PrintToString(input);
  }
  EXPECT_EQ(DecodeRune("").Size, 0u);
  EXPECT_FALSE(DecodeRune("").Valid);
}

TEST(DecodeRune, WalkResynchronisesAfterATruncatedSequence) {
  std::string_view text =
      "a\xe2\x82\xac"
      "b\xe2\x82"
      "c";
  std::vector<std::string> steps;
  while (!text.empty()) {
    const DecodedRune decoded = DecodeRune(text);
    steps.push_back(decoded.Valid ? std::to_string(decoded.Rune) : "bad");
    text.remove_prefix(decoded.Size);
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"97", "8364", "98", "bad", "bad", "99"}));
}

TEST(AppendRune, EncodesWhatDecodeRuneReadsBack) {
  const struct {
    char32_t rune;
    std::string encoded;
  } cases[] = {
      {0x00, "\x00"s},
      {0x7F, "\x7f"},
      {0x80, "\xc2\x80"},
      {0x7FF, "\xdf\xbf"},
      {0x800, "\xe0\xa0\x80"},
      {0x20AC, "\xe2\x82\xac"},
      {0xFFFF, "\xef\xbf\xbf"},
      {0x10000, "\xf0\x90\x80\x80"},
      {0x10FFFF, "\xf4\x8f\xbf\xbf"},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    AppendRune(out, c.rune);
    EXPECT_EQ(out, "x" + c.encoded) << std::hex << static_cast<unsigned>(c.rune);
    const DecodedRune back = DecodeRune(std::string_view(out).substr(1));
    EXPECT_TRUE(back.Valid);
    EXPECT_EQ(back.Rune, c.rune);
    EXPECT_EQ(back.Size, c.encoded.size());
  }
}

}  // namespace
}  // namespace lumra::support
