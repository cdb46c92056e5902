#pragma once

#include <string_view>

namespace lumra::cli {

// The release version, "<major>.<minor>.<patch>", from the build.
extern const std::string_view kVersion;

}  // namespace lumra::cli
