#include "support/unicode_fold.hpp"

#include "support/utf8.hpp"

namespace lumra::support {

namespace {

bool IsUnicodeSpace(char32_t rune) {
  return (rune >= 0x09 && rune <= 0x0D) || rune == 0x20 || rune == 0x85 || rune == 0xA0 ||
         rune == 0x1680 || (rune >= 0x2000 && rune <= 0x200A) || rune == 0x2028 || rune == 0x2029 ||
         rune == 0x202F || rune == 0x205F || rune == 0x3000;
}

// Byte length of the last well-formed character when it is white space, else 0.
std::size_t TrailingSpaceLength(std::string_view text) {
  const std::size_t lookback = text.size() < 4 ? text.size() : 4;
  for (std::size_t length = 1; length <= lookback; ++length) {
    const std::string_view tail = text.substr(text.size() - length);
    const DecodedRune decoded = DecodeRune(tail);
    if (decoded.Valid && decoded.Size == length) return IsUnicodeSpace(decoded.Rune) ? length : 0;
  }
  return 0;
}

}  // namespace

std::string_view TrimUnicodeSpace(std::string_view text) {
  while (!text.empty()) {
    const DecodedRune decoded = DecodeRune(text);
    if (!decoded.Valid || !IsUnicodeSpace(decoded.Rune)) break;
    text.remove_prefix(decoded.Size);
  }
  while (const std::size_t length = TrailingSpaceLength(text)) text.remove_suffix(length);
  return text;
}

std::string FoldToASCIILower(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const DecodedRune decoded = DecodeRune(text);
    if (decoded.Valid && decoded.Rune >= 'A' && decoded.Rune <= 'Z') {
      out += static_cast<char>(decoded.Rune - 'A' + 'a');
    } else if (decoded.Valid && decoded.Rune == 0x130) {
      out += 'i';
    } else if (decoded.Valid && decoded.Rune == 0x212A) {
      out += 'k';
    } else {
      out.append(text.substr(0, decoded.Size));
    }
    text.remove_prefix(decoded.Size);
  }
  return out;
}

}  // namespace lumra::support
