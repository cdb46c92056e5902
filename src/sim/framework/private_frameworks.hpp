// Entry points that the bridge finds only through the dynamic loader: the IOAVService
// functions of IOKit and the CoreDisplay information dictionary. They are not exported under
// their own names, so code that skipped the lookup would not link.
#pragma once

#include <string_view>

#include "sim/framework/macos_api.h"

namespace lumra::sim {

// The entry point names of each library: what the loader answers and what a scenario may
// declare missing.
inline constexpr std::string_view kIoavEntryPoints[] = {
    "IOAVServiceCreateWithService", "IOAVServiceWriteI2C", "IOAVServiceReadI2C"};
inline constexpr std::string_view kCoreDisplayEntryPoints[] = {
    "CoreDisplay_DisplayCreateInfoDictionary"};

CFTypeRef IoavCreateWithService(CFAllocatorRef allocator, io_service_t service);
IOReturn IoavWriteI2C(CFTypeRef service, uint32_t chipAddress, uint32_t dataAddress, void* buffer,
                      uint32_t length);
IOReturn IoavReadI2C(CFTypeRef service, uint32_t chipAddress, uint32_t offset, void* buffer,
                     uint32_t length);

CFDictionaryRef CoreDisplayCreateInfoDictionary(CGDirectDisplayID display);

}  // namespace lumra::sim
