// The Apple silicon half of the external-display enumeration: monitors behind
// DCPAVServiceProxy services, paired by adapter key with the display pipe that drives them.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/native/lumra_native.h"

namespace lumra::native {

// Same contract as lumra_list_external_displays, for the IOAVService records alone: the full
// count, the first min(count, capacity) records written when `records` is given, or
// LUMRA_NATIVE_FAILED when a registry lookup fails.
int32_t list_ioav_displays(lumra_external_display* records, int32_t capacity);

// "dispext0" for a proxy parent named "dispext0:dcpav-service-epic:0": the text before the
// first ":"; empty when there is none or it is empty.
std::string_view adapter_key_from_interface_name(std::string_view name);

// "dispext0" for ".../dispext0@F4000000/IOMobileFramebufferShim": the second-to-last path
// component up to its "@", when it begins with "disp"; empty otherwise.
std::string_view adapter_key_from_registry_path(std::string_view path);

}  // namespace lumra::native
