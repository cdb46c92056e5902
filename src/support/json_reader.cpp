#include "support/json_reader.hpp"

#include <unordered_set>
#include <utility>

#include "support/format.hpp"
#include "support/json.hpp"
#include "support/number.hpp"
#include "support/utf8.hpp"

namespace lumra::support {

namespace {

bool IsJSONDigit(char c) { return c >= '0' && c <= '9'; }

bool IsJSONSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string QuotedJSON(std::string_view text) {
  std::string out;
  AppendJSONString(out, text, false);
  return out;
}

// A recursive descent over the text; the first problem stops it, with its byte offset.
class DocumentReader {
 public:
  explicit DocumentReader(std::string_view text) : text_(text) {}

  Result<JSONValue> Read() {
    JSONValue root;
    SkipSpace();
    if (ReadValue(root, 0)) {
      SkipSpace();
      if (pos_ < text_.size()) Expected("the end of the text");
    }
    if (!problem_.empty()) return {{}, Error::New(PositionText() + problem_)};
    return {std::move(root), {}};
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd() && IsJSONSpace(text_[pos_])) ++pos_;
  }

  // Records the problem at the current position; always false, so callers can return it.
  bool Fail(std::string what) {
    problem_ = std::move(what);
    return false;
  }
  bool FailAt(std::size_t pos, std::string what) {
    pos_ = pos;
    return Fail(std::move(what));
  }

  // What stands at the current position, for "expected X, found Y".
  std::string Found() const {
    if (AtEnd()) return "the end of the text";
    const DecodedRune rune = DecodeRune(text_.substr(pos_));
    if (!rune.Valid) return Format("byte 0x%02X", static_cast<unsigned char>(text_[pos_]));
    if (rune.Rune > 0x20 && rune.Rune < 0x7F) return QuotedJSON(text_.substr(pos_, 1));
    return Format("U+%04X", static_cast<std::uint32_t>(rune.Rune));
  }
  bool Expected(std::string_view what) {
    return Fail(Format("expected %s, found %s", what, Found()));
  }

