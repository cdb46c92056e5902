// The one hexadecimal alphabet.
#pragma once

#include <cstdint>
#include <string>

namespace lumra::support {

enum class HexCase { Lower, Upper };

// The digits 0-9 and a-f or A-F, indexed by value.
constexpr const char* HexDigits(HexCase letters) {
  return letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
}

// The value of a hexadecimal digit of either case; -1 for any other character.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends the byte as two hexadecimal digits.
inline void AppendHexByte(std::string& out, std::uint8_t byte, HexCase letters) {
  const char* digits = HexDigits(letters);
  out += digits[byte >> 4];
  out += digits[byte & 0x0F];
}

}  // namespace lumra::support
