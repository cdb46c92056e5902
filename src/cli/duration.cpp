#include "cli/duration.hpp"

#include <array>
#include <cstdint>
#include <limits>
#include <utility>

namespace lumra::cli {

namespace {

constexpr std::uint64_t kMaxMagnitude = std::uint64_t{1} << 63;

std::optional<std::uint64_t> UnitNanoseconds(std::string_view unit) {
  static const std::array<std::pair<std::string_view, std::uint64_t>, 8> kUnits{{
      {"ns", 1},
      {"us", 1'000},
      {"\xC2\xB5s", 1'000},  // U+00B5 micro sign
      {"\xCE\xBCs", 1'000},  // U+03BC Greek small letter mu
      {"ms", 1'000'000},
      {"s", 1'000'000'000},
      {"m", 60'000'000'000},
      {"h", 3'600'000'000'000},
  }};
  for (const auto& [name, nanoseconds] : kUnits) {
    if (name == unit) return nanoseconds;
  }
  return std::nullopt;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TakeDigits(std::string_view& text) {
  std::size_t end = 0;
  while (end < text.size() && IsDigit(text[end])) ++end;
  const std::string_view digits = text.substr(0, end);
  text.remove_prefix(end);
  return digits;
}

std::optional<std::uint64_t> WholeTimesUnit(std::string_view digits, std::uint64_t unit) {
  std::uint64_t value = 0;
  for (const char c : digits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kMaxMagnitude - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (value != 0 && value > kMaxMagnitude / unit) return std::nullopt;
  return value * unit;
}

// floor(unit × 0.digits), exactly: long multiplication from the last digit, where the carry
// out of the fraction's digits is the whole-nanosecond part (never above `unit`).
std::uint64_t FractionTimesUnit(std::string_view digits, std::uint64_t unit) {
  std::uint64_t carry = 0;
  for (std::size_t i = digits.size(); i-- > 0;) {
    carry = (static_cast<std::uint64_t>(digits[i] - '0') * unit + carry) / 10;
  }
  return carry;
}

// One group "<number><unit>"; adds its nanoseconds to `total`.
bool ReadGroup(std::string_view& text, std::uint64_t& total) {
  const std::string_view whole = TakeDigits(text);
  std::string_view fraction;
  if (!text.empty() && text[0] == '.') {
    text.remove_prefix(1);
    fraction = TakeDigits(text);
  }
  if (whole.empty() && fraction.empty()) return false;

  std::size_t unitLength = 0;
  while (unitLength < text.size() && !IsDigit(text[unitLength]) && text[unitLength] != '.') {
    ++unitLength;
  }
  const auto unit = UnitNanoseconds(text.substr(0, unitLength));
  if (!unit) return false;
  text.remove_prefix(unitLength);

  const auto wholePart = WholeTimesUnit(whole, *unit);
  if (!wholePart) return false;
  const std::uint64_t group = *wholePart + FractionTimesUnit(fraction, *unit);
  if (group > kMaxMagnitude || total > kMaxMagnitude - group) return false;
  total += group;
  return true;
}

}  // namespace

std::optional<support::Duration> ParseDuration(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text == "0") return support::Duration(0);
  if (text.empty()) return std::nullopt;

  std::uint64_t total = 0;
  while (!text.empty()) {
    if (!ReadGroup(text, total)) return std::nullopt;
  }
  if (negative) {
    // -2^63 is representable; compute it without overflowing the positive side.
    return support::Duration(static_cast<std::int64_t>(~total + 1));
  }
  if (total > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return std::nullopt;
  }
  return support::Duration(static_cast<std::int64_t>(total));
}

std::string FormatDuration(support::Duration duration) {
  static const std::array<std::pair<std::string_view, std::int64_t>, 3> kUnits{{
      {"s", 1'000'000'000},
      {"ms", 1'000'000},
      {"us", 1'000},
  }};
  const std::int64_t count = duration.count();
  for (const auto& [name, nanoseconds] : kUnits) {
    if (count % nanoseconds == 0) return std::to_string(count / nanoseconds) + std::string(name);
  }
  return std::to_string(count) + "ns";
}

}  // namespace lumra::cli
