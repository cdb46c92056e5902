#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumra::ddc {

// The connector kind as lower-case text; empty means unknown. Meaningful values: hdmi,
// displayport, dvi, vga, usb, edp, lvds, internal, virtual, other.
using ConnectorType = std::string;

struct DisplayMode {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  double RefreshHz = 0;
  std::uint32_t LogicalWidth = 0;
  std::uint32_t LogicalHeight = 0;
};

// One external monitor as the transport reports it. A value: copies own their mode.
struct Monitor {
  std::string ID;
  std::int64_t Index = 0;
  std::string Name;
  std::string Manufacturer;
  std::string Model;
  std::string Serial;
  std::string Connector;
  ddc::ConnectorType ConnectorType;
  std::optional<DisplayMode> CurrentMode;
  std::string Backend;
  std::string Path;
};

}  // namespace lumra::ddc
