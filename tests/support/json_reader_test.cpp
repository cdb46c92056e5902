#include "support/json_reader.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "support/json.hpp"

namespace lumra::support {
namespace {

// The value written back compactly, numbers as their literals: what the reader understood.
void Reencode(JSONWriter& out, const JSONValue& value) {
  switch (value.Kind) {
    case JSONKind::Null:
      out.Null();
      break;
    case JSONKind::Bool:
      out.Bool(value.Boolean);
      break;
    case JSONKind::Number:
      out.Encoded(value.Text);
      break;
    case JSONKind::String:
      out.String(value.Text);
      break;
    case JSONKind::Array:
      out.BeginArray();
      for (const JSONValue& element : value.Elements) Reencode(out, element);
      out.EndArray();
      break;
    case JSONKind::Object:
      out.BeginObject();
      for (const JSONMember& member : value.Members) {
        out.Key(member.Key);
        Reencode(out, member.Value);
      }
      out.EndObject();
      break;
  }
}

TEST(ReadJSONTest, AcceptsDocuments) {
  const std::string deep =
      std::string(kJSONMaximumDepth, '[') + std::string(kJSONMaximumDepth, ']');
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {" \t\r\n null \n", "null"},
      {"[true,false,null]", "[true,false,null]"},
      {"[0, -0, 12, -3.25, 1e5, 1E-2, 0.5e+3]", "[0,-0,12,-3.25,1e5,1E-2,0.5e+3]"},
      {"{\"b\": 1, \"a\": {\"c\": []}, \"\": {}}", "{\"b\":1,\"a\":{\"c\":[]},\"\":{}}"},
      {R"("\"\\\/\b\f\n\r\t")", R"("\"\\/\b\f\n\r\t")"},
      {R"("\u00e9\u4E2D\ud83d\ude00")", "\"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\""},
      {"\"\xC3\xA9\xF0\x9F\x98\x80\"", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
      {R"("\u0000")", R"("\u0000")"},
      {"{\"a\":1,\"A\":2}", "{\"a\":1,\"A\":2}"},  // keys compare byte for byte
      {deep, deep},
  };
  for (const auto& c : cases) {
    const auto [value, err] = ReadJSON(c.text);
    ASSERT_FALSE(err) << c.text << ": " << err.Message();
    JSONWriter writer;
    Reencode(writer, value);
    EXPECT_EQ(writer.Text(), c.want) << c.text;
  }
}

TEST(ReadJSONTest, RefusesWithPosition) {
  const std::string tooDeep =
      std::string(kJSONMaximumDepth + 1, '[') + std::string(kJSONMaximumDepth + 1, ']');
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {"", "line 1, column 1: expected a value, found the end of the text"},
      {"\xEF\xBB\xBF{}", "line 1, column 1: expected a value, found U+FEFF"},
      {"{}\n\n  x", "line 3, column 3: expected the end of the text, found \"x\""},
      {"[\"\xC3\xA9\xC3\xA9\", ]", "line 1, column 8: expected a value, found \"]\""},
      {"{\"a\":1,}", "line 1, column 8: expected a string key, found \"}\""},
      {"{\"a\" 1}", "line 1, column 6: expected \":\", found \"1\""},
      {"[1 2]", "line 1, column 4: expected \",\" or \"]\", found \"2\""},
      {"{\"a\":1\n,\"a\":2}", "line 2, column 2: duplicate key \"a\""},
      {"// c\n1", "line 1, column 1: expected a value, found \"/\""},
      {"01", "line 1, column 2: a number may not begin with 0 followed by digits"},
      {"-x", "line 1, column 2: expected a digit after \"-\", found \"x\""},
      {"1.e3", "line 1, column 3: expected a digit after \".\", found \"e\""},
      {"tru", "line 1, column 4: expected true, found the end of the text"},
      {"\"abc", "line 1, column 1: unterminated string"},
      {"\"a\tb\"", "line 1, column 3: control character U+0009 in a string"},
      {"\"\xC0\xAF\"", "line 1, column 2: invalid UTF-8 (byte 0xC0) in a string"},
      {"\"\xED\xA0\x80\"", "line 1, column 2: invalid UTF-8 (byte 0xED) in a string"},
      {R"("\x")",
       R"(line 1, column 3: expected an escape (\" \\ \/ \b \f \n \r \t \u) after the backslash, found "x")"},
      {R"("\u12G4")", R"(line 1, column 6: expected four hexadecimal digits after \u, found "G")"},
      {R"("\ud800")", R"(line 1, column 2: unpaired surrogate \uD800)"},
      {R"("a\ud800\u0041")", R"(line 1, column 3: unpaired surrogate \uD800)"},
      {R"("\udc00\ud800")", R"(line 1, column 2: unpaired surrogate \uDC00)"},
      {tooDeep, "line 1, column 65: nesting deeper than 64 levels"},
  };
  for (const auto& c : cases) {
    const auto [value, err] = ReadJSON(c.text);
    EXPECT_EQ(err.Message(), c.want) << c.text;
  }
}

TEST(JSONValueTest, IntegersByLiteral) {
  const struct {
    std::string text;
    std::optional<std::uint64_t> unsignedValue;
    std::optional<std::int64_t> signedValue;
  } cases[] = {
      {"0", 0, 0},
      {"-0", 0, 0},
      {"65535", 65535, 65535},
      {"-1", {}, -1},
      {"18446744073709551615", UINT64_MAX, {}},
      {"18446744073709551616", {}, {}},
      {"-9223372036854775808", {}, INT64_MIN},
      {"1.0", {}, {}},
      {"\"1\"", {}, {}},
  };
  for (const auto& c : cases) {
    const JSONValue value = ReadJSON(c.text).Value;
    EXPECT_EQ(value.AsUint64(), c.unsignedValue) << c.text;
    EXPECT_EQ(value.AsInt64(), c.signedValue) << c.text;
  }
}

}  // namespace
}  // namespace lumra::support
