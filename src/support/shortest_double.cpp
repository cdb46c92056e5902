#include "support/shortest_double.hpp"

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace lumra::support {

namespace {

// A positive decimal: digits × 10^exponent.
struct Decimal {
  std::uint64_t Digits = 0;
  int Exponent = 0;
};

// printf rounds correctly, so "%.*e" gives the decimal of precision + 1 significant digits
// nearest to `magnitude`. The program never changes the C locale, so the point is '.'.
Decimal NearestDecimal(double magnitude, int precision) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*e", precision, magnitude);
  Decimal decimal;
  const char* p = text;
  for (; *p != 'e'; ++p) {
    if (*p != '.') decimal.Digits = decimal.Digits * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  decimal.Exponent = std::atoi(p + 1) - precision;
  return decimal;
}

double ReadBack(const Decimal& decimal) {
  char text[48];
  std::snprintf(text, sizeof text, "%" PRIu64 "e%d", decimal.Digits, decimal.Exponent);
  return std::strtod(text, nullptr);
}

std::string Scientific(bool negative, Decimal decimal) {
  while (decimal.Digits != 0 && decimal.Digits % 10 == 0) {
    decimal.Digits /= 10;
    ++decimal.Exponent;
  }
  const std::string digits = std::to_string(decimal.Digits);
  const int exponent = decimal.Exponent + static_cast<int>(digits.size()) - 1;
  std::string out = negative ? "-" : "";
  out += digits[0];
  if (digits.size() > 1) out += "." + digits.substr(1);
  char tail[16];
  std::snprintf(tail, sizeof tail, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return out + tail;
}

}  // namespace

std::string ShortestScientific(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(value);
  if (magnitude == 0) return Scientific(negative, {});
  // Seventeen significant digits always read back, so the loop returns by its last turn.
  for (int precision = 0;; ++precision) {
    const Decimal nearest = NearestDecimal(magnitude, precision);
    const double back = ReadBack(nearest);
    if (back == magnitude || precision == 16) return Scientific(negative, nearest);
    // Just above a power of two the gap below is half the gap above, so the nearest decimal
    // of this length can miss while its neighbour on the other side still reads back.
    Decimal other = nearest;
    other.Digits = back < magnitude ? other.Digits + 1 : other.Digits - 1;
    if (ReadBack(other) == magnitude) return Scientific(negative, other);
  }
}

}  // namespace lumra::support
