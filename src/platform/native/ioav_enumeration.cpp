#include "platform/native/ioav_enumeration.hpp"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/native/exchange.hpp"
#include "platform/native/handles.hpp"
#include "platform/native/platform_api.hpp"
#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {

namespace {

constexpr const char* kProxyClass = "DCPAVServiceProxy";
// Newer systems name the display pipe IOMobileFramebufferShim, older ones AppleCLCD2.
constexpr const char* kDisplayPipeClasses[] = {"IOMobileFramebufferShim", "AppleCLCD2"};

// A display pipe that drives a display: where it sits and what "ProductAttributes" say.
struct display_pipe_snapshot {
  std::string adapter_key;
  uint32_t vendor = 0;
  uint32_t product = 0;
  uint32_t serial = 0;
  char name[256] = {};
  char path[512] = {};
};

// The +1 value of one registry property of the entry itself, or empty.
cf_owned<CFTypeRef> copy_entry_property(io_registry_entry_t entry, CFStringRef key) {
  return cf_owned<CFTypeRef>(IORegistryEntryCreateCFProperty(entry, key, kCFAllocatorDefault, 0));
}

bool is_dictionary(CFTypeRef value) {
  return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID();
}

bool is_string_equal_to(CFTypeRef value, CFStringRef expected) {
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() &&
         CFStringCompare(static_cast<CFStringRef>(value), expected, 0) == kCFCompareEqualTo;
}

void copy_product_attributes(CFDictionaryRef attributes, display_pipe_snapshot& pipe) {
  const void* product = CFDictionaryGetValue(attributes, CFSTR("ProductAttributes"));
  if (!is_dictionary(product)) return;
  const auto dictionary = static_cast<CFDictionaryRef>(product);
  copy_uint32_property(dictionary, CFSTR("LegacyManufacturerID"), pipe.vendor);
  copy_uint32_property(dictionary, CFSTR("ProductID"), pipe.product);
  copy_uint32_property(dictionary, CFSTR("SerialNumber"), pipe.serial);
  copy_string_property(dictionary, CFSTR("ProductName"), pipe.name, sizeof pipe.name);
}

bool already_seen(const std::vector<display_pipe_snapshot>& pipes, const char* path) {
  for (const display_pipe_snapshot& pipe : pipes) {
    if (std::strcmp(pipe.path, path) == 0) return true;
  }
  return false;
}

// Adds the pipe when a display is behind it ("DisplayAttributes" present) and its path names
// an adapter; a pipe that matches more than one class is taken once.
void snapshot_display_pipe(io_service_t service, std::vector<display_pipe_snapshot>& pipes) {
  display_pipe_snapshot pipe;
  copy_registry_path(service, pipe.path, sizeof pipe.path);
  pipe.adapter_key = std::string(adapter_key_from_registry_path(pipe.path));
  if (pipe.adapter_key.empty() || already_seen(pipes, pipe.path)) return;
  const cf_owned<CFTypeRef> attributes = copy_entry_property(service, CFSTR("DisplayAttributes"));
  if (!is_dictionary(attributes.get())) return;
  copy_product_attributes(static_cast<CFDictionaryRef>(attributes.get()), pipe);
  pipes.push_back(std::move(pipe));
}

int32_t copy_display_pipe_snapshots(std::vector<display_pipe_snapshot>& pipes) {
  pipes.clear();
  for (const char* class_name : kDisplayPipeClasses) {
    io_iterator_t iterator = IO_OBJECT_NULL;
    // The matching dictionary is consumed by the call, whatever happens.
    if (IOServiceGetMatchingServices(kDefaultMainPort, IOServiceMatching(class_name),
                                     &iterator) != KERN_SUCCESS) {
      pipes.clear();
      return LUMRA_NATIVE_FAILED;
    }
    const io_owned services(iterator);
    for (io_owned service(IOIteratorNext(iterator)); service;
         service.reset(IOIteratorNext(iterator))) {
      snapshot_display_pipe(service.get(), pipes);
    }
  }
  return static_cast<int32_t>(pipes.size());
}

const display_pipe_snapshot* pipe_for_adapter(const std::vector<display_pipe_snapshot>& pipes,
                                              std::string_view adapter_key) {
  for (const display_pipe_snapshot& pipe : pipes) {
    if (pipe.adapter_key == adapter_key) return &pipe;
  }
  return nullptr;
}

// Only an explicit false refuses DDC/CI; proxies without the property are tried.
bool proxy_supports_user_interface(io_service_t proxy) {
  const cf_owned<CFTypeRef> supported =
      copy_entry_property(proxy, CFSTR("IOAVServiceUserInterfaceSupported"));
  if (!supported || CFGetTypeID(supported.get()) != CFBooleanGetTypeID()) return true;
  return CFBooleanGetValue(static_cast<CFBooleanRef>(supported.get())) != 0;
}

// What a proxy's parent EPIC node says: its name and whether the HDMI port's converter chip
// ("EPICProviderClass" "AppleDCPMCDP29XX") is behind it.
struct proxy_parent {
  io_name_t name = {};
  bool converter = false;
};

bool read_proxy_parent(io_service_t proxy, proxy_parent& parent) {
  io_registry_entry_t entry = IO_OBJECT_NULL;
  if (IORegistryEntryGetParentEntry(proxy, kIOServicePlane, &entry) != KERN_SUCCESS) return false;
  const io_owned owned(entry);
  if (!owned || IORegistryEntryGetName(owned.get(), parent.name) != KERN_SUCCESS) return false;
  parent.name[sizeof parent.name - 1] = '\0';
  const cf_owned<CFTypeRef> provider = copy_entry_property(owned.get(), CFSTR("EPICProviderClass"));
  parent.converter = is_string_equal_to(provider.get(), CFSTR("AppleDCPMCDP29XX"));
  return true;
}

void fill_ioav_record(uint64_t endpoint_id, const proxy_parent& parent,
                      const display_pipe_snapshot& pipe, lumra_external_display& record) {
  record = lumra_external_display{};
  record.endpoint_id = endpoint_id;
  record.vendor_id = pipe.vendor;
  record.product_id = pipe.product;
  record.serial_number = pipe.serial;
  record.backend = LUMRA_BACKEND_IOAVSERVICE;
  record.chip_address = parent.converter ? kConverterChipAddress : kDDCChipAddress;
  record.connector_type = parent.converter ? LUMRA_CONNECTOR_HDMI : 0;
  copy_text_field(record.name, sizeof record.name, pipe.name);
  copy_text_field(record.location, sizeof record.location, pipe.path);
  copy_text_field(record.proxy_interface_name, sizeof record.proxy_interface_name,
                  std::string_view(parent.name, strnlen(parent.name, sizeof parent.name)));
}

// Fills `record` for a proxy that leads to an external display; false to leave it out.
bool describe_proxy(io_service_t proxy, const std::vector<display_pipe_snapshot>& pipes,
                    lumra_external_display& record) {
  if (!proxy_is_external(proxy) || !proxy_supports_user_interface(proxy)) return false;
  proxy_parent parent;
  if (!read_proxy_parent(proxy, parent)) return false;
  const display_pipe_snapshot* pipe = pipe_for_adapter(
      pipes, adapter_key_from_interface_name(std::string_view(parent.name)));
  if (pipe == nullptr) return false;
  uint64_t endpoint_id = 0;
  if (IORegistryEntryGetRegistryEntryID(proxy, &endpoint_id) != KERN_SUCCESS) return false;
  fill_ioav_record(endpoint_id, parent, *pipe, record);
  return true;
}

}  // namespace

