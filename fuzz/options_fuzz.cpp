// The global option parser and the duration syntax of --timeout, on command lines cut from
// the input at NUL bytes.
#include <algorithm>
#include <limits>

#include "cli/duration.hpp"
#include "cli/options.hpp"
#include "fuzz_check.hpp"

namespace {

using lumra::cli::ParsedCommandLine;
using lumra::cli::ParseDuration;
using lumra::fuzz::SplitWords;

bool SameResult(const ParsedCommandLine& a, const ParsedCommandLine& b) {
  const bool sameError =
      a.Error.has_value() == b.Error.has_value() &&
      (!a.Error || (a.Error->Key == b.Error->Key && a.Error->Value == b.Error->Value));
  return sameError && a.CommandArguments == b.CommandArguments && a.Parsed.Json == b.Parsed.Json &&
         a.Parsed.Unsafe == b.Parsed.Unsafe && a.Parsed.Locale == b.Parsed.Locale &&
         a.Parsed.Timeout == b.Parsed.Timeout;
}

bool IsOneOf(const std::string& word, const std::vector<std::string>& words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

void CheckCommandLine(const std::vector<std::string>& words) {
  const ParsedCommandLine result = lumra::cli::ParseOptions(words);
  FUZZ_CHECK(SameResult(result, lumra::cli::ParseOptions(words)), "parsing is not deterministic");
  if (result.Error) {
    const auto& error = *result.Error;
    FUZZ_CHECK(result.CommandArguments.empty(), "a failure still returned command words");
    if (error.Key == "invalid_option") {
      FUZZ_CHECK(IsOneOf(error.Value, words) && error.Value.size() > 1 && error.Value[0] == '-',
                 error.Value);
    } else if (error.Key == "missing_option") {
      FUZZ_CHECK(error.Value == "--lang" || error.Value == "--timeout", error.Value);
      FUZZ_CHECK(words.back() == error.Value, "a missing value reported before the last word");
    } else {
      FUZZ_CHECK(error.Key == "invalid_timeout", error.Key);
      const auto timeout = ParseDuration(error.Value);
      FUZZ_CHECK(!timeout || timeout->count() <= 0,
                 "a positive timeout was refused: " + error.Value);
    }
    return;
  }
  FUZZ_CHECK(result.Parsed.Timeout.count() > 0, "the timeout is not positive");
  // Every command word is an input word;
  for (const std::string& word : result.CommandArguments) {
    FUZZ_CHECK(IsOneOf(word, words) || word == "help", word);
  }
  // without "--" none of them is an option, but the negative delta of adjust.
  if (!IsOneOf("--", words)) {
    const auto& command = result.CommandArguments;
    for (std::size_t i = 0; i < command.size(); ++i) {
      const std::string& word = command[i];
      const bool negativeDelta =
          i == 3 && command[0] == "adjust" && word.size() > 1 && word[1] >= '0' && word[1] <= '9';
      FUZZ_CHECK(word.empty() || word[0] != '-' || word == "-" || word == "help" || negativeDelta,
                 word);
    }
  }
}

bool HasSign(std::string_view text) { return !text.empty() && (text[0] == '+' || text[0] == '-'); }

void CheckDuration(std::string_view text) {
  const auto value = ParseDuration(text);
  FUZZ_CHECK(value == ParseDuration(text), "duration parsing is not deterministic");
  if (!value || HasSign(text)) return;
  // A sign changes the sign of the value and nothing else.
  FUZZ_CHECK(ParseDuration("+" + std::string(text)) == value, text);
  const auto negative = ParseDuration("-" + std::string(text));
  FUZZ_CHECK(negative.has_value() && *negative == -*value, text);
}

// Durations written one after another add up, as long as the sum fits.
void CheckSum(std::string_view first, std::string_view second) {
  if (first == "0" || second == "0" || HasSign(first) || HasSign(second)) return;
  const auto a = ParseDuration(first);
  const auto b = ParseDuration(second);
  if (!a || !b) return;
  const auto joined = ParseDuration(std::string(first) + std::string(second));
  const auto limit = std::numeric_limits<lumra::support::Duration::rep>::max();
  if (a->count() > limit - b->count()) {
    FUZZ_CHECK(!joined, "an overflowing sum was accepted");
    return;
  }
  FUZZ_CHECK(joined.has_value() && *joined == *a + *b,
             std::string(first) + " + " + std::string(second));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto words = SplitWords(lumra::fuzz::AsText(data, size));
  CheckCommandLine(words);
  for (const std::string& word : words) CheckDuration(word);
  if (words.size() >= 2) CheckSum(words[0], words[1]);
  return 0;
}
