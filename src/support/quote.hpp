#pragma once

#include <string>
#include <string_view>

namespace lumra::support {

// Double-quotes a text with backslash escapes (lower-case hexadecimal): \" and \\, the
// short escapes \a \b \f \n \r \t \v, \xNN for other C0 controls, DEL and bytes of invalid
// UTF-8, \uNNNN for C1 controls and the invisible format and separator characters
// (U+00AD, U+200B–U+200F, U+2028–U+202E, U+2060–U+2064, U+FEFF). Every other well-formed
// character is written as it is.
std::string QuoteGo(std::string_view text);

// A text kept on one line: control characters (C0, DEL and C1) written as QuoteGo writes them
// (\n, \t, \x1b, \u0085 …); everything else, backslashes and quotes included, as it is.
std::string EscapeControls(std::string_view text);

// A field of a tab-separated line: every control character (C0, DEL and C1) becomes a space, so
// a name holding a tab or a line feed cannot add a column or a row. Everything else is kept.
std::string OneLineField(std::string_view text);

}  // namespace lumra::support
