// The built-in scenario: a laptop panel and two external monitors of an invented make, as
// documented in docs/simulator.md. It goes through the same loader as a scenario file.
#include "sim/world/scenario.hpp"

#include <string>

#include "sim/world/builtin_monitors.hpp"

namespace lumra::sim {

std::string_view DefaultScenarioJson() {
  static const std::string kDefault = R"json({
  "description": "Built-in scenario: a built-in panel and two Orvane monitors. As on real Intel Macs, the panel's framebuffer has an I2C bus too; nothing answers DDC/CI on it.",
  "displays": [
    {
      "id": 1, "vendor": "0x3270", "product": "0xA050", "serial": 0, "unit": 0,
      "builtin": true, "name": "Built-in Display",
      "location": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@0/display0/SimPanel-3270-a050",
      "mode": {"width": 3024, "height": 1964, "logical_width": 1512, "logical_height": 982,
               "refresh_hz": 120}
    },
    {
      "id": "0x2A5C0F11", "vendor": "0x3E56", "product": "0x2710", "serial": "0x00A1B2C3",
      "unit": 1, "name": "Orvane Q27 Pro",
      "location": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@1/display0/SimDisplay-3e56-2710",
      "mode": {"width": 2560, "height": 1440, "logical_width": 2560, "logical_height": 1440,
               "refresh_hz": 74.97}
    },
    {
      "id": "0x2A5C0F12", "vendor": "0x3E56", "product": "0x3220", "serial": "0x00D4E5F6",
      "unit": 2, "name": "Orvane U32 Studio",
      "location": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@2/display0/SimDisplay-3e56-3220",
      "mode": {"width": 3840, "height": 2160, "logical_width": 1920, "logical_height": 1080,
               "refresh_hz": 60}
    }
  ],
  "framebuffers": [
    {
      "entry_id": "0x100000301", "path": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@0",
      "vendor": "0x3270", "product": "0xA050", "name": "Built-in Display",
      "location": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@0/display0/SimPanel-3270-a050",
      "buses": [{"status": "0xE00002C0"}]
    },
    {
      "entry_id": "0x100000412", "path": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@1",
      "vendor": "0x3E56", "product": "0x2710", "serial": "0x00A1B2C3", "name": "Orvane Q27 Pro",
      "location": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@1/display0/SimDisplay-3e56-2710",
      "buses": [{"monitor": "orvane-q27"}]
    },
    {
      "entry_id": "0x100000523", "path": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@2",
      "vendor": "0x3E56", "product": "0x3220", "serial": "0x00D4E5F6",
      "name": "Orvane U32 Studio",
      "location": "IOService:/sim/pci0@0/gfx0@2/SimFramebuffer@2/display0/SimDisplay-3e56-3220",
      "buses": [{"status": "0xE00002C0"}, {"monitor": "orvane-u32"}]
    }
  ],
  "av_services": [
    {"entry_id": "0x100000630", "location": "External", "monitor": "orvane-q27"}
  ],
  "monitors": )json" + std::string(kBuiltinMonitorsJson) + "\n}";
  return kDefault;
}

}  // namespace lumra::sim
