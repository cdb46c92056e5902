// The platform APIs the bridge calls, by their real names: the system frameworks on macOS,
// the stand-in platform everywhere else.
#pragma once

#include <time.h>

#if defined(__APPLE__)
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <IOKit/IOKitLib.h>
#include <IOKit/graphics/IOGraphicsLib.h>
#include <dlfcn.h>
#include <mach/mach_time.h>
extern "C" {
// This system header lacks its own C++ guard.
#include <IOKit/i2c/IOI2CInterface.h>
}
#else
#include "sim/framework/macos_api.h"

namespace lumra::native {
// The stand-in's dynamic loader answers for the framework paths; these names hide the C
// library's within the bridge, so the bridge text reads as it does on macOS.
// NOLINTBEGIN(readability-identifier-naming): the C library's names, on purpose.
inline void* dlopen(const char* path, int mode) { return lumra_sim_dlopen(path, mode); }
inline void* dlsym(void* handle, const char* symbol) { return lumra_sim_dlsym(handle, symbol); }
inline int dlclose(void* handle) { return lumra_sim_dlclose(handle); }
// NOLINTEND(readability-identifier-naming)
}  // namespace lumra::native
#endif

namespace lumra::native {
// The default main port: MACH_PORT_NULL on every macOS version, where the name
// kIOMainPortDefault exists only from macOS 12 and kIOMasterPortDefault is deprecated there.
inline constexpr mach_port_t kDefaultMainPort = MACH_PORT_NULL;
}  // namespace lumra::native
