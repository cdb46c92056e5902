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
struct DisplayPipeSnapshot {
  std::string AdapterKey;
  uint32_t Vendor = 0;
  uint32_t Product = 0;
  uint32_t Serial = 0;
  uint32_t Connector = 0;  // from "Transport" → "Downstream"; 0 when it names neither link
  char Name[256] = {};
  char Path[512] = {};
};

// The +1 value of one registry property of the entry itself, or empty.
CfOwned<CFTypeRef> CopyEntryProperty(io_registry_entry_t entry, CFStringRef key) {
  return CfOwned<CFTypeRef>(IORegistryEntryCreateCFProperty(entry, key, kCFAllocatorDefault, 0));
}

bool IsDictionary(CFTypeRef value) {
  return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID();
}

void CopyProductAttributes(CFDictionaryRef attributes, DisplayPipeSnapshot& pipe) {
  const void* product = CFDictionaryGetValue(attributes, CFSTR("ProductAttributes"));
  if (!IsDictionary(product)) return;
  const auto dictionary = static_cast<CFDictionaryRef>(product);
  CopyUint32Property(dictionary, CFSTR("LegacyManufacturerID"), pipe.Vendor);
  CopyUint32Property(dictionary, CFSTR("ProductID"), pipe.Product);
  CopyUint32Property(dictionary, CFSTR("SerialNumber"), pipe.Serial);
  CopyStringProperty(dictionary, CFSTR("ProductName"), pipe.Name, sizeof pipe.Name);
}

// The link the pipe's "Transport" dictionary names downstream of the converter: HDMI or
// DisplayPort, or 0 for anything else.
uint32_t TransportConnector(io_service_t service) {
  const CfOwned<CFTypeRef> transport = CopyEntryProperty(service, CFSTR("Transport"));
  if (!IsDictionary(transport.Get())) return 0;
  const void* downstream =
      CFDictionaryGetValue(static_cast<CFDictionaryRef>(transport.Get()), CFSTR("Downstream"));
  if (IsStringEqualTo(downstream, CFSTR("HDMI"))) return LUMRA_CONNECTOR_HDMI;
  if (IsStringEqualTo(downstream, CFSTR("DP"))) return LUMRA_CONNECTOR_DISPLAYPORT;
  return 0;
}

bool AlreadySeen(const std::vector<DisplayPipeSnapshot>& pipes, const char* path) {
  for (const DisplayPipeSnapshot& pipe : pipes) {
    if (std::strcmp(pipe.Path, path) == 0) return true;
  }
  return false;
}

// Adds the pipe when a display is behind it ("DisplayAttributes" present) and its path names
// an adapter; a pipe that matches more than one class is taken once.
void SnapshotDisplayPipe(io_service_t service, std::vector<DisplayPipeSnapshot>& pipes) {
  DisplayPipeSnapshot pipe;
  CopyRegistryPath(service, pipe.Path, sizeof pipe.Path);
  pipe.AdapterKey = std::string(AdapterKeyFromRegistryPath(pipe.Path));
  if (pipe.AdapterKey.empty() || AlreadySeen(pipes, pipe.Path)) return;
  const CfOwned<CFTypeRef> attributes = CopyEntryProperty(service, CFSTR("DisplayAttributes"));
  if (!IsDictionary(attributes.Get())) return;
  CopyProductAttributes(static_cast<CFDictionaryRef>(attributes.Get()), pipe);
  pipe.Connector = TransportConnector(service);
  pipes.push_back(std::move(pipe));
}

int32_t CopyDisplayPipeSnapshots(std::span<const char* const> pipeClasses,
                                 std::vector<DisplayPipeSnapshot>& pipes) {
  pipes.clear();
  for (const char* className : pipeClasses) {
    io_iterator_t iterator = IO_OBJECT_NULL;
    // The matching dictionary is consumed by the call, whatever happens.
    if (IOServiceGetMatchingServices(kDefaultMainPort, IOServiceMatching(className), &iterator) !=
        KERN_SUCCESS) {
      pipes.clear();
      return LUMRA_NATIVE_FAILED;
    }
    const IoOwned services(iterator);
    for (IoOwned service(IOIteratorNext(iterator)); service;
         service.Reset(IOIteratorNext(iterator))) {
      SnapshotDisplayPipe(service.Get(), pipes);
    }
  }
  return static_cast<int32_t>(pipes.size());
}

const DisplayPipeSnapshot* PipeForAdapter(const std::vector<DisplayPipeSnapshot>& pipes,
                                          std::string_view adapterKey) {
  for (const DisplayPipeSnapshot& pipe : pipes) {
    if (pipe.AdapterKey == adapterKey) return &pipe;
  }
  return nullptr;
}

// Only an explicit false refuses DDC/CI; proxies without the property are tried.
bool ProxySupportsUserInterface(io_service_t proxy) {
  const CfOwned<CFTypeRef> supported =
      CopyEntryProperty(proxy, CFSTR("IOAVServiceUserInterfaceSupported"));
  if (!supported || CFGetTypeID(supported.Get()) != CFBooleanGetTypeID()) return true;
  return CFBooleanGetValue(static_cast<CFBooleanRef>(supported.Get())) != 0;
}

