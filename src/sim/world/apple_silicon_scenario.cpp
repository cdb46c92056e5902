// The built-in Apple silicon scenario (LUMRA_SIMULATION=apple-silicon), as documented in
// docs/simulator.md: the registry layout of a laptop whose displays hang off display
// coprocessors, with the monitors of the default scenario on a USB-C port and on the HDMI port.
#include "sim/world/scenario.hpp"

#include <string>

#include "sim/world/builtin_monitors.hpp"

namespace lumra::sim {

std::string_view AppleSiliconScenarioJson() {
  static const std::string kAppleSilicon = R"json({
  "description": "Built-in Apple silicon scenario: a laptop with its panel, an Orvane Q27 on a USB-C (DisplayPort) port and an Orvane U32 on the HDMI port behind its MCDP29xx converter chip. Display pipes are of the class AppleCLCD2, which real Macs of the MCDP29xx generation (M1, M2) show; their node names stay IOMobileFramebufferShim so that locations and identifiers stay what they were.",
  "displays": [
    {
      "id": 1,
      "vendor": "0x3270",
      "product": "0xA050",
      "serial": 0,
      "unit": 0,
      "builtin": true,
      "name": "Built-in Display",
      "location": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/disp0@9C000000/IOMobileFramebufferShim",
      "mode": {
        "width": 3024,
        "height": 1964,
        "logical_width": 1512,
        "logical_height": 982,
        "refresh_hz": 120
      }
    },
    {
      "id": "0x2A5C0F21",
      "vendor": "0x3E56",
      "product": "0x2710",
      "serial": "0x00A1B2C3",
      "unit": 1,
      "name": "Orvane Q27 Pro",
      "location": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext0@F4000000/IOMobileFramebufferShim",
      "mode": {
        "width": 2560,
        "height": 1440,
        "logical_width": 2560,
        "logical_height": 1440,
        "refresh_hz": 74.97
      }
    },
    {
      "id": "0x2A5C0F22",
      "vendor": "0x3E56",
      "product": "0x3220",
      "serial": "0x00D4E5F6",
      "unit": 2,
      "name": "Orvane U32 Studio",
      "location": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext1@F8000000/IOMobileFramebufferShim",
      "mode": {
        "width": 3840,
        "height": 2160,
        "logical_width": 1920,
        "logical_height": 1080,
        "refresh_hz": 60
      }
    }
  ],
  "mobile_framebuffers": [
    {
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/disp0@9C000000/IOMobileFramebufferShim",
      "class": "AppleCLCD2",
      "properties": {
        "DisplayAttributes": {
          "ProductAttributes": {
            "ManufacturerID": "00-10-fa",
            "LegacyManufacturerID": 1552,
            "ProductID": 62892014646337
          }
        }
      }
    },
    {
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext0@F4000000/IOMobileFramebufferShim",
      "class": "AppleCLCD2",
      "display": {
        "vendor": "0x3E56",
        "product": "0x2710",
        "serial": "0x00A1B2C3",
        "name": "Orvane Q27 Pro"
      }
    },
    {
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext1@F8000000/IOMobileFramebufferShim",
      "class": "AppleCLCD2",
      "display": {
        "vendor": "0x3E56",
        "product": "0x3220",
        "serial": "0x00D4E5F6",
        "name": "Orvane U32 Studio"
      },
      "properties": {
        "external": true,
        "Transport": {"Upstream": "DP", "Downstream": "HDMI"}
      }
    },
    {
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext2@FC000000/IOMobileFramebufferShim",
      "class": "AppleCLCD2"
    }
  ],
  "av_services": [
    {
      "entry_id": "0x100000912",
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dcp@9C400000/AppleASCWrapV6/iop-dcp-nub/RTBuddy(DCP)/DCPEndpoint11/AFKDCPEndpoint11/AFKEPInterfaceServiceKextV2/disp0:dcpav-service-epic:0/DCPAVServiceProxy",
      "location": "Embedded",
      "properties": {
        "IOAVServiceUserInterfaceSupported": true,
        "Unit": 0
      },
      "parent_properties": {
        "EPICName": "dcpav-service-epic",
        "EPICProviderClass": "SimPanelProvider",
        "role": "DCP"
      }
    },
    {
      "entry_id": "0x100000A31",
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dcpext0@B2E00000/AppleASCWrapV6/iop-dcpext0-nub/RTBuddy(DCPEXT0)/DCPEXT0Endpoint11/AFKDCPEXT0Endpoint11/AFKEPInterfaceServiceKextV2/dispext0:dcpav-service-epic:0/DCPAVServiceProxy",
      "location": "External",
      "monitor": "orvane-q27",
      "properties": {
        "IOAVServiceUserInterfaceSupported": true,
        "Unit": 0
      },
      "parent_properties": {
        "EPICName": "dcpav-service-epic",
        "EPICProviderClass": "SimDisplayPortProvider"
      }
    },
    {
      "entry_id": "0x100000B47",
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dcpext1@B6E00000/AppleASCWrapV6/iop-dcpext1-nub/RTBuddy(DCPEXT1)/DCPEXT1Endpoint12/AFKDCPEXT1Endpoint12/AFKEPInterfaceServiceKextV2/dispext1:dcpav-service-epic:0/DCPAVServiceProxy",
      "location": "External",
      "monitor": "orvane-u32",
      "chip": "0xB7",
      "properties": {
        "IOAVServiceUserInterfaceSupported": true,
        "Unit": 0
      },
      "parent_properties": {
        "EPICName": "dcpav-service-epic",
        "EPICProviderClass": "AppleDCPMCDP29XX",
        "role": "DCPEXT1"
      }
    },
    {
      "entry_id": "0x100000C55",
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dcpext2@BAE00000/AppleASCWrapV6/iop-dcpext2-nub/RTBuddy(DCPEXT2)/DCPEXT2Endpoint11/AFKDCPEXT2Endpoint11/AFKEPInterfaceServiceKextV2/dispext2:dcpav-service-epic:0/DCPAVServiceProxy",
      "location": "External",
      "properties": {
        "IOAVServiceUserInterfaceSupported": true,
        "Unit": 0
      },
      "parent_properties": {
        "EPICName": "dcpav-service-epic",
        "EPICProviderClass": "SimDisplayPortProvider"
      }
    }
  ],
  "monitors": )json" + std::string(kBuiltinMonitorsJson) + R"json(,
  "timebase": {
    "numer": 125,
    "denom": 3
  }
})json";
  return kAppleSilicon;
}

}  // namespace lumra::sim
