#include <gtest/gtest.h>

#include <chrono>

#include "cli/duration.hpp"
#include "cli/options.hpp"

namespace lumra::cli {
namespace {

using namespace std::chrono_literals;

struct OptionsCase {
  std::vector<std::string> words{};
  std::vector<std::string> command{};
  bool json = false;
  bool unsafe = false;
  std::string locale{};
  support::Duration timeout = 5s;
  std::string errorKey{};
  std::string errorValue{};
};

TEST(ParseOptions, Grammar) {
  const std::vector<OptionsCase> cases = {
      {{"get", "1", "brightness", "--json"}, {"get", "1", "brightness"}, true},
      {{"--json", "get", "1", "brightness"}, {"get", "1", "brightness"}, true},
      {{"--", "set", "1", "brightness", "--json"}, {"set", "1", "brightness", "--json"}},
      {{"--unsafe", "set", "--", "--unsafe"}, {"set", "--unsafe"}, false, true},
      {{"-", "x"}, {"-", "x"}},
      {{"", "x"}, {"", "x"}},
      {{"--lang", "--json", "list"}, {"list"}, false, false, "--json"},
      {{"--lang=", "list"}, {"list"}, false, false, ""},
      {{"--lang=zh=CN", "list"}, {"list"}, false, false, "zh=CN"},
      {{"--lang", "en", "--lang", "zh", "list"}, {"list"}, false, false, "zh"},
      {{"--timeout", "10s", "--timeout", "1s", "list"}, {"list"}, false, false, "", 1s},
      {{"--timeout=1500ms", "list"}, {"list"}, false, false, "", 1500ms},
      {{"--timeout", "-1s"}, {}, false, false, "", 5s, "invalid_timeout", "-1s"},
      {{"list", "-h", "extra"}, {"help"}},
      {{"--json", "list", "--help", "--bogus"}, {"help"}, true},
      {{"--bogus", "--help"}, {}, false, false, "", 5s, "invalid_option", "--bogus"},
      {{"--json", "--JSON"}, {}, true, false, "", 5s, "invalid_option", "--JSON"},
      {{"-j"}, {}, false, false, "", 5s, "invalid_option", "-j"},
      {{"--json=true"}, {}, false, false, "", 5s, "invalid_option", "--json=true"},
      {{"---json"}, {}, false, false, "", 5s, "invalid_option", "---json"},
      {{"--unsafe=1"}, {}, false, false, "", 5s, "invalid_option", "--unsafe=1"},
      {{"set", "1", "brightness", "-5"}, {}, false, false, "", 5s, "invalid_option", "-5"},
      // Only adjust's delta may begin with "-", and only with a digit after it.
      {{"--json", "adjust", "0", "brightness", "-5%", "--unsafe"},
       {"adjust", "0", "brightness", "-5%"},
       true,
       true},
      {{"adjust", "0", "brightness", "-x"}, {}, false, false, "", 5s, "invalid_option", "-x"},
      {{"adjust", "0", "brightness", "--json"}, {"adjust", "0", "brightness"}, true},
      {{"adjust", "0", "-5"}, {}, false, false, "", 5s, "invalid_option", "-5"},
      {{"--timeout"}, {}, false, false, "", 5s, "missing_option", "--timeout"},
      {{"--unsafe", "--lang"}, {}, false, true, "", 5s, "missing_option", "--lang"},
      {{"--timeout="}, {}, false, false, "", 5s, "invalid_timeout", ""},
      {{"--timeout", "0"}, {}, false, false, "", 5s, "invalid_timeout", "0"},
      {{"--timeout=-2s"}, {}, false, false, "", 5s, "invalid_timeout", "-2s"},
      {{"--lang", "zh", "--timeout", "5 s", "list"},
       {},
       false,
       false,
       "zh",
       5s,
       "invalid_timeout",
       "5 s"},
  };
  for (const OptionsCase& c : cases) {
    std::string line;
    for (const std::string& word : c.words) line += "[" + word + "]";
    const ParsedCommandLine result = ParseOptions(c.words);
    EXPECT_EQ(result.CommandArguments, c.command) << line;
    EXPECT_EQ(result.Parsed.Json, c.json) << line;
    EXPECT_EQ(result.Parsed.Unsafe, c.unsafe) << line;
    EXPECT_EQ(result.Parsed.Locale, c.locale) << line;
    EXPECT_EQ(result.Parsed.Timeout, c.timeout) << line;
    EXPECT_EQ(result.Error.has_value(), !c.errorKey.empty()) << line;
    if (result.Error) {
      EXPECT_EQ(result.Error->Key, c.errorKey) << line;
      EXPECT_EQ(result.Error->Value, c.errorValue) << line;
    }
  }
}

TEST(ParseDuration, AcceptedTexts) {
  const std::vector<std::pair<std::string, support::Duration>> cases = {
      {"3s", 3s},
      {"1500ms", 1500ms},
      {"1h30m", 90min},
      {"2.5s", 2500ms},
      {"+4s", 4s},
      {"5.s", 5s},
      {".5s", 500ms},
      {"1.5h", 90min},
      {"0", 0s},
      {"-0", 0s},
      {"0s", 0s},
      {"-1s", -1s},
      {"10ns", 10ns},
      {"7us", 7us},
      {"7\xC2\xB5s", 7us},
      {"7\xCE\xBCs", 7us},
      {"1m0.5s", 60500ms},
      {"1.0000000009s", 1s},  // the remainder below a nanosecond is dropped
      {"0.333333333333s", 333333333ns},
      {"1.9999999999ns", 1ns},
      {"0.1h", 6min},
      {"9223372036854775807ns", support::Duration::max()},
      {"-9223372036854775808ns", support::Duration::min()},
      {"2562047h47m16.854775807s", support::Duration::max()},
  };
  for (const auto& [text, expected] : cases) {
    const auto parsed = ParseDuration(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_EQ(parsed->count(), expected.count()) << text;
  }
}

TEST(ParseDuration, RefusedTexts) {
  const std::vector<std::string> cases = {
      "",
      "5",
      "5S",
      "5 s",
      "5sec",
      " 5s",
      "5s ",
      ".s",
      ".",
      "s",
      "1.2.3s",
      "+",
      "-",
      "00",
      "1h-5m",
      "5Ms",
      "3d",
      "1e3s",
      "--1s",
      "0x10s",
      "9223372036854775808ns",
      "2562048h",
      "99999999999999999999ns",
      "-9223372036854775809ns",
  };
  for (const std::string& text : cases) {
    EXPECT_FALSE(ParseDuration(text).has_value()) << "[" << text << "]";
  }
}

}  // namespace
}  // namespace lumra::cli
