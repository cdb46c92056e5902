// The Apple silicon half of the external-display enumeration: monitors behind
// DCPAVServiceProxy services, paired by adapter key with the display pipe that drives them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/native/lumra_native.h"

namespace lumra::native {

// The classes whose services are display pipes: the leaf names seen on real Macs
// (IOMobileFramebufferShim on newer systems, AppleCLCD2 on older ones) and their common base
// class, so that a pipe under a leaf name not seen yet is still found. A pipe matched by
// several is taken once.
inline constexpr const char* kDisplayPipeClasses[] = {"IOMobileFramebufferShim", "AppleCLCD2",
                                                      "IOMobileFramebuffer"};

// Same contract as lumra_list_external_displays, for the IOAVService records alone: the full
// count, the first min(count, capacity) records written when `records` is given, or
// LUMRA_NATIVE_FAILED when a registry lookup fails. Display pipes are the services of
// `pipe_classes`.
int32_t ListIoavDisplays(lumra_external_display* records, int32_t capacity,
                         std::span<const char* const> pipeClasses = kDisplayPipeClasses);

// "dispext0" for a proxy parent named "dispext0:dcpav-service-epic:0": the text before the
// first ":"; empty when there is none or it is empty.
std::string_view AdapterKeyFromInterfaceName(std::string_view name);

// "dispext0" for ".../dispext0@F4000000/IOMobileFramebufferShim": the second-to-last path
// component up to its "@", when it begins with "disp"; empty otherwise.
std::string_view AdapterKeyFromRegistryPath(std::string_view path);

}  // namespace lumra::native
