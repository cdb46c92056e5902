#include "platform/native/ioav_framing.hpp"

#include "platform/native/handles.hpp"
#include "platform/native/snapshots.hpp"
#include "support/environment.hpp"
#include "support/unicode_fold.hpp"

namespace lumra::native {

std::optional<IoavFraming> ParseIoavFraming(std::string_view text) {
  const std::string lower = support::FoldToASCIILower(text);
  if (lower == "standard") return IoavFraming::Standard;
  if (lower == "ps190") return IoavFraming::Ps190;
  return std::nullopt;
}

std::optional<IoavFraming> ForcedIoavFraming() {
  static const std::optional<IoavFraming> kForced = [] {
    return ParseIoavFraming(support::Getenv(kIOAVFramingVariable));
  }();
  return kForced;
}

IoavFraming ChooseIoavFraming(IoavPort port, std::optional<IoavFraming> forced, bool otherFraming) {
  if (forced) return *forced;
  if (port != IoavPort::Ps190) return IoavFraming::Standard;
  return otherFraming ? IoavFraming::Standard : IoavFraming::Ps190;
}

IoavPort IoavPortOfParent(io_registry_entry_t parent) {
  const CfOwned<CFTypeRef> provider(
      IORegistryEntryCreateCFProperty(parent, CFSTR("EPICProviderClass"), kCFAllocatorDefault, 0));
  if (IsStringEqualTo(provider.Get(), CFSTR("AppleDCPMCDP29XX"))) return IoavPort::Mcdp29xx;
  if (IsStringEqualTo(provider.Get(), CFSTR("AppleDCPPS190"))) return IoavPort::Ps190;
  return IoavPort::Plain;
}

IoavPort ReadIoavPort(io_service_t proxy) {
  io_registry_entry_t entry = IO_OBJECT_NULL;
  if (IORegistryEntryGetParentEntry(proxy, kIOServicePlane, &entry) != KERN_SUCCESS) {
    return IoavPort::Plain;
  }
  const IoOwned parent(entry);
  return parent ? IoavPortOfParent(parent.Get()) : IoavPort::Plain;
}

}  // namespace lumra::native