std::string_view adapter_key_from_interface_name(std::string_view name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {};
  return name.substr(0, colon);
}

std::string_view adapter_key_from_registry_path(std::string_view path) {
  const std::size_t last = path.rfind('/');
  if (last == std::string_view::npos || last == 0 || last + 1 == path.size()) return {};
  const std::size_t before = path.rfind('/', last - 1);
  if (before == std::string_view::npos) return {};
  std::string_view component = path.substr(before + 1, last - before - 1);
  component = component.substr(0, component.find('@'));
  return component.starts_with("disp") ? component : std::string_view();
}

int32_t list_ioav_displays(lumra_external_display* records, int32_t capacity) {
  std::vector<display_pipe_snapshot> pipes;
  if (copy_display_pipe_snapshots(pipes) == LUMRA_NATIVE_FAILED) return LUMRA_NATIVE_FAILED;
  io_iterator_t iterator = IO_OBJECT_NULL;
  if (IOServiceGetMatchingServices(kDefaultMainPort, IOServiceMatching(kProxyClass),
                                   &iterator) != KERN_SUCCESS) {
    return LUMRA_NATIVE_FAILED;
  }
  const io_owned proxies(iterator);
  int32_t count = 0;
  lumra_external_display record{};
  for (io_owned proxy(IOIteratorNext(iterator)); proxy; proxy.reset(IOIteratorNext(iterator))) {
    if (!describe_proxy(proxy.get(), pipes, record)) continue;
    if (count == INT32_MAX) return LUMRA_NATIVE_FAILED;
    if (records != nullptr && count < capacity) records[count] = record;
    ++count;
  }
  return count;
}

}  // namespace lumra::native
