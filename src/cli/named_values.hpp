#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumra::cli {

// The number of a discrete value given by its MCCS name (case-insensitive) for the feature of
// VCP code `code`: inputs (0x60) such as "hdmi1", power modes (0xD6) such as "off-hard", mute
// (0x8D) "on"/"off", colour presets (0x14) such as "6500k". Empty when the feature has no value
// of that name.
std::optional<std::uint16_t> namedValue(std::uint8_t code, std::string_view word);

}  // namespace lumra::cli
