#include "support/json.hpp"

#include <charconv>
#include <cmath>

#include "support/hex.hpp"
#include "support/shortest_double.hpp"
#include "support/utf8.hpp"

namespace lumra::support {

namespace {

bool AppendEscape(std::string& out, char32_t rune, bool escapeHTML) {
  switch (rune) {
    case '"':
      out += "\\\"";
      return true;
    case '\\':
      out += "\\\\";
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
    case 0x2028:
      out += "\\u2028";
      return true;
    case 0x2029:
      out += "\\u2029";
      return true;
    default:
      break;
  }
  if (rune < 0x20 || (escapeHTML && (rune == '<' || rune == '>' || rune == '&'))) {
    out += "\\u00";
    AppendHexByte(out, static_cast<std::uint8_t>(rune), HexCase::Lower);
    return true;
  }
  return false;
}

// The shortest digits placed in plain notation and padded with zeros, rather than the exact
// binary value (123456789012345680000, not 123456789012345683968).
std::string PlainFromScientific(const std::string& scientific) {
  const std::size_t e = scientific.find('e');
  if (e == std::string::npos) return scientific;  // "inf" or "nan": nothing to place
  std::string out;
  std::size_t start = 0;
  if (scientific[0] == '-') {
    out += '-';
    start = 1;
  }
  std::string digits;
  for (std::size_t i = start; i < e; ++i) {
    if (scientific[i] != '.') digits += scientific[i];
  }
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);
  // Number of digits before the decimal point.
  const long point = static_cast<long>(exponent) + 1;
  const long count = static_cast<long>(digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (point >= count) {
    out += digits;
    out.append(static_cast<std::size_t>(point - count), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(point));
    out += '.';
    out.append(digits, static_cast<std::size_t>(point));
  }
  return out;
}

// "1e-07" → "1e-7", "1e+21" stays.
std::string TrimExponentZeros(std::string text) {
  const std::size_t e = text.find('e');
  if (e == std::string::npos || e + 2 >= text.size()) return text;
  std::size_t digits = e + 2;
  std::size_t end = digits;
  while (end + 1 < text.size() && text[end] == '0') ++end;
  text.erase(digits, end - digits);
  return text;
}

}  // namespace

void AppendJSONString(std::string& out, std::string_view text, bool escapeHTML) {
  out += '"';
  while (!text.empty()) {
    const DecodedRune decoded = DecodeRune(text);
    if (!decoded.Valid) {
      out += "\\ufffd";
    } else if (!AppendEscape(out, decoded.Rune, escapeHTML)) {
      out.append(text.substr(0, decoded.Size));
    }
    text.remove_prefix(decoded.Size);
  }
  out += '"';
}

std::string FormatJSONNumber(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude != 0 && (magnitude < 1e-6 || magnitude >= 1e21)) {
    return TrimExponentZeros(ShortestScientific(value));
  }
  return PlainFromScientific(ShortestScientific(value));
}

std::string FormatPlainDecimal(double value) {
  return PlainFromScientific(ShortestScientific(value));
}

void JSONWriter::BeginObject() {
  BeforeValue();
  Raw("{");
  needComma_.push_back(false);
}

void JSONWriter::EndObject() {
  if (!needComma_.empty()) needComma_.pop_back();
  Raw("}");
}

void JSONWriter::BeginArray() {
  BeforeValue();
  Raw("[");
  needComma_.push_back(false);
}

void JSONWriter::EndArray() {
  if (!needComma_.empty()) needComma_.pop_back();
  Raw("]");
}

void JSONWriter::Key(std::string_view key) {
  BeforeValue();
  if (failed_) return;
  AppendJSONString(out_, key, escapeHTML_);
  out_ += ':';
  afterKey_ = true;
  CheckLimit();
}

void JSONWriter::String(std::string_view value) {
  BeforeValue();
  if (failed_) return;
  AppendJSONString(out_, value, escapeHTML_);
  CheckLimit();
}

void JSONWriter::Int(std::int64_t value) {
  BeforeValue();
  RawInteger(value);
}

void JSONWriter::Uint(std::uint64_t value) {
  BeforeValue();
  RawInteger(value);
}

void JSONWriter::Double(double value) {
  BeforeValue();
  if (!std::isfinite(value)) {
    failed_ = true;
    return;
  }
  Raw(FormatJSONNumber(value));
}

void JSONWriter::Bool(bool value) {
  BeforeValue();
  Raw(value ? "true" : "false");
}

void JSONWriter::Null() {
  BeforeValue();
  Raw("null");
}

void JSONWriter::Encoded(std::string_view json) {
  BeforeValue();
  Raw(json);
}

void JSONWriter::FailTooLarge() {
  failed_ = true;
  exceededLimit_ = true;
  out_.clear();
}

void JSONWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (needComma_.empty()) return;
  if (needComma_.back()) Raw(",");
  needComma_.back() = true;
}

template <typename Integer>
void JSONWriter::RawInteger(Integer value) {
  // Written in place: a file of many numbers would otherwise make a string for each.
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  Raw(std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
}

void JSONWriter::Raw(std::string_view text) {
  if (failed_) return;
  out_.append(text);
  CheckLimit();
}

void JSONWriter::CheckLimit() {
  if (out_.size() > limit_) FailTooLarge();
}

}  // namespace lumra::support
