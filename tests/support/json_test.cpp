#include "support/json.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace lumra::support {
namespace {

std::string Quoted(std::string_view text, bool escapeHTML = false) {
  std::string out;
  AppendJSONString(out, text, escapeHTML);
  return out;
}

TEST(JSONWriter, PlacesCommasInNestedContainers) {
  JSONWriter w;
  w.BeginObject();
  w.Key("a");
  w.BeginArray();
  w.Int(1);
  w.BeginObject();
  w.Key("b");
  w.Null();
  w.Key("c");
  w.BeginArray();
  w.EndArray();
  w.EndObject();
  w.String("x");
  w.BeginArray();
  w.Bool(false);
  w.EndArray();
  w.EndArray();
  w.Key("d");
  w.BeginObject();
  w.EndObject();
  w.Key("e");
  w.Bool(true);
  w.Key("f");
  w.Double(59.951);
  w.EndObject();
  ASSERT_FALSE(w.Failed());
  EXPECT_EQ(w.Text(), R"({"a":[1,{"b":null,"c":[]},"x",[false]],"d":{},"e":true,"f":59.951})");
}

TEST(JSONWriter, FieldWritesTheKeyAndTheValueItsTypeMakes) {
  JSONWriter w;
  w.BeginObject();
  w.Field("s", "text");
  w.Field("t", std::string("x"));
  w.Field("b", true);
  w.Field("u8", std::uint8_t{255});
  w.Field("i", std::int64_t{-1});
  w.Field("d", 0.5);
  w.Field("none", std::optional<bool>());
  w.Field("some", std::optional<bool>(false));
  w.EndObject();
  EXPECT_EQ(w.Text(),
            R"({"s":"text","t":"x","b":true,"u8":255,"i":-1,"d":0.5,"none":null,"some":false})");
}

TEST(JSONWriter, TopLevelArrayAndIntegerExtremes) {
  JSONWriter w;
  w.BeginArray();
  w.BeginObject();
  w.Key("min");
  w.Int(std::numeric_limits<std::int64_t>::min());
  w.EndObject();
  w.BeginObject();
  w.Key("max");
  w.Uint(std::numeric_limits<std::uint64_t>::max());
  w.EndObject();
  w.EndArray();
  EXPECT_EQ(w.Text(), R"([{"min":-9223372036854775808},{"max":18446744073709551615}])");
}

TEST(JSONString, Escapes) {
  struct Case {
    std::string_view in;
    std::string_view want;
  };
  const Case cases[] = {
      {"plain", R"("plain")"},
      {"\"\\", R"("\"\\")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string_view("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
      {"\x1b[0m", R"("\u001b[0m")"},
      {"\x7f", "\"\x7f\""},
      {"/", R"("/")"},
      {"<a&b>", R"("<a&b>")"},
      {"\u00e9\u4e2d\U0001F600", "\"\u00e9\u4e2d\U0001F600\""},
      {"a\u2028b\u2029c", R"("a\u2028b\u2029c")"},
      // Each byte of invalid UTF-8 becomes one replacement escape.
      {"\xff", R"("\ufffd")"},
      {"\xE2\x82\x41", R"("\ufffd\ufffdA")"},
      {"\xC0\xAF", R"("\ufffd\ufffd")"},                      // overlong '/'
      {"\xE0\x80\xAF", R"("\ufffd\ufffd\ufffd")"},            // overlong three-byte form
      {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},            // surrogate U+D800
      {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},  // above U+10FFFF
      {"\xF0\x9F\x98", R"("\ufffd\ufffd\ufffd")"},            // truncated at the end
      {"\x80x", R"("\ufffdx")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Quoted(c.in), c.want) << c.want;
  }
}

TEST(JSONString, HTMLEscapingOnlyWhenAsked) {
  EXPECT_EQ(Quoted("<a&b>", true), R"("\u003ca\u0026b\u003e")");
  EXPECT_EQ(Quoted("\n\u2028\xff", true), R"("\n\u2028\ufffd")");

  JSONWriter w(true);
  w.BeginObject();
  w.Key("<k>");
  w.String("unknown command: <x>&");
  w.EndObject();
  EXPECT_EQ(w.Text(), R"({"\u003ck\u003e":"unknown command: \u003cx\u003e\u0026"})");
}

TEST(JSONNumber, ShortestForm) {
  struct Case {
    double value;
    std::string_view json;
    std::string_view plain;
  };
  const Case cases[] = {
      {60, "60", "60"},
      {59.951, "59.951", "59.951"},
      {0, "0", "0"},
      {-0.0, "-0", "-0"},
      {0.1, "0.1", "0.1"},
      {-2.5, "-2.5", "-2.5"},
      {1e-6, "0.000001", "0.000001"},
      {1.5e-6, "0.0000015", "0.0000015"},
      {1e-7, "1e-7", "0.0000001"},
      {-1.25e-7, "-1.25e-7", "-0.000000125"},
      {1e20, "100000000000000000000", "100000000000000000000"},
      {123456789012345680000.0, "123456789012345680000", "123456789012345680000"},
      {1e21, "1e+21", "1000000000000000000000"},
      {1e23, "1e+23", "100000000000000000000000"},
      {1.5e300, "1.5e+300", ""},
      {5e-324, "5e-324", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatJSONNumber(c.value), c.json) << c.json;
    if (!c.plain.empty()) {
      EXPECT_EQ(FormatPlainDecimal(c.value), c.plain) << c.plain;
    }
  }
}

TEST(JSONNumber, PlainDecimalNeverUsesAnExponent) {
  for (double value : {1.5e300, 5e-324, -1.7976931348623157e308, 2.5e-10}) {
    const std::string text = FormatPlainDecimal(value);
    EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
  }
}

TEST(JSONWriter, NonFiniteNumberFails) {
  for (double value :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    JSONWriter w;
    w.BeginArray();
    w.Double(value);
    w.EndArray();
    EXPECT_TRUE(w.Failed());
    EXPECT_FALSE(w.ExceededLimit());
  }
}

TEST(JSONWriter, SizeLimit) {
  // {"k":"v"} is 9 bytes.
  JSONWriter exact(false, 9);
  exact.BeginObject();
  exact.Key("k");
  exact.String("v");
  exact.EndObject();
  EXPECT_FALSE(exact.Failed());
  EXPECT_EQ(exact.Text(), R"({"k":"v"})");

  JSONWriter over(false, 8);
  over.BeginObject();
  over.Key("k");
  over.String("v");
  over.EndObject();
  EXPECT_TRUE(over.Failed());
  EXPECT_TRUE(over.ExceededLimit());

  JSONWriter early(false, 4);
  early.BeginArray();
  early.String("longer than the limit");
  EXPECT_TRUE(early.ExceededLimit());
  early.Int(1);
  early.EndArray();
  EXPECT_TRUE(early.Failed());
  EXPECT_EQ(early.Text().find("1]"), std::string::npos);
}

}  // namespace
}  // namespace lumra::support
