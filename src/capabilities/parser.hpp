#pragma once

#include <cstddef>
#include <string_view>

#include "capabilities/document.hpp"
#include "support/error.hpp"

namespace lumra::capabilities {

inline constexpr std::size_t kMaximumLength = 65536;
inline constexpr int kMaximumDepth = 32;

// Parses an MCCS capabilities string into a tree of groups and tokens. On failure the
// document is empty and the error (wrapping no sentinel) names the byte offset or group.
support::Result<Document> Parse(std::string_view input);

}  // namespace lumra::capabilities
