#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/error.hpp"

namespace lumra::support {

enum class JSONKind { Null, Bool, Number, String, Array, Object };

struct JSONMember;

// One JSON value as read. A number keeps its literal text, so that no value is rounded on the
// way in; the helpers read it as an integer where it is one.
struct JSONValue {
  JSONKind Kind = JSONKind::Null;
  bool Boolean = false;
  // A number's literal as written, or a string's decoded text (valid UTF-8).
  std::string Text;
  std::vector<JSONValue> Elements;
  // In document order; no key appears twice.
  std::vector<JSONMember> Members;

  // True for a number written without a fraction or an exponent ("12", "-3", not "1.0").
  bool IsInteger() const;
  // The integer when it is one and fits; empty otherwise (a negative number for AsUint64).
  std::optional<std::uint64_t> AsUint64() const;
  std::optional<std::int64_t> AsInt64() const;
  // The member's value, or null when this is not an object or has no such key.
  const JSONValue* Find(std::string_view key) const;
};

struct JSONMember {
  std::string Key;
  JSONValue Value;
};

// Arrays and objects nested deeper than this are refused.
inline constexpr std::size_t kJSONMaximumDepth = 64;

// Reads one strict RFC 8259 document (white space around it allowed, nothing else): no
// comments, trailing commas, byte order mark, invalid UTF-8, lone surrogate escapes or
// duplicate keys. The caller limits the size. On failure the error reads "line L, column C:
// what", lines and columns counted from 1, columns in characters.
Result<JSONValue> ReadJSON(std::string_view text);

}  // namespace lumra::support
