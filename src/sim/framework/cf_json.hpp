// Scenario JSON values as CF objects: registry properties and dictionary entries.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "sim/framework/cf_objects.hpp"
#include "sim/world/scenario.hpp"

namespace lumra::sim {

// A new (+1) CF object for a JSON string, number, boolean, array or object; nullptr for
// anything else. A string written as ioreg prints binary data, "<00080000>" (pairs of
// hexadecimal digits in angle brackets), becomes CFData.
const CfObject* CfFromJson(const Json& value);

// The bytes of a text in that "<...>" form; none when the text is not in it.
std::optional<std::vector<std::uint8_t>> DataFromText(std::string_view text);

// A new dictionary of locale to name; nullptr when there are no names.
const CfObject* LocalizedNamesObject(const LocalizedNames& names);

}  // namespace lumra::sim