  std::string PositionText() const {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text_[i]);
      if (byte == '\n') {
        ++line;
        column = 1;
      } else if ((byte & 0xC0) != 0x80) {
        ++column;  // a continuation byte belongs to the character before it
      }
    }
    return Format("line %d, column %d: ", line, column);
  }

  bool ReadValue(JSONValue& value, std::size_t depth) {
    switch (Peek()) {
      case '{':
      case '[':
        if (depth >= kJSONMaximumDepth) {
          return Fail(Format("nesting deeper than %d levels", kJSONMaximumDepth));
        }
        return Peek() == '{' ? ReadObject(value, depth + 1) : ReadArray(value, depth + 1);
      case '"':
        value.Kind = JSONKind::String;
        return ReadString(value.Text);
      case 't':
        value.Kind = JSONKind::Bool;
        value.Boolean = true;
        return ReadLiteral("true");
      case 'f':
        value.Kind = JSONKind::Bool;
        return ReadLiteral("false");
      case 'n':
        value.Kind = JSONKind::Null;
        return ReadLiteral("null");
      default:
        if (Peek() == '-' || IsJSONDigit(Peek())) {
          value.Kind = JSONKind::Number;
          return ReadNumber(value.Text);
        }
        return Expected("a value");
    }
  }

  bool ReadLiteral(std::string_view literal) {
    for (const char c : literal) {
      if (Peek() != c) return Expected(literal);
      ++pos_;
    }
    return true;
  }

  bool ReadDigits(std::string_view after) {
    if (!IsJSONDigit(Peek())) return Expected(Format("a digit after %s", after));
    while (IsJSONDigit(Peek())) ++pos_;
    return true;
  }

  bool ReadNumber(std::string& literal) {
    const std::size_t start = pos_;
    if (Peek() == '-') ++pos_;
    if (Peek() == '0') {
      ++pos_;
      if (IsJSONDigit(Peek())) return Fail("a number may not begin with 0 followed by digits");
    } else if (!ReadDigits("\"-\"")) {
      return false;
    }
    if (Peek() == '.') {
      ++pos_;
      if (!ReadDigits("\".\"")) return false;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (!ReadDigits("the exponent mark")) return false;
    }
    literal.assign(text_.substr(start, pos_ - start));
    return true;
  }

  // Four hex digits after "\u"; the position is left after them.
  bool ReadHex4(std::uint32_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const auto digit = ParseDigits(text_.substr(pos_, AtEnd() ? 0 : 1), 16);
      if (!digit) return Expected("four hexadecimal digits after \\u");
      unit = unit << 4 | static_cast<std::uint32_t>(*digit);
      ++pos_;
    }
    return true;
  }

  // An escape after its backslash; a surrogate pair is read whole.
  bool ReadEscape(std::string& out) {
    const std::size_t escapeStart = pos_ - 1;
    const char c = Peek();
    ++pos_;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out += c;
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        break;
      default:
        --pos_;
        return Expected("an escape (\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u) after the backslash");
    }
    std::uint32_t unit = 0;
    if (!ReadHex4(unit)) return false;
    char32_t rune = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
      const std::size_t lowStart = pos_;
      pos_ += 2;
      std::uint32_t low = 0;
      if (!ReadHex4(low)) return false;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        rune = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      } else {
        pos_ = lowStart;  // the high half stands alone: report it
      }
    }
    if (rune >= 0xD800 && rune <= 0xDFFF) {
      return FailAt(escapeStart, Format("unpaired surrogate \\u%04X", unit));
    }
    AppendRune(out, rune);
    return true;
  }

  bool ReadString(std::string& out) {
    const std::size_t start = pos_;
    ++pos_;  // the opening quote
    while (true) {
      if (AtEnd()) return FailAt(start, "unterminated string");
      const auto byte = static_cast<unsigned char>(text_[pos_]);
      if (byte == '"') {
        ++pos_;
        return true;
      }
      if (byte < 0x20) return Fail(Format("control character U+%04X in a string", byte));
      if (byte == '\\') {
        ++pos_;
        if (!ReadEscape(out)) return false;
        continue;
      }
      const DecodedRune rune = DecodeRune(text_.substr(pos_));
      if (!rune.Valid) return Fail(Format("invalid UTF-8 (byte 0x%02X) in a string", byte));
      out.append(text_.substr(pos_, rune.Size));
      pos_ += rune.Size;
    }
  }

  bool ReadArray(JSONValue& value, std::size_t depth) {
    value.Kind = JSONKind::Array;
    ++pos_;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
      return true;
    }
    while (true) {
      JSONValue& element = value.Elements.emplace_back();
      if (!ReadValue(element, depth)) return false;
      SkipSpace();
      if (Peek() == ']') {
        ++pos_;
        return true;
      }
      if (Peek() != ',') return Expected("\",\" or \"]\"");
      ++pos_;
      SkipSpace();
    }
  }

  bool ReadObject(JSONValue& value, std::size_t depth) {
    value.Kind = JSONKind::Object;
    ++pos_;
    SkipSpace();
    if (Peek() == '}') {
      ++pos_;
      return true;
    }
    std::unordered_set<std::string> keys;
    while (true) {
      if (Peek() != '"') return Expected("a string key");
      const std::size_t keyStart = pos_;
      JSONMember& member = value.Members.emplace_back();
      if (!ReadString(member.Key)) return false;
      if (!keys.insert(member.Key).second) {
        return FailAt(keyStart, "duplicate key " + QuotedJSON(member.Key));
      }
      SkipSpace();
      if (Peek() != ':') return Expected("\":\"");
      ++pos_;
      SkipSpace();
      if (!ReadValue(member.Value, depth)) return false;
      SkipSpace();
      if (Peek() == '}') {
        ++pos_;
        return true;
      }
      if (Peek() != ',') return Expected("\",\" or \"}\"");
      ++pos_;
      SkipSpace();
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string problem_;
};

}  // namespace

bool JSONValue::IsInteger() const {
  return Kind == JSONKind::Number && Text.find_first_of(".eE") == std::string::npos;
}

std::optional<std::uint64_t> JSONValue::AsUint64() const {
  if (!IsInteger()) return std::nullopt;
  if (Text == "-0") return 0;
  return ParseDigits(Text, 10);  // a sign is not a digit, so negative numbers fail here
}

std::optional<std::int64_t> JSONValue::AsInt64() const {
  if (!IsInteger()) return std::nullopt;
  return ParseDecimalInt64(Text);
}

const JSONValue* JSONValue::Find(std::string_view key) const {
  for (const JSONMember& member : Members) {
    if (member.Key == key) return &member.Value;
  }
  return nullptr;
}

Result<JSONValue> ReadJSON(std::string_view text) { return DocumentReader(text).Read(); }

}  // namespace lumra::support
