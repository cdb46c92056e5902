// How requests travel to an IOAVService port: the I2C framing that the converter behind the
// port expects, chosen from the provider class of the proxy's EPIC parent.
#pragma once

#include <optional>
#include <string_view>

#include "platform/native/platform_api.hpp"

namespace lumra::native {

// standard: chip 0x37, the request's source byte as write data address, the rest as payload,
// and the reply read from data address 0. ps190: the whole request as payload and data address
// 0xFFFFFFFF for both the write and the read.
enum class ioav_framing { standard, ps190 };

// What the proxy's EPIC parent says stands behind the port ("EPICProviderClass").
enum class ioav_port { plain, mcdp29xx, ps190 };

// The environment variable that forces one framing on every IOAVService port.
inline constexpr const char* kIOAVFramingVariable = "LUMRA_IOAV_FRAMING";

// "standard" or "ps190"; none for any other text.
std::optional<ioav_framing> parse_ioav_framing(std::string_view text);

// The framing LUMRA_IOAV_FRAMING forces, read once per process; none when it is unset or
// invalid (platform::ReadIOAVFraming reports an invalid value before any exchange).
std::optional<ioav_framing> forced_ioav_framing();

// The framing of one attempt: the forced one when given; otherwise PS190 ports start with
// their own framing and `other_framing` switches them to the standard one (and back), while
// every other port keeps the standard framing.
ioav_framing choose_ioav_framing(ioav_port port, std::optional<ioav_framing> forced,
                                 bool other_framing);

// The port behind `proxy`, from its parent's "EPICProviderClass"; plain when that is missing.
ioav_port read_ioav_port(io_service_t proxy);
// The same for a proxy parent already at hand.
ioav_port ioav_port_of_parent(io_registry_entry_t parent);

}  // namespace lumra::native
