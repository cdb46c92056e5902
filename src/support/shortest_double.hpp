#pragma once

#include <string>

namespace lumra::support {

// The shortest decimal that reads back to `value` exactly, in exponent form with at least two
// exponent digits ("1.2345678901234568e+20", "5e-324", "-0e+00"); among equally short ones the
// nearest to `value`. The same text as std::to_chars(..., std::chars_format::scientific), which
// Apple's libc++ lacks for floating point before macOS 13.3. Non-finite values give "inf",
// "-inf" or "nan".
std::string ShortestScientific(double value);

}  // namespace lumra::support
