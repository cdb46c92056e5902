#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace lumra::support {

// Appends `text` as a JSON string literal: \" \\ \b \f \n \r \t, other controls as \u00xx,
// U+2028/U+2029 escaped, each byte of invalid UTF-8 as \ufffd, and <, >, & as \u003c, \u003e,
// \u0026 only when `escapeHTML` is set.
void AppendJSONString(std::string& out, std::string_view text, bool escapeHTML);

// Shortest text that reads back to `value`: plain notation for magnitudes in [1e-6, 1e21),
// exponent notation otherwise (1e-7, 1e+21). `value` must be finite.
std::string FormatJSONNumber(double value);

// Shortest plain decimal text that reads back to `value`, never in exponent notation.
std::string FormatPlainDecimal(double value);

// A compact JSON writer that places the commas itself. Encoding fails (Failed()) on a
// non-finite number or once the text would exceed the size limit; after a failure further
// calls do nothing, so a caller can stop early by checking Failed().
class JSONWriter {
 public:
  static constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

  explicit JSONWriter(bool escapeHTML = false, std::size_t limit = kUnlimited)
      : escapeHTML_(escapeHTML), limit_(limit) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::string_view key);
  void String(std::string_view value);
  void Int(std::int64_t value);
  void Uint(std::uint64_t value);
  void Double(double value);
  void Bool(bool value);
  void Null();
  // One member of the current object: the key, then the value as the JSON its type makes (a
  // string, a number, true or false; null for an empty optional).
  void Field(std::string_view key, std::string_view value) {
    Key(key);
    String(value);
  }
  template <typename T>
  requires std::same_as<T, bool>
  void Field(std::string_view key, T value) {
    Key(key);
    Bool(value);
  }
  template <std::integral T>
  requires(!std::same_as<T, bool>) void Field(std::string_view key, T value) {
    Key(key);
    if constexpr (std::is_signed_v<T>) {
      Int(value);
    } else {
      Uint(value);
    }
  }
  void Field(std::string_view key, double value) {
    Key(key);
    Double(value);
  }
  template <typename T>
  void Field(std::string_view key, const std::optional<T>& value) {
    if (value) {
      Field(key, *value);
    } else {
      Key(key);
      Null();
    }
  }
  // Inserts an already encoded JSON value (from a Sibling writer) as the next value.
  void Encoded(std::string_view json);

  // Fails the writer as if its size limit had been passed (a part encoded apart did not fit).
  void FailTooLarge();

  // A new, empty writer with the same escaping and size limit.
  JSONWriter Sibling() const { return JSONWriter(escapeHTML_, limit_); }

  bool Failed() const { return failed_; }
  // True when the failure was the size limit.
  bool ExceededLimit() const { return exceededLimit_; }
  const std::string& Text() const { return out_; }

 private:
  void BeforeValue();
  void Raw(std::string_view text);
  template <typename Integer>
  void RawInteger(Integer value);
  void CheckLimit();

  bool escapeHTML_;
  std::size_t limit_;
  bool failed_ = false;
  bool exceededLimit_ = false;
  bool afterKey_ = false;
  std::vector<bool> needComma_;
  std::string out_;
};

}  // namespace lumra::support
