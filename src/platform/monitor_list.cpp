#include "platform/monitor_list.hpp"

#include <map>
#include <set>

#include "ddc/errors.hpp"
#include "platform/display_modes.hpp"
#include "support/format.hpp"
#include "support/sha256.hpp"
#include "support/unicode_fold.hpp"

namespace lumra::platform {

namespace {

constexpr std::string_view kProxyServiceMarker = ":dcpav-service-epic:";
constexpr std::string_view kAdapterPrefix = "disp";

template <typename Record>
using NativeListFunction = int32_t (*)(Record* records, int32_t capacity);

// Records of one retrieval, or the bridge's negative code in `status`.
template <typename Record>
struct NativeRetrieval {
  int32_t Status = 0;
  std::vector<Record> Records;
};

// Up to two retrievals starting at the probed count: one more when displays appeared in
// between, after which a still larger answer is cut to the capacity.
template <typename Record>
NativeRetrieval<Record> RetrieveNativeRecords(NativeListFunction<Record> list, int32_t probed) {
  int32_t capacity = probed;
  for (int attempt = 0;; ++attempt) {
    std::vector<Record> records(static_cast<std::size_t>(capacity));
    const int32_t count = list(records.data(), capacity);
    if (count < 0) return {count, {}};
    if (count <= capacity) {
      records.resize(static_cast<std::size_t>(count));
      return {count, std::move(records)};
    }
    if (attempt == 1) return {capacity, std::move(records)};
    capacity = count;
  }
}

std::string PathKey(const std::string& location) {
  if (location.empty()) return {};
  const support::Sha256Digest digest = support::Sha256(location);
  return support::Format("path:%x", std::span<const std::uint8_t>(digest.data(), 6));
}

bool AmbiguousIdentity(const DarwinNativeMonitorInfo& item,
                       const std::map<std::string, int>& identityCounts,
                       const std::string& identity) {
  return item.Serial == 0 || identityCounts.at(identity) > 1;
}

std::string IdentifierKey(const DarwinNativeMonitorInfo& item, bool ambiguous,
                          const std::string& identity, const std::string& path) {
  if (ambiguous && !path.empty()) return path;
  if (ambiguous && item.EndpointID != 0) return support::Format("endpoint:%016X", item.EndpointID);
  return identity;
}

// Metadata for an IOAVService item whose adapter key is unique on both sides, else null.
const DarwinDisplayMetadata* MergeableMetadata(
    const DarwinNativeMonitorInfo& item, const std::map<std::string, int>& endpointKeyCounts,
    const std::map<std::string, int>& metadataKeyCounts,
    const std::map<std::string, const DarwinDisplayMetadata*>& metadataByKey) {
  if (item.Backend != LUMRA_BACKEND_IOAVSERVICE || item.AdapterKey.empty()) return nullptr;
  const auto endpoints = endpointKeyCounts.find(item.AdapterKey);
  const auto entries = metadataKeyCounts.find(item.AdapterKey);
  if (endpoints == endpointKeyCounts.end() || endpoints->second != 1) return nullptr;
  if (entries == metadataKeyCounts.end() || entries->second != 1) return nullptr;
  return metadataByKey.at(item.AdapterKey);
}

ddc::ConnectorType ConnectorTypeFromNative(std::uint32_t connector) {
  switch (connector) {
    case LUMRA_CONNECTOR_HDMI:
      return "hdmi";
    case LUMRA_CONNECTOR_DISPLAYPORT:
      return "displayport";
    default:
      return "";
  }
}

}  // namespace

DarwinNativeMonitorInfo DarwinNativeMonitorInfoFromRecord(const lumra_external_display& record) {
  DarwinNativeMonitorInfo info;
  info.DisplayID = record.display_id;
  info.EndpointID = record.endpoint_id;
  info.VendorID = record.vendor_id;
  info.ProductID = record.product_id;
  info.Serial = record.serial_number;
  info.Backend = record.backend;
  info.ChipAddress = record.chip_address;
  info.TwoFramings = (record.port_flags & LUMRA_PORT_TWO_FRAMINGS) != 0;
  info.Name = NativeText(record.name);
  info.Location = NativeText(record.location);
  info.AdapterKey = DarwinAdapterKeyFromProxyInterface(NativeText(record.proxy_interface_name));
  info.ConnectorType = ConnectorTypeFromNative(record.connector_type);
  info.Mode = ModeFromNative(record.mode_valid, record.pixel_width, record.pixel_height,
                             record.logical_width, record.logical_height, record.refresh_hz);
  return info;
}

DarwinDisplayMetadata DarwinDisplayMetadataFromRecord(const lumra_display_metadata& record) {
  DarwinDisplayMetadata metadata;
  metadata.DisplayID = record.display_id;
  metadata.VendorID = record.vendor_id;
  metadata.ProductID = record.product_id;
  metadata.Serial = record.serial_number;
  metadata.Name = NativeText(record.name);
  metadata.AdapterKey = DarwinAdapterKeyFromDisplayLocation(NativeText(record.display_location));
  metadata.Mode = ModeFromNative(record.mode_valid, record.pixel_width, record.pixel_height,
                                 record.logical_width, record.logical_height, record.refresh_hz);
  return metadata;
}

std::string DarwinAdapterKeyFromDisplayLocation(std::string_view location) {
  const std::string_view trimmed = support::TrimUnicodeSpace(location);
  std::vector<std::string_view> components;
  for (std::size_t start = 0;;) {
    const std::size_t slash = trimmed.find('/', start);
    components.push_back(trimmed.substr(start, slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  if (components.size() < 3 || components.back().empty()) return {};
  std::string_view adapter = components[components.size() - 2];
  adapter = adapter.substr(0, adapter.find('@'));
  return adapter.starts_with(kAdapterPrefix) ? std::string(adapter) : std::string();
}

std::string DarwinAdapterKeyFromProxyInterface(std::string_view interfaceName) {
  const std::size_t marker = interfaceName.find(kProxyServiceMarker);
  if (marker == std::string_view::npos || marker == 0) return {};
  const std::string_view adapter = interfaceName.substr(0, marker);
  return adapter.starts_with(kAdapterPrefix) ? std::string(adapter) : std::string();
}

std::string IdentityText(std::uint32_t vendorID, std::uint32_t productID, std::uint32_t serial) {
  return support::Format("%04X:%04X:%08X", vendorID, productID, serial);
}

std::vector<DarwinMonitor> BuildDarwinMonitors(std::span<const DarwinNativeMonitorInfo> items,
                                               std::span<const DarwinDisplayMetadata> metadata) {
  std::map<std::string, int> endpointKeyCounts;
  for (const DarwinNativeMonitorInfo& item : items) {
    if (item.Backend == LUMRA_BACKEND_IOAVSERVICE && !item.AdapterKey.empty()) {
      ++endpointKeyCounts[item.AdapterKey];
    }
  }
  std::map<std::string, int> metadataKeyCounts;
  std::map<std::string, const DarwinDisplayMetadata*> metadataByKey;
  for (const DarwinDisplayMetadata& entry : metadata) {
    if (entry.AdapterKey.empty()) continue;
    ++metadataKeyCounts[entry.AdapterKey];
    metadataByKey[entry.AdapterKey] = &entry;
  }
  std::map<std::string, int> identityCounts;
  for (const DarwinNativeMonitorInfo& item : items) {
    ++identityCounts[IdentityText(item.VendorID, item.ProductID, item.Serial)];
  }

  std::vector<DarwinMonitor> monitors;
  monitors.reserve(items.size());
  std::set<std::string> usedIDs;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const DarwinNativeMonitorInfo& item = items[i];
    std::uint32_t displayID = item.DisplayID;
    std::uint32_t vendorID = item.VendorID;
    std::uint32_t productID = item.ProductID;
    std::uint32_t serial = item.Serial;
    std::string name = item.Name;
    std::optional<ddc::DisplayMode> mode = item.Mode;
    if (const DarwinDisplayMetadata* merged =
            MergeableMetadata(item, endpointKeyCounts, metadataKeyCounts, metadataByKey)) {
      displayID = merged->DisplayID;
      vendorID = merged->VendorID;
      productID = merged->ProductID;
      serial = merged->Serial;
      mode = merged->Mode;
      if (!merged->Name.empty()) name = merged->Name;
    }
    if (name.empty()) name = support::Format("display-%d", displayID);

    const std::string identity = IdentityText(item.VendorID, item.ProductID, item.Serial);
    const std::string path = PathKey(item.Location);
    const bool ambiguous = AmbiguousIdentity(item, identityCounts, identity);
    std::string id = "darwin:" + IdentifierKey(item, ambiguous, identity, path);
    // Selectors find monitors by ID, so a repeated ID would make the later monitor unreachable.
    if (!usedIDs.insert(id).second) {
      id += support::Format("#%d", i);
      usedIDs.insert(id);
    }

    DarwinMonitor monitor;
    monitor.Info.ID = std::move(id);
    monitor.Info.Index = static_cast<std::int64_t>(i);
    monitor.Info.Name = std::move(name);
    monitor.Info.Manufacturer = support::Format("0x%04X", vendorID);
    monitor.Info.Model = support::Format("0x%04X", productID);
    monitor.Info.Serial = support::Format("%08X", serial);
    monitor.Info.Connector = path;
    monitor.Info.ConnectorType = item.ConnectorType;
    monitor.Info.CurrentMode = NormalizeMode(mode);
    monitor.Info.Backend =
        item.Backend == LUMRA_BACKEND_IOAVSERVICE ? "ioavservice" : "ioframebuffer";
    monitor.EndpointID = item.EndpointID;
    monitor.Backend = item.Backend;
    monitor.ChipAddress = item.ChipAddress;
    monitor.TwoFramings = item.TwoFramings;
    monitors.push_back(std::move(monitor));
  }
  return monitors;
}

std::vector<DarwinDisplayMetadata> ListDarwinDisplayMetadata(const NativeBridge& bridge) {
  const int32_t probed = bridge.ListDisplayMetadata(nullptr, 0);
  if (probed <= 0) return {};
  const auto retrieved = RetrieveNativeRecords(bridge.ListDisplayMetadata, probed);
  std::vector<DarwinDisplayMetadata> metadata;
  if (retrieved.Status < 0) return metadata;
  metadata.reserve(retrieved.Records.size());
  for (const lumra_display_metadata& record : retrieved.Records) {
    metadata.push_back(DarwinDisplayMetadataFromRecord(record));
  }
  return metadata;
}

support::Result<std::vector<DarwinMonitor>> ListDarwinMonitors(const support::Context& ctx,
                                                               const NativeBridge& bridge) {
  const int32_t probed = bridge.ListExternalDisplays(nullptr, 0);
  if (probed == LUMRA_NATIVE_UNAVAILABLE) {
    return {{},
            support::Errorf("%w: native display backend symbols are unavailable",
                            ddc::kErrBackendUnavailable)};
  }
  if (probed < 0) return {{}, support::Errorf("native display enumeration failed: %d", probed)};
  if (probed == 0) return {{}, {}};
  auto retrieved = RetrieveNativeRecords(bridge.ListExternalDisplays, probed);
  if (retrieved.Status < 0) {
    return {{}, support::Errorf("native display enumeration failed: %d", retrieved.Status)};
  }
  if (support::Error ended = ctx.Err()) return {{}, ended};

  std::vector<DarwinNativeMonitorInfo> items;
  items.reserve(retrieved.Records.size());
  bool needsDisplayMetadata = false;
  for (const lumra_external_display& record : retrieved.Records) {
    items.push_back(DarwinNativeMonitorInfoFromRecord(record));
    needsDisplayMetadata = needsDisplayMetadata || record.backend == LUMRA_BACKEND_IOAVSERVICE;
  }
  std::vector<DarwinDisplayMetadata> metadata;
  if (needsDisplayMetadata) metadata = ListDarwinDisplayMetadata(bridge);
  if (support::Error ended = ctx.Err()) return {{}, ended};
  return {BuildDarwinMonitors(items, metadata), {}};
}

}  // namespace lumra::platform