// What a proxy's parent EPIC node says: its name and which converter, if any, is behind the
// port ("EPICProviderClass").
struct ProxyParent {
  io_name_t Name = {};
  IoavPort Port = IoavPort::Plain;
};

bool ReadProxyParent(io_service_t proxy, ProxyParent& parent) {
  io_registry_entry_t entry = IO_OBJECT_NULL;
  if (IORegistryEntryGetParentEntry(proxy, kIOServicePlane, &entry) != KERN_SUCCESS) return false;
  const IoOwned owned(entry);
  if (!owned || IORegistryEntryGetName(owned.Get(), parent.Name) != KERN_SUCCESS) return false;
  parent.Name[sizeof parent.Name - 1] = '\0';
  parent.Port = IoavPortOfParent(owned.Get());
  return true;
}

// The pipe's own word on the link wins; without one, both HDMI converters mean an HDMI port.
uint32_t ConnectorOf(const DisplayPipeSnapshot& pipe, IoavPort port) {
  if (pipe.Connector != 0) return pipe.Connector;
  return port == IoavPort::Plain ? 0 : LUMRA_CONNECTOR_HDMI;
}

void FillIoavRecord(uint64_t endpointId, const ProxyParent& parent, const DisplayPipeSnapshot& pipe,
                    lumra_external_display& record) {
  record = lumra_external_display{};
  record.endpoint_id = endpointId;
  record.vendor_id = pipe.Vendor;
  record.product_id = pipe.Product;
  record.serial_number = pipe.Serial;
  record.backend = LUMRA_BACKEND_IOAVSERVICE;
  record.chip_address =
      parent.Port == IoavPort::Mcdp29xx ? kConverterChipAddress : ddcci::kDisplayChipAddress;
  record.connector_type = ConnectorOf(pipe, parent.Port);
  if (parent.Port == IoavPort::Ps190 && !ForcedIoavFraming()) {
    record.port_flags |= LUMRA_PORT_TWO_FRAMINGS;
  }
  CopyTextField(record.name, sizeof record.name, pipe.Name);
  CopyTextField(record.location, sizeof record.location, pipe.Path);
  CopyTextField(record.proxy_interface_name, sizeof record.proxy_interface_name,
                std::string_view(parent.Name, strnlen(parent.Name, sizeof parent.Name)));
}

// Fills `record` for a proxy that leads to an external display; false to leave it out.
bool DescribeProxy(io_service_t proxy, const std::vector<DisplayPipeSnapshot>& pipes,
                   lumra_external_display& record) {
  if (!ProxyIsExternal(proxy) || !ProxySupportsUserInterface(proxy)) return false;
  ProxyParent parent;
  if (!ReadProxyParent(proxy, parent)) return false;
  const DisplayPipeSnapshot* pipe =
      PipeForAdapter(pipes, AdapterKeyFromInterfaceName(std::string_view(parent.Name)));
  if (pipe == nullptr) return false;
  uint64_t endpointId = 0;
  if (IORegistryEntryGetRegistryEntryID(proxy, &endpointId) != KERN_SUCCESS) return false;
  FillIoavRecord(endpointId, parent, *pipe, record);
  return true;
}

}  // namespace

std::string_view AdapterKeyFromInterfaceName(std::string_view name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {};
  return name.substr(0, colon);
}

std::string_view AdapterKeyFromRegistryPath(std::string_view path) {
  const std::size_t last = path.rfind('/');
  if (last == std::string_view::npos || last == 0 || last + 1 == path.size()) return {};
  const std::size_t before = path.rfind('/', last - 1);
  if (before == std::string_view::npos) return {};
  std::string_view component = path.substr(before + 1, last - before - 1);
  component = component.substr(0, component.find('@'));
  return component.starts_with("disp") ? component : std::string_view();
}

int32_t ListIoavDisplays(lumra_external_display* records, int32_t capacity,
                         std::span<const char* const> pipeClasses) {
  std::vector<DisplayPipeSnapshot> pipes;
  if (CopyDisplayPipeSnapshots(pipeClasses, pipes) == LUMRA_NATIVE_FAILED) {
    return LUMRA_NATIVE_FAILED;
  }
  io_iterator_t iterator = IO_OBJECT_NULL;
  if (IOServiceGetMatchingServices(kDefaultMainPort, IOServiceMatching(kProxyClass), &iterator) !=
      KERN_SUCCESS) {
    return LUMRA_NATIVE_FAILED;
  }
  const IoOwned proxies(iterator);
  int32_t count = 0;
  lumra_external_display record{};
  for (IoOwned proxy(IOIteratorNext(iterator)); proxy; proxy.Reset(IOIteratorNext(iterator))) {
    if (!DescribeProxy(proxy.Get(), pipes, record)) continue;
    if (count == INT32_MAX) return LUMRA_NATIVE_FAILED;
    if (records != nullptr && count < capacity) records[count] = record;
    ++count;
  }
  return count;
}

}  // namespace lumra::native
