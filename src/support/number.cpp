#include "support/number.hpp"

#include <limits>

#include "support/hex.hpp"

namespace lumra::support {

namespace {

// Past every base for a character that is no digit.
int DigitValue(char c) {
  const int value = HexDigitValue(c);
  return value < 0 ? 99 : value;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct Literal {
  unsigned Base = 10;
  std::string_view Digits;
  bool Prefixed = false;  // an explicit 0x/0o/0b, after which an "_" may come first
};

Literal SplitBase(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0') {
    switch (Lower(text[1])) {
      case 'x':
        return {16, text.substr(2), true};
      case 'o':
        return {8, text.substr(2), true};
      case 'b':
        return {2, text.substr(2), true};
      default:
        break;
    }
  }
  // A leading zero means octal; the zero itself is a digit of the number.
  if (!text.empty() && text[0] == '0') return {8, text, false};
  return {10, text, false};
}

// Whether value * base + digit stays within maximum; a digit above a small maximum must not
// wrap the subtraction around.
bool FitsAfterDigit(std::uint64_t value, unsigned base, std::uint64_t digit,
                    std::uint64_t maximum) {
  return digit <= maximum && value <= (maximum - digit) / base;
}

}  // namespace

std::optional<std::uint64_t> ParseUnsignedLiteral(std::string_view text, std::uint64_t maximum) {
  const Literal literal = SplitBase(text);
  std::uint64_t value = 0;
  bool sawDigit = false;
  bool lastWasDigit = literal.Prefixed;  // the prefix counts as a digit for "_" placement
  for (const char c : literal.Digits) {
    if (c == '_') {
      if (!lastWasDigit) return std::nullopt;
      lastWasDigit = false;
      continue;
    }
    const int digit = DigitValue(c);
    if (digit >= static_cast<int>(literal.Base)) return std::nullopt;
    if (!FitsAfterDigit(value, literal.Base, static_cast<std::uint64_t>(digit), maximum)) {
      return std::nullopt;
    }
    value = value * literal.Base + static_cast<std::uint64_t>(digit);
    sawDigit = true;
    lastWasDigit = true;
  }
  if (!sawDigit || !lastWasDigit) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> ParseDigits(std::string_view digits, unsigned base) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = DigitValue(c);
    if (digit >= static_cast<int>(base)) return std::nullopt;
    if (!FitsAfterDigit(value, base, static_cast<std::uint64_t>(digit),
                        std::numeric_limits<std::uint64_t>::max())) {
      return std::nullopt;
    }
    value = value * base + static_cast<std::uint64_t>(digit);
  }
  return value;
}

std::optional<std::int64_t> ParseDecimalInt64(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (negative) return static_cast<std::int64_t>(~value + 1);
  return static_cast<std::int64_t>(value);
}

}  // namespace lumra::support
