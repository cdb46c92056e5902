// The process environment as the rest of the program reads it.
#pragma once

#include <string>
#include <string_view>

namespace lumra::support {

// The variable's value, or the empty text when it is unset.
std::string Getenv(std::string_view name);

}  // namespace lumra::support
