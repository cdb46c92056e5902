#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/monitor.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native_bridge.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::platform {

// One cached monitor: what callers see plus what the native exchange needs.
struct darwinMonitor {
  ddc::Monitor info;
  std::uint64_t endpointID = 0;
  std::uint32_t backend = 0;
  std::uint32_t chipAddress = 0;
};

// The transport's copy of one external-display record of the bridge.
struct darwinNativeMonitorInfo {
  std::uint32_t displayID = 0;
  std::uint64_t endpointID = 0;
  std::uint32_t vendorID = 0;
  std::uint32_t productID = 0;
  std::uint32_t serial = 0;
  std::uint32_t backend = 0;
  std::uint32_t chipAddress = 0;
  std::string name;
  std::string location;
  std::string adapterKey;
  ddc::ConnectorType connectorType;
  std::optional<ddc::DisplayMode> mode;
};

// The transport's copy of one display-metadata record of the bridge.
struct darwinDisplayMetadata {
  std::uint32_t displayID = 0;
  std::uint32_t vendorID = 0;
  std::uint32_t productID = 0;
  std::uint32_t serial = 0;
  std::string name;
  std::string adapterKey;
  std::optional<ddc::DisplayMode> mode;
};

darwinNativeMonitorInfo darwinNativeMonitorInfoFromRecord(const lumra_external_display& record);
darwinDisplayMetadata darwinDisplayMetadataFromRecord(const lumra_display_metadata& record);

// The display adapter named by a registry location such as "IOService:/a/dispext0@1/b";
// empty when the location names none.
std::string darwinAdapterKeyFromDisplayLocation(std::string_view location);
// The display adapter named by a proxy interface such as "dispext0:dcpav-service-epic:0";
// empty when the name holds none.
std::string darwinAdapterKeyFromProxyInterface(std::string_view interfaceName);

// The identity text "VVVV:PPPP:SSSSSSSS" of vendor, product and serial.
std::string IdentityText(std::uint32_t vendorID, std::uint32_t productID, std::uint32_t serial);

// Turns the bridge's displays into cached monitors, in item order: merges unambiguous metadata,
// names unnamed displays, and gives each monitor an identifier that no other monitor of the
// list carries.
std::vector<darwinMonitor> buildDarwinMonitors(std::span<const darwinNativeMonitorInfo> items,
                                               std::span<const darwinDisplayMetadata> metadata);

// The bridge's display metadata; any failure gives an empty list.
std::vector<darwinDisplayMetadata> listDarwinDisplayMetadata(const NativeBridge& bridge);

// The bridge's external displays as monitors, with the display metadata merged in where it
// applies; none when there are none. Fails when the bridge is unavailable, its enumeration
// fails or the context ends.
support::Result<std::vector<darwinMonitor>> ListDarwinMonitors(const support::Context& ctx,
                                                               const NativeBridge& bridge);

}  // namespace lumra::platform
