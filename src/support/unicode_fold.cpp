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

// The simple lower-case mapping of the scripts FoldCase covers; other characters map to
// themselves.
char32_t LowerRune(char32_t rune) {
  if (rune >= 'A' && rune <= 'Z') return rune + 0x20;
  // Latin-1: À–Þ but the multiplication sign.
  if (rune >= 0xC0 && rune <= 0xDE && rune != 0xD7) return rune + 0x20;
  // Latin Extended-A: pairs of an upper and a lower letter, with a few exceptions.
  if (rune == 0x130) return 'i';
  if (rune == 0x178) return 0xFF;
  if ((rune >= 0x100 && rune <= 0x137) || (rune >= 0x14A && rune <= 0x177)) {
    return rune % 2 == 0 ? rune + 1 : rune;
  }
  if ((rune >= 0x139 && rune <= 0x148) || (rune >= 0x179 && rune <= 0x17E)) {
    return rune % 2 == 1 ? rune + 1 : rune;
  }
  // Greek: the capitals with and without tonos.
  if (rune == 0x386) return 0x3AC;
  if (rune >= 0x388 && rune <= 0x38A) return rune + 0x25;
  if (rune == 0x38C) return 0x3CC;
  if (rune == 0x38E || rune == 0x38F) return rune + 0x3F;
  if (rune >= 0x391 && rune <= 0x3AB && rune != 0x3A2) return rune + 0x20;
  // Cyrillic: Ѐ–Џ and А–Я.
  if (rune >= 0x400 && rune <= 0x40F) return rune + 0x50;
  if (rune >= 0x410 && rune <= 0x42F) return rune + 0x20;
  if (rune == 0x212A) return 'k';
  return rune;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const DecodedRune decoded = DecodeRune(text);
    if (decoded.Valid) {
      AppendRune(out, LowerRune(decoded.Rune));
    } else {
      out.append(text.substr(0, decoded.Size));
    }
    text.remove_prefix(decoded.Size);
  }
  return out;
}

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
