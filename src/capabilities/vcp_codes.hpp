#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "capabilities/document.hpp"

namespace lumra::capabilities {

// The VCP codes the document's "vcp" group lists (a code with values, such as "14(05 06)",
// counts too), in listing order, each once. Empty when there is no such group or a code in it
// is not two hexadecimal digits: the list cannot be trusted then.
std::optional<std::vector<std::uint8_t>> ListedVCPCodes(const Document& document);

}  // namespace lumra::capabilities
