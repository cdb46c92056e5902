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
struct DarwinMonitor {
  ddc::Monitor Info;
  std::uint64_t EndpointID = 0;
  std::uint32_t Backend = 0;
  std::uint32_t ChipAddress = 0;
  // The port may answer in either of two framings (LUMRA_PORT_TWO_FRAMINGS): the transport
  // remembers which one answered.
  bool TwoFramings = false;
};

// The transport's copy of one external-display record of the bridge.
struct DarwinNativeMonitorInfo {
  std::uint32_t DisplayID = 0;
  std::uint64_t EndpointID = 0;
  std::uint32_t VendorID = 0;
  std::uint32_t ProductID = 0;
  std::uint32_t Serial = 0;
  std::uint32_t Backend = 0;
  std::uint32_t ChipAddress = 0;
  bool TwoFramings = false;
  std::string Name;
  std::string Location;
  std::string AdapterKey;
  ddc::ConnectorType ConnectorType;
  std::optional<ddc::DisplayMode> Mode;
};

// The transport's copy of one display-metadata record of the bridge.
struct DarwinDisplayMetadata {
  std::uint32_t DisplayID = 0;
  std::uint32_t VendorID = 0;
  std::uint32_t ProductID = 0;
  std::uint32_t Serial = 0;
  std::string Name;
  std::string AdapterKey;
  std::optional<ddc::DisplayMode> Mode;
};

DarwinNativeMonitorInfo DarwinNativeMonitorInfoFromRecord(const lumra_external_display& record);
DarwinDisplayMetadata DarwinDisplayMetadataFromRecord(const lumra_display_metadata& record);

// The display adapter named by a registry location such as "IOService:/a/dispext0@1/b";
// empty when the location names none.
std::string DarwinAdapterKeyFromDisplayLocation(std::string_view location);
// The display adapter named by a proxy interface such as "dispext0:dcpav-service-epic:0";
// empty when the name holds none.
std::string DarwinAdapterKeyFromProxyInterface(std::string_view interfaceName);

// The identity text "VVVV:PPPP:SSSSSSSS" of vendor, product and serial.
std::string IdentityText(std::uint32_t vendorID, std::uint32_t productID, std::uint32_t serial);

// Turns the bridge's displays into cached monitors, in item order: merges unambiguous metadata,
// names unnamed displays, and gives each monitor an identifier that no other monitor of the
// list carries.
std::vector<DarwinMonitor> BuildDarwinMonitors(std::span<const DarwinNativeMonitorInfo> items,
                                               std::span<const DarwinDisplayMetadata> metadata);

// The bridge's display metadata; any failure gives an empty list.
std::vector<DarwinDisplayMetadata> ListDarwinDisplayMetadata(const NativeBridge& bridge);

// The bridge's external displays as monitors, with the display metadata merged in where it
// applies; none when there are none. Fails when the bridge is unavailable, its enumeration
// fails or the context ends.
support::Result<std::vector<DarwinMonitor>> ListDarwinMonitors(const support::Context& ctx,
                                                               const NativeBridge& bridge);

}  // namespace lumra::platform
