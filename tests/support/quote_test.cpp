#include "support/quote.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumra::support {
namespace {

using namespace std::string_literals;

TEST(QuoteGo, EscapesControlsInvalidBytesAndInvisibleCharacters) {
  struct Case {
    std::string input;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"", R"("")"},
      {"abc 1.2,;", R"("abc 1.2,;")"},
      {R"(a"b\c)", R"("a\"b\\c")"},
      {"\a\b\f\n\r\t\v", R"("\a\b\f\n\r\t\v")"},
      {"\x00\x01\x1f\x7f"s, R"("\x00\x01\x1f\x7f")"},
      // Bytes of invalid UTF-8, one escape each, lower-case.
      {"\xAB\xff", R"("\xab\xff")"},
      {"\xc3", R"("\xc3")"},
      {"\xc0\xaf", R"("\xc0\xaf")"},
      {"\xed\xa0\x80", R"("\xed\xa0\x80")"},
      {"\xf4\x90\x80\x80", R"("\xf4\x90\x80\x80")"},
      {"\xe2\x82"
       "A",
       R"("\xe2\x82A")"},
      // C1 controls and the invisible format and separator characters.
      {"\xc2\x80\xc2\x85\xc2\x9f", R"("\u0080\u0085\u009f")"},
      {"\xc2\xad", R"("\u00ad")"},
      {"\xe2\x80\x8b\xe2\x80\x8f", R"("\u200b\u200f")"},
      {"\xe2\x80\xa8\xe2\x80\xae", R"("\u2028\u202e")"},
      {"\xe2\x81\xa0\xe2\x81\xa4", R"("\u2060\u2064")"},
      {"\xef\xbb\xbf", R"("\ufeff")"},
      // Every other well-formed character is written as it is, with no Unicode tables:
      // neighbours of the escaped ranges, other spaces, private use, unassigned, non-characters.
      {"\xe2\x80\x8a\xe2\x80\x90\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5",
       "\"\xe2\x80\x8a\xe2\x80\x90\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\""},
      {"\xc2\xa0\xe3\x80\x80", "\"\xc2\xa0\xe3\x80\x80\""},
      {"\xcd\xb8\xee\x80\x80\xef\xbf\xbf", "\"\xcd\xb8\xee\x80\x80\xef\xbf\xbf\""},
      {"\xf3\xa0\x80\x81\xf4\x8f\xbf\xbf", "\"\xf3\xa0\x80\x81\xf4\x8f\xbf\xbf\""},
      // Printable characters stay as they are, U+FFFD itself included.
      {"\xc2\xa1\xc3\xa9\xc3\xbf", "\"\xc2\xa1\xc3\xa9\xc3\xbf\""},
      {"e\xcc\x81", "\"e\xcc\x81\""},
      {"\xe4\xb8\xad\xe6\x96\x87", "\"\xe4\xb8\xad\xe6\x96\x87\""},
      {"\xef\xbf\xbd", "\"\xef\xbf\xbd\""},
      {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
      {"\xf0\x9f\x9b\x9c", "\"\xf0\x9f\x9b\x9c\""},
      {"a\xff"
       "b\xe2\x80\x8b"
       "c\x7f",
       R"("a\xffb\u200bc\x7f")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuoteGo(c.input), c.want) << c.want;
  }
}

TEST(OneLineField, EveryControlCharacterBecomesASpace) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Orvane Q27 Pro", "Orvane Q27 Pro"},
      {"a\tb\nc\r\x01\x1F\x7F", "a b c    "},
      {"\xC2\x80\xC2\x9F\xC2\xA0", "  \xC2\xA0"},  // C1 controls, then a no-break space
      {"\xC2", "\xC2"},                            // a cut-off character is kept
      {"\xE6\x98\xBE\xC3\x89", "\xE6\x98\xBE\xC3\x89"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(OneLineField(text), want) << text;
}

TEST(EscapeControls, OnlyControlsAreEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"invalid feature: brightness", "invalid feature: brightness"},
      {"a\nb\tc\x1B[0m\x7F", R"(a\nb\tc\x1b[0m\x7f)"},
      {"\xC2\x85", R"(\u0085)"},
      {R"(back\slash "quoted")", R"(back\slash "quoted")"},
      {"\xFF\xC3\x89", "\xFF\xC3\x89"},  // invalid bytes and other characters stay
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(EscapeControls(text), want) << text;
}

}  // namespace
}  // namespace lumra::support
