#include "support/json.hpp"

#include <charconv>
#include <cmath>

#include "support/utf8.hpp"

namespace lumra::support {

namespace {

const char kHex[] = "0123456789abcdef";

bool AppendEscape(std::string& out, char32_t rune, bool escapeHTML) {
  switch (rune) {
    case '"': out += "\\\""; return true;
    case '\\': out += "\\\\"; return true;
    case '\b': out += "\\b"; return true;
    case '\f': out += "\\f"; return true;
    case '\n': out += "\\n"; return true;
    case '\r': out += "\\r"; return true;
    case '\t': out += "\\t"; return true;
    case 0x2028: out += "\\u2028"; return true;
    case 0x2029: out += "\\u2029"; return true;
    default: break;
  }
  if (rune < 0x20 || (escapeHTML && (rune == '<' || rune == '>' || rune == '&'))) {
    out += "\\u00";
    out += kHex[rune >> 4];
    out += kHex[rune & 0x0F];
    return true;
  }
  return false;
}

std::string ToChars(double value, std::chars_format format) {
  char buffer[512];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  return std::string(buffer, result.ptr);
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
    if (!decoded.valid) {
      out += "\\ufffd";
    } else if (!AppendEscape(out, decoded.rune, escapeHTML)) {
      out.append(text.substr(0, decoded.size));
    }
    text.remove_prefix(decoded.size);
  }
  out += '"';
}

std::string FormatJSONNumber(double value) {
  const double magnitude = std::fabs(value);
  if (magnitude != 0 && (magnitude < 1e-6 || magnitude >= 1e21)) {
    return TrimExponentZeros(ToChars(value, std::chars_format::scientific));
  }
  return ToChars(value, std::chars_format::fixed);
}

std::string FormatPlainDecimal(double value) { return ToChars(value, std::chars_format::fixed); }

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
  Raw(std::to_string(value));
}

void JSONWriter::Uint(std::uint64_t value) {
  BeforeValue();
  Raw(std::to_string(value));
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

void JSONWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (needComma_.empty()) return;
  if (needComma_.back()) Raw(",");
  needComma_.back() = true;
}

void JSONWriter::Raw(std::string_view text) {
  if (failed_) return;
  out_.append(text);
  CheckLimit();
}

void JSONWriter::CheckLimit() {
  if (out_.size() > limit_) {
    failed_ = true;
    exceededLimit_ = true;
    out_.clear();
  }
}

}  // namespace lumra::support
