#include "support/quote.hpp"

#include "support/hex.hpp"
#include "support/utf8.hpp"

namespace lumra::support {

namespace {

bool IsInvisible(char32_t rune) {
  return (rune >= 0x80 && rune <= 0x9F) || rune == 0xAD || (rune >= 0x200B && rune <= 0x200F) ||
         (rune >= 0x2028 && rune <= 0x202E) || (rune >= 0x2060 && rune <= 0x2064) || rune == 0xFEFF;
}

void AppendHexEscape(std::string& out, unsigned char byte) {
  out += "\\x";
  AppendHexByte(out, byte, HexCase::Lower);
}

void AppendUnicodeEscape(std::string& out, char32_t rune) {
  out += "\\u";
  const char* digits = HexDigits(HexCase::Lower);
  for (int shift = 12; shift >= 0; shift -= 4) out += digits[(rune >> shift) & 0x0F];
}

bool AppendShortEscape(std::string& out, char32_t rune) {
  switch (rune) {
    case '"':
      out += "\\\"";
      return true;
    case '\\':
      out += "\\\\";
      return true;
    case '\a':
      out += "\\a";
      return true;
    case '\b':
      out += "\\b";
      return true;
    case '\f':
      out += "\\f";
      return true;
    case '\n':
      out += "\\n";
      return true;
    case '\r':
      out += "\\r";
      return true;
    case '\t':
      out += "\\t";
      return true;
    case '\v':
      out += "\\v";
      return true;
    default:
      return false;
  }
}

void AppendQuotedRune(std::string& out, char32_t rune, std::string_view encoded) {
  if (AppendShortEscape(out, rune)) return;
  if (rune < 0x20 || rune == 0x7F) {
    AppendHexEscape(out, static_cast<unsigned char>(rune));
  } else if (IsInvisible(rune)) {
    AppendUnicodeEscape(out, rune);
  } else {
    out.append(encoded);
  }
}

}  // namespace

std::string QuoteGo(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const DecodedRune decoded = DecodeRune(text);
    if (!decoded.Valid) {
      AppendHexEscape(out, static_cast<unsigned char>(text[0]));
    } else {
      AppendQuotedRune(out, decoded.Rune, text.substr(0, decoded.Size));
    }
    text.remove_prefix(decoded.Size);
  }
  out += '"';
  return out;
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const DecodedRune decoded = DecodeRune(text);
    const std::string_view encoded = text.substr(0, decoded.Size);
    const bool control = decoded.Valid && (decoded.Rune < 0x20 || decoded.Rune == 0x7F ||
                                           (decoded.Rune >= 0x80 && decoded.Rune <= 0x9F));
    if (control) {
      AppendQuotedRune(out, decoded.Rune, encoded);
    } else {
      out.append(encoded);
    }
    text.remove_prefix(decoded.Size);
  }
  return out;
}

std::string OneLineField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c1) {
      out += ' ';
      ++i;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += ' ';
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace lumra::support
