#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumra::support {

// One step of strict UTF-8 decoding. `size` is the number of bytes consumed (at least 1
// unless the input is empty); `valid` is false for a byte that does not start a well-formed
// sequence (overlong forms, surrogates and code points above U+10FFFF included), in which
// case exactly that one byte is consumed.
struct DecodedRune {
  char32_t Rune = 0;
  std::size_t Size = 0;
  bool Valid = false;
};

DecodedRune DecodeRune(std::string_view text);

// Appends the UTF-8 encoding of a valid code point.
void AppendRune(std::string& out, char32_t rune);

}  // namespace lumra::support
