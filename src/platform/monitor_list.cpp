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
using nativeListFunction = int32_t (*)(Record* records, int32_t capacity);

// Records of one retrieval, or the bridge's negative code in `status`.
template <typename Record>
struct nativeRetrieval {
  int32_t status = 0;
  std::vector<Record> records;
};

// Up to two retrievals starting at the probed count: one more when displays appeared in
// between, after which a still larger answer is cut to the capacity.
template <typename Record>
nativeRetrieval<Record> retrieveNativeRecords(nativeListFunction<Record> list, int32_t probed) {
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

std::string pathKey(const std::string& location) {
  if (location.empty()) return {};
  const support::Sha256Digest digest = support::Sha256(location);
  return support::Format("path:%x", std::span<const std::uint8_t>(digest.data(), 6));
}

bool ambiguousIdentity(const darwinNativeMonitorInfo& item,
                       const std::map<std::string, int>& identityCounts,
                       const std::string& identity) {
  return item.serial == 0 || identityCounts.at(identity) > 1;
}

std::string identifierKey(const darwinNativeMonitorInfo& item, bool ambiguous,
                          const std::string& identity, const std::string& path) {
  if (ambiguous && !path.empty()) return path;
  if (ambiguous && item.endpointID != 0) return support::Format("endpoint:%016X", item.endpointID);
  return identity;
}

// Metadata for an IOAVService item whose adapter key is unique on both sides, else null.
const darwinDisplayMetadata* mergeableMetadata(
    const darwinNativeMonitorInfo& item, const std::map<std::string, int>& endpointKeyCounts,
    const std::map<std::string, int>& metadataKeyCounts,
    const std::map<std::string, const darwinDisplayMetadata*>& metadataByKey) {
  if (item.backend != LUMRA_BACKEND_IOAVSERVICE || item.adapterKey.empty()) return nullptr;
  const auto endpoints = endpointKeyCounts.find(item.adapterKey);
  const auto entries = metadataKeyCounts.find(item.adapterKey);
  if (endpoints == endpointKeyCounts.end() || endpoints->second != 1) return nullptr;
  if (entries == metadataKeyCounts.end() || entries->second != 1) return nullptr;
  return metadataByKey.at(item.adapterKey);
}

ddc::ConnectorType connectorTypeFromNative(std::uint32_t connector) {
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

darwinNativeMonitorInfo darwinNativeMonitorInfoFromRecord(const lumra_external_display& record) {
  darwinNativeMonitorInfo info;
  info.displayID = record.display_id;
  info.endpointID = record.endpoint_id;
  info.vendorID = record.vendor_id;
  info.productID = record.product_id;
  info.serial = record.serial_number;
  info.backend = record.backend;
  info.chipAddress = record.chip_address;
  info.name = nativeText(record.name);
  info.location = nativeText(record.location);
  info.adapterKey = darwinAdapterKeyFromProxyInterface(nativeText(record.proxy_interface_name));
  info.connectorType = connectorTypeFromNative(record.connector_type);
  info.mode = ModeFromNative(record.mode_valid, record.pixel_width, record.pixel_height,
                             record.logical_width, record.logical_height, record.refresh_hz);
  return info;
}

darwinDisplayMetadata darwinDisplayMetadataFromRecord(const lumra_display_metadata& record) {
  darwinDisplayMetadata metadata;
  metadata.displayID = record.display_id;
  metadata.vendorID = record.vendor_id;
  metadata.productID = record.product_id;
  metadata.serial = record.serial_number;
  metadata.name = nativeText(record.name);
  metadata.adapterKey = darwinAdapterKeyFromDisplayLocation(nativeText(record.display_location));
  metadata.mode = ModeFromNative(record.mode_valid, record.pixel_width, record.pixel_height,
                                 record.logical_width, record.logical_height, record.refresh_hz);
  return metadata;
}

std::string darwinAdapterKeyFromDisplayLocation(std::string_view location) {
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

std::string darwinAdapterKeyFromProxyInterface(std::string_view interfaceName) {
  const std::size_t marker = interfaceName.find(kProxyServiceMarker);
  if (marker == std::string_view::npos || marker == 0) return {};
  const std::string_view adapter = interfaceName.substr(0, marker);
  return adapter.starts_with(kAdapterPrefix) ? std::string(adapter) : std::string();
}

std::string IdentityText(std::uint32_t vendorID, std::uint32_t productID, std::uint32_t serial) {
  return support::Format("%04X:%04X:%08X", vendorID, productID, serial);
}

std::vector<darwinMonitor> buildDarwinMonitors(std::span<const darwinNativeMonitorInfo> items,
                                               std::span<const darwinDisplayMetadata> metadata) {
  std::map<std::string, int> endpointKeyCounts;
  for (const darwinNativeMonitorInfo& item : items) {
    if (item.backend == LUMRA_BACKEND_IOAVSERVICE && !item.adapterKey.empty()) {
      ++endpointKeyCounts[item.adapterKey];
    }
  }
  std::map<std::string, int> metadataKeyCounts;
  std::map<std::string, const darwinDisplayMetadata*> metadataByKey;
  for (const darwinDisplayMetadata& entry : metadata) {
    if (entry.adapterKey.empty()) continue;
    ++metadataKeyCounts[entry.adapterKey];
    metadataByKey[entry.adapterKey] = &entry;
  }
  std::map<std::string, int> identityCounts;
  for (const darwinNativeMonitorInfo& item : items) {
    ++identityCounts[IdentityText(item.vendorID, item.productID, item.serial)];
  }

  std::vector<darwinMonitor> monitors;
  monitors.reserve(items.size());
  std::set<std::string> usedIDs;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const darwinNativeMonitorInfo& item = items[i];
    std::uint32_t displayID = item.displayID;
    std::uint32_t vendorID = item.vendorID;
    std::uint32_t productID = item.productID;
    std::uint32_t serial = item.serial;
    std::string name = item.name;
    std::optional<ddc::DisplayMode> mode = item.mode;
    if (const darwinDisplayMetadata* merged =
            mergeableMetadata(item, endpointKeyCounts, metadataKeyCounts, metadataByKey)) {
      displayID = merged->displayID;
      vendorID = merged->vendorID;
      productID = merged->productID;
      serial = merged->serial;
      mode = merged->mode;
      if (!merged->name.empty()) name = merged->name;
    }
    if (name.empty()) name = support::Format("display-%d", displayID);

    const std::string identity = IdentityText(item.vendorID, item.productID, item.serial);
    const std::string path = pathKey(item.location);
    const bool ambiguous = ambiguousIdentity(item, identityCounts, identity);
    std::string id = "darwin:" + identifierKey(item, ambiguous, identity, path);
    // Selectors find monitors by ID, so a repeated ID would make the later monitor unreachable.
    if (!usedIDs.insert(id).second) {
      id += support::Format("#%d", i);
      usedIDs.insert(id);
    }

    darwinMonitor monitor;
    monitor.info.ID = std::move(id);
    monitor.info.Index = static_cast<std::int64_t>(i);
    monitor.info.Name = std::move(name);
    monitor.info.Manufacturer = support::Format("0x%04X", vendorID);
    monitor.info.Model = support::Format("0x%04X", productID);
    monitor.info.Serial = support::Format("%08X", serial);
    monitor.info.Connector = path;
    monitor.info.ConnectorType = item.connectorType;
    monitor.info.CurrentMode = NormalizeMode(mode);
    monitor.info.Backend =
        item.backend == LUMRA_BACKEND_IOAVSERVICE ? "ioavservice" : "ioframebuffer";
    monitor.endpointID = item.endpointID;
    monitor.backend = item.backend;
    monitor.chipAddress = item.chipAddress;
    monitors.push_back(std::move(monitor));
  }
  return monitors;
}

std::vector<darwinDisplayMetadata> listDarwinDisplayMetadata(const NativeBridge& bridge) {
  const int32_t probed = bridge.listDisplayMetadata(nullptr, 0);
  if (probed <= 0) return {};
  const auto retrieved = retrieveNativeRecords(bridge.listDisplayMetadata, probed);
  std::vector<darwinDisplayMetadata> metadata;
  if (retrieved.status < 0) return metadata;
  metadata.reserve(retrieved.records.size());
  for (const lumra_display_metadata& record : retrieved.records) {
    metadata.push_back(darwinDisplayMetadataFromRecord(record));
  }
  return metadata;
}

support::Result<std::vector<darwinMonitor>> ListDarwinMonitors(const support::Context& ctx,
                                                               const NativeBridge& bridge) {
  const int32_t probed = bridge.listExternalDisplays(nullptr, 0);
  if (probed == LUMRA_NATIVE_UNAVAILABLE) {
    return {{},
            support::Errorf("%w: native display backend symbols are unavailable",
                            ddc::ErrBackendUnavailable)};
  }
  if (probed < 0) return {{}, support::Errorf("native display enumeration failed: %d", probed)};
  if (probed == 0) return {{}, {}};
  auto retrieved = retrieveNativeRecords(bridge.listExternalDisplays, probed);
  if (retrieved.status < 0) {
    return {{}, support::Errorf("native display enumeration failed: %d", retrieved.status)};
  }
  if (support::Error ended = ctx.Err()) return {{}, ended};

  std::vector<darwinNativeMonitorInfo> items;
  items.reserve(retrieved.records.size());
  bool needsDisplayMetadata = false;
  for (const lumra_external_display& record : retrieved.records) {
    items.push_back(darwinNativeMonitorInfoFromRecord(record));
    needsDisplayMetadata = needsDisplayMetadata || record.backend == LUMRA_BACKEND_IOAVSERVICE;
  }
  std::vector<darwinDisplayMetadata> metadata;
  if (needsDisplayMetadata) metadata = listDarwinDisplayMetadata(bridge);
  if (support::Error ended = ctx.Err()) return {{}, ended};
  return {buildDarwinMonitors(items, metadata), {}};
}

}  // namespace lumra::platform
