#include "platform/native/ioav_framing.hpp"

#include "platform/native/handles.hpp"
#include "platform/native/snapshots.hpp"
#include "support/environment.hpp"

namespace lumra::native {

std::optional<ioav_framing> parse_ioav_framing(std::string_view text) {
  if (text == "standard") return ioav_framing::standard;
  if (text == "ps190") return ioav_framing::ps190;
  return std::nullopt;
}

std::optional<ioav_framing> forced_ioav_framing() {
  static const std::optional<ioav_framing> forced = [] {
    return parse_ioav_framing(support::Getenv(kIOAVFramingVariable));
  }();
  return forced;
}

ioav_framing choose_ioav_framing(ioav_port port, std::optional<ioav_framing> forced,
                                 bool other_framing) {
  if (forced) return *forced;
  if (port != ioav_port::ps190) return ioav_framing::standard;
  return other_framing ? ioav_framing::standard : ioav_framing::ps190;
}

ioav_port ioav_port_of_parent(io_registry_entry_t parent) {
  const cf_owned<CFTypeRef> provider(IORegistryEntryCreateCFProperty(
      parent, CFSTR("EPICProviderClass"), kCFAllocatorDefault, 0));
  if (is_string_equal_to(provider.get(), CFSTR("AppleDCPMCDP29XX"))) return ioav_port::mcdp29xx;
  if (is_string_equal_to(provider.get(), CFSTR("AppleDCPPS190"))) return ioav_port::ps190;
  return ioav_port::plain;
}

ioav_port read_ioav_port(io_service_t proxy) {
  io_registry_entry_t entry = IO_OBJECT_NULL;
  if (IORegistryEntryGetParentEntry(proxy, kIOServicePlane, &entry) != KERN_SUCCESS) {
    return ioav_port::plain;
  }
  const io_owned parent(entry);
  return parent ? ioav_port_of_parent(parent.get()) : ioav_port::plain;
}

}  // namespace lumra::native
