// IOGraphics functions of macos_api.h: the framebuffer's display information dictionary and
// its I2C buses.
#include "sim/framework/display_info.hpp"
#include "sim/framework/io_objects.hpp"
#include "sim/framework/macos_api.h"

namespace lumra::sim {
namespace {

// The scenario framebuffer behind a service handle, or nullptr.
const FramebufferSpec* FramebufferOf(const std::optional<EntryObject>& entry) {
  if (!entry) return nullptr;
  const RegistryEntry& registryEntry = entry->World->Registry.Entry(entry->Entry);
  if (registryEntry.Role != EntryRole::Framebuffer) return nullptr;
  return &entry->World->Scenario.Framebuffers[registryEntry.SpecIndex];
}

}  // namespace
}  // namespace lumra::sim

using namespace lumra::sim;

extern "C" {

CFDictionaryRef IODisplayCreateInfoDictionary(io_service_t framebuffer, IOOptionBits options) {
  const auto entry = FindEntry(framebuffer);
  const FramebufferSpec* spec = FramebufferOf(entry);
  if (spec == nullptr) return nullptr;
  return ToRef<CFDictionaryRef>(FramebufferInfoDictionary(*spec, options));
}

IOReturn IOFBGetI2CInterfaceCount(io_service_t framebuffer, IOItemCount* count) {
  const auto entry = FindEntry(framebuffer);
  const FramebufferSpec* spec = FramebufferOf(entry);
  if (spec == nullptr || count == nullptr) return kIOReturnBadArgument;
  if (spec->I2cCountStatus != 0) return spec->I2cCountStatus;
  *count = static_cast<IOItemCount>(spec->Buses.size());
  return kIOReturnSuccess;
}

IOReturn IOFBCopyI2CInterfaceForBus(io_service_t framebuffer, IOOptionBits bus,
                                    io_service_t* interface) {
  const auto entry = FindEntry(framebuffer);
  const FramebufferSpec* spec = FramebufferOf(entry);
  if (spec == nullptr || interface == nullptr) return kIOReturnBadArgument;
  if (bus >= spec->Buses.size()) return kIOReturnNoDevice;
  const std::size_t index = entry->World->Registry.Entry(entry->Entry).SpecIndex;
  *interface = AddIoObject(I2CInterfaceObject{entry->World, index, bus});
  return kIOReturnSuccess;
}

}  // extern "C"
