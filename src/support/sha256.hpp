#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace lumra::support {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The SHA-256 digest of a whole message, as the published algorithm defines its bytes.
Sha256Digest Sha256(std::span<const std::uint8_t> message);
Sha256Digest Sha256(std::string_view message);

}  // namespace lumra::support
