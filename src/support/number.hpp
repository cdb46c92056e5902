#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumra::support {

// Reads an unsigned integer literal: decimal; "0x"/"0X" hexadecimal, "0o"/"0O" octal or
// "0b"/"0B" binary with at least one digit after the prefix; any other leading "0" octal.
// A single "_" may stand between two digits or between the prefix and the first digit.
// No sign, no spaces. Empty when the text is not such a literal or exceeds `maximum`.
std::optional<std::uint64_t> ParseUnsignedLiteral(std::string_view text, std::uint64_t maximum);

// Reads digits of `base` (2 to 16; letters in either case) and nothing else: no sign, prefix,
// "_" or space. Empty when there is no digit, another character, or more than 64 bits.
std::optional<std::uint64_t> ParseDigits(std::string_view digits, unsigned base);

// Reads a base-10 signed 64-bit integer: optional "+" or "-", then one or more digits.
std::optional<std::int64_t> ParseDecimalInt64(std::string_view text);

}  // namespace lumra::support
