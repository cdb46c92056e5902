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
enum class IoavFraming { Standard, Ps190 };

// What the proxy's EPIC parent says stands behind the port ("EPICProviderClass").
enum class IoavPort { Plain, Mcdp29xx, Ps190 };

// The environment variable that forces one framing on every IOAVService port.
inline constexpr const char* kIOAVFramingVariable = "LUMRA_IOAV_FRAMING";

// "standard" or "ps190"; none for any other text.
std::optional<IoavFraming> ParseIoavFraming(std::string_view text);

// The framing LUMRA_IOAV_FRAMING forces, read once per process; none when it is unset or
// invalid (platform::ReadIOAVFraming reports an invalid value before any exchange).
std::optional<IoavFraming> ForcedIoavFraming();

// The framing of one attempt: the forced one when given; otherwise PS190 ports start with
// their own framing and `other_framing` switches them to the standard one (and back), while
// every other port keeps the standard framing.
IoavFraming ChooseIoavFraming(IoavPort port, std::optional<IoavFraming> forced, bool otherFraming);

// The port behind `proxy`, from its parent's "EPICProviderClass"; plain when that is missing.
IoavPort ReadIoavPort(io_service_t proxy);
// The same for a proxy parent already at hand.
IoavPort IoavPortOfParent(io_registry_entry_t parent);

}  // namespace lumra::native
