#pragma once

#include <string>
#include <string_view>

namespace lumra::support {

// Strips characters of the Unicode White_Space property from both ends.
std::string_view TrimUnicodeSpace(std::string_view text);

// Lower-cases with Unicode simple case mapping as far as the result can be ASCII: A–Z,
// U+0130 (→ i) and U+212A KELVIN SIGN (→ k). Every other character, and every byte of
// invalid UTF-8, is kept as it is; it can never equal an ASCII name.
std::string FoldToASCIILower(std::string_view text);

// Lower-cases the letters of monitor names as people type them: ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic, by Unicode simple case mapping ("Écran" and "écran" fold
// alike). Letters of other scripts, and every byte of invalid UTF-8, are kept as they are.
std::string FoldCase(std::string_view text);

}  // namespace lumra::support
