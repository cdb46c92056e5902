#include "cli/version.hpp"

namespace lumra::cli {

// The build passes the project's version; a build without it says so rather than guessing.
#ifndef LUMRA_VERSION
#define LUMRA_VERSION "unknown"
#endif
const std::string_view kVersion = LUMRA_VERSION;

}  // namespace lumra::cli
