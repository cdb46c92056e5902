#include "platform/native/ioav_enumeration.hpp"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/native/exchange.hpp"
#include "platform/native/handles.hpp"
#include "platform/native/ioav_framing.hpp"
#include "platform/native/platform_api.hpp"
#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {

namespace {

constexpr const char* kProxyClass = "DCPAVServiceProxy";

// A display pipe that drives a display: where it sits and what "ProductAttributes" say.
struct display_pipe_snapshot {
  std::string adapter_key;
  uint32_t vendor = 0;
  uint32_t product = 0;
  uint32_t serial = 0;
  uint32_t connector = 0;  // from "Transport" → "Downstream"; 0 when it names neither link
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

void copy_product_attributes(CFDictionaryRef attributes, display_pipe_snapshot& pipe) {
  const void* product = CFDictionaryGetValue(attributes, CFSTR("ProductAttributes"));
  if (!is_dictionary(product)) return;
  const auto dictionary = static_cast<CFDictionaryRef>(product);
  copy_uint32_property(dictionary, CFSTR("LegacyManufacturerID"), pipe.vendor);
  copy_uint32_property(dictionary, CFSTR("ProductID"), pipe.product);
  copy_uint32_property(dictionary, CFSTR("SerialNumber"), pipe.serial);
  copy_string_property(dictionary, CFSTR("ProductName"), pipe.name, sizeof pipe.name);
}

// The link the pipe's "Transport" dictionary names downstream of the converter: HDMI or
// DisplayPort, or 0 for anything else.
uint32_t transport_connector(io_service_t service) {
  const cf_owned<CFTypeRef> transport = copy_entry_property(service, CFSTR("Transport"));
  if (!is_dictionary(transport.get())) return 0;
  const void* downstream =
      CFDictionaryGetValue(static_cast<CFDictionaryRef>(transport.get()), CFSTR("Downstream"));
  if (is_string_equal_to(downstream, CFSTR("HDMI"))) return LUMRA_CONNECTOR_HDMI;
  if (is_string_equal_to(downstream, CFSTR("DP"))) return LUMRA_CONNECTOR_DISPLAYPORT;
  return 0;
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
  pipe.connector = transport_connector(service);
  pipes.push_back(std::move(pipe));
}

int32_t copy_display_pipe_snapshots(std::span<const char* const> pipe_classes,
                                    std::vector<display_pipe_snapshot>& pipes) {
  pipes.clear();
  for (const char* class_name : pipe_classes) {
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

// What a proxy's parent EPIC node says: its name and which converter, if any, is behind the
// port ("EPICProviderClass").
struct proxy_parent {
  io_name_t name = {};
  ioav_port port = ioav_port::plain;
};

bool read_proxy_parent(io_service_t proxy, proxy_parent& parent) {
  io_registry_entry_t entry = IO_OBJECT_NULL;
  if (IORegistryEntryGetParentEntry(proxy, kIOServicePlane, &entry) != KERN_SUCCESS) return false;
  const io_owned owned(entry);
  if (!owned || IORegistryEntryGetName(owned.get(), parent.name) != KERN_SUCCESS) return false;
  parent.name[sizeof parent.name - 1] = '\0';
  parent.port = ioav_port_of_parent(owned.get());
  return true;
}

// The pipe's own word on the link wins; without one, both HDMI converters mean an HDMI port.
uint32_t connector_of(const display_pipe_snapshot& pipe, ioav_port port) {
  if (pipe.connector != 0) return pipe.connector;
  return port == ioav_port::plain ? 0 : LUMRA_CONNECTOR_HDMI;
}

void fill_ioav_record(uint64_t endpoint_id, const proxy_parent& parent,
                      const display_pipe_snapshot& pipe, lumra_external_display& record) {
  record = lumra_external_display{};
  record.endpoint_id = endpoint_id;
  record.vendor_id = pipe.vendor;
  record.product_id = pipe.product;
  record.serial_number = pipe.serial;
  record.backend = LUMRA_BACKEND_IOAVSERVICE;
  record.chip_address =
      parent.port == ioav_port::mcdp29xx ? kConverterChipAddress : ddcci::kDisplayChipAddress;
  record.connector_type = connector_of(pipe, parent.port);
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

int32_t list_ioav_displays(lumra_external_display* records, int32_t capacity,
                           std::span<const char* const> pipe_classes) {
  std::vector<display_pipe_snapshot> pipes;
  if (copy_display_pipe_snapshots(pipe_classes, pipes) == LUMRA_NATIVE_FAILED) {
    return LUMRA_NATIVE_FAILED;
  }
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
