#include "support/unicode_fold.hpp"

#include <gtest/gtest.h>

#include <string>

namespace lumra::support {
namespace {

TEST(TrimUnicodeSpaceTest, StripsWhiteSpacePropertyOnly) {
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {"", ""},
      {" \t\n\v\f\r", ""},
      {"  a b  ", "a b"},
      {"\xC2\x85"
       "a"
       "\xC2\xA0",
       "a"},  // U+0085, U+00A0
      {"\xE1\x9A\x80"
       "a"
       "\xE2\x80\x8A",
       "a"},  // U+1680, U+200A
      {"\xE2\x80\x80"
       "a"
       "\xE2\x80\xA8\xE2\x80\xA9",
       "a"},  // U+2000, U+2028, U+2029
      {"\xE2\x80\xAF"
       "a"
       "\xE2\x81\x9F",
       "a"},  // U+202F, U+205F
      {"\xE3\x80\x80"
       "a"
       "\xE3\x80\x80",
       "a"},  // U+3000
      {"\xE2\x80\x8B"
       "a",
       "\xE2\x80\x8B"
       "a"},  // U+200B is not white space
      {"a"
       "\xEF\xBB\xBF",
       "a"
       "\xEF\xBB\xBF"},  // nor is U+FEFF
      {"\x1C"
       "a",
       "\x1C"
       "a"},  // nor are the separators U+001C
      // Invalid UTF-8 stops trimming and is kept byte for byte.
      {" \xFF ", "\xFF"},
      {" \xA0", "\xA0"},
      {"\xC2 ", "\xC2"},
      {"a\xE3\x80", "a\xE3\x80"},
      {"\xE3\x80 ", "\xE3\x80"},
      {"\xE0\x80\xA0", "\xE0\x80\xA0"},  // overlong U+0020
      {"\xC0\xA0", "\xC0\xA0"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimUnicodeSpace(c.text), c.want) << c.text;
}

TEST(FoldToASCIILowerTest, FoldsOnlyWhatBecomesASCII) {
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {"", ""},
      {"BRIGHTNESS-09:X", "brightness-09:x"},
      {"BR\xC4\xB0GHTNESS", "brightness"},  // U+0130
      {"\xE2\x84\xAA"
       "ELVIN",
       "kelvin"},                // U+212A
      {"\xC4\xB1", "\xC4\xB1"},  // dotless i stays
      {"\xC5\xBF", "\xC5\xBF"},  // long s stays
      {"\xC3\x84", "\xC3\x84"},  // other letters are kept as they are
      {"A\xFF"
       "B",
       "a\xFF"
       "b"},             // invalid bytes are kept, the rest still folds
      {"\xC4", "\xC4"},  // a cut-off U+0130 is not folded
      {"\xC4\xB0\xC4", "i\xC4"},
      {"\xC0\xC1", "\xC0\xC1"},  // overlong forms are not "A"
  };
  for (const auto& c : cases) EXPECT_EQ(FoldToASCIILower(c.text), c.want) << c.text;
}

TEST(FoldCaseTest, FoldsTheLettersOfNames) {
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {"\xC3\x89"
       "cran Bureau",
       "\xC3\xA9"
       "cran bureau"},                           // É
      {"\xC3\x97\xC3\x9F", "\xC3\x97\xC3\x9F"},  // × and ß have no lower case here
      {"\xC5\xB8\xC4\x8C\xC5\x81", "\xC3\xBF\xC4\x8D\xC5\x82"},  // Ÿ Č Ł
      {"\xC4\xB0\xC4\xB1", "i\xC4\xB1"},                         // İ and dotless ı
      {"\xCE\x86\xCE\xA3\xCE\xA9", "\xCE\xAC\xCF\x83\xCF\x89"},  // Ά Σ Ω
      {"\xD0\x81\xD0\x9C\xD0\xAF", "\xD1\x91\xD0\xBC\xD1\x8F"},  // Ё М Я
      {"\xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8", "\xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8"},  // 显示器
      {"A\xFF", "a\xFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FoldCase(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace lumra::support
