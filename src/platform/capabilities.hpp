#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "ddcci/frame.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::platform {

// The longest capabilities string that is assembled.
inline constexpr std::size_t kMaximumCapabilitiesLength = 65536;

// Reads the fragment that starts at an offset of the capabilities string.
using FragmentReader = std::function<support::Result<ddcci::Bytes>(std::uint16_t offset)>;

// Assembles the capabilities string from fragments requested at the running length, until an
// empty fragment or a zero byte ends it. Fails with the reader's error unchanged, the context's
// error before a fragment, or a protocol error when the string would exceed 64 KiB.
support::Result<std::string> ReadCapabilitiesFragments(const support::Context& ctx,
                                                       const FragmentReader& reader);

}  // namespace lumra::platform
