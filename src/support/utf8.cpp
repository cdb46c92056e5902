#include "support/utf8.hpp"

#include <string>

namespace lumra::support {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

DecodedRune DecodeRune(std::string_view text) {
  if (text.empty()) return {};
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return {lead, 1, true};

  std::size_t length = 0;
  char32_t rune = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, rune = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, rune = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, rune = lead & 0x07, minimum = 0x10000;
  } else {
    return {0xFFFD, 1, false};
  }
  if (text.size() < length) return {0xFFFD, 1, false};
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuation(at(i))) return {0xFFFD, 1, false};
    rune = (rune << 6) | (at(i) & 0x3F);
  }
  const bool surrogate = rune >= 0xD800 && rune <= 0xDFFF;
  if (rune < minimum || rune > 0x10FFFF || surrogate) return {0xFFFD, 1, false};
  return {rune, length, true};
}

void AppendRune(std::string& out, char32_t rune) {
  if (rune < 0x80) {
    out += static_cast<char>(rune);
  } else if (rune < 0x800) {
    out += static_cast<char>(0xC0 | (rune >> 6));
    out += static_cast<char>(0x80 | (rune & 0x3F));
  } else if (rune < 0x10000) {
    out += static_cast<char>(0xE0 | (rune >> 12));
    out += static_cast<char>(0x80 | ((rune >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (rune & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (rune >> 18));
    out += static_cast<char>(0x80 | ((rune >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((rune >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (rune & 0x3F));
  }
}

}  // namespace lumra::support
