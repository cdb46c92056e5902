// The value syntax of "set" (and of raw "vcp:" codes), checked against a reference reader
// written straight from the syntax: decimal, 0x / 0o / 0b prefixes, leading-0 octal, single
// "_" separators, no sign, no spaces, within the maximum.
#include <optional>

#include "cli/target.hpp"
#include "fuzz_check.hpp"
#include "support/number.hpp"

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

std::optional<std::uint64_t> Reference(std::string_view text, std::uint64_t maximum) {
  if (text.empty()) return std::nullopt;
  int base = 10;
  std::string_view digits = text;
  bool prefixed = false;
  if (text.size() >= 2 && text[0] == '0') {
    const char p = text[1];
    if (p == 'x' || p == 'X') base = 16, prefixed = true;
    if (p == 'o' || p == 'O') base = 8, prefixed = true;
    if (p == 'b' || p == 'B') base = 2, prefixed = true;
    if (prefixed) {
      digits = text.substr(2);
    } else {
      base = 8;  // the leading "0" is itself an octal digit
    }
  }
  // "_" may follow the prefix or a digit, and must be followed by a digit.
  bool lastWasDigit = prefixed;  // after a prefix an underscore is allowed
  bool sawDigit = false;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const char c = digits[i];
    if (c == '_') {
      if (!lastWasDigit) return std::nullopt;
      lastWasDigit = false;
      continue;
    }
    const int d = DigitValue(c);
    if (d >= base) return std::nullopt;
    if (value > (maximum - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base)) {
      return std::nullopt;
    }
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    lastWasDigit = true;
    sawDigit = true;
  }
  if (!sawDigit || !lastWasDigit) return std::nullopt;
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view word = lumra::fuzz::AsText(data, size);
  const auto value = lumra::cli::ParseSetValue(word);
  const auto expected = Reference(word, 0xFFFF);
  FUZZ_CHECK(value.has_value() == expected.has_value() && (!value || *value == *expected),
             "set value \"" + std::string(word) + "\": got " +
                 (value ? std::to_string(*value) : "invalid") + ", want " +
                 (expected ? std::to_string(*expected) : "invalid"));
  for (const std::uint64_t maximum : {std::uint64_t{0xFF}, std::uint64_t{0xFFFFFFFFFFFFFFFF}}) {
    const auto wide = lumra::support::ParseUnsignedLiteral(word, maximum);
    const auto wanted = Reference(word, maximum);
    FUZZ_CHECK(wide == wanted,
               "literal \"" + std::string(word) + "\" with maximum " + std::to_string(maximum));
  }
  return 0;
}
