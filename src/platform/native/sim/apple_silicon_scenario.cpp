// The built-in Apple silicon scenario (LUMRA_SIMULATION=apple-silicon), as documented in
// docs/simulator.md: the registry layout of a laptop whose displays hang off display
// coprocessors, with the monitors of the default scenario on a USB-C port and on the HDMI port.
#include "platform/native/sim/scenario.hpp"

namespace lumra::sim {

std::string_view AppleSiliconScenarioJson() {
  static constexpr std::string_view kAppleSilicon = R"json({
  "description": "Built-in Apple silicon scenario: a laptop with its panel, an Orvane Q27 on a USB-C (DisplayPort) port and an Orvane U32 on the HDMI port behind its converter chip.",
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
      "display": {
        "vendor": "0x3270",
        "product": "0xA050",
        "serial": 0,
        "name": "Built-in Display"
      }
    },
    {
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext0@F4000000/IOMobileFramebufferShim",
      "display": {
        "vendor": "0x3E56",
        "product": "0x2710",
        "serial": "0x00A1B2C3",
        "name": "Orvane Q27 Pro"
      }
    },
    {
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext1@F8000000/IOMobileFramebufferShim",
      "display": {
        "vendor": "0x3E56",
        "product": "0x3220",
        "serial": "0x00D4E5F6",
        "name": "Orvane U32 Studio"
      }
    },
    {
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dispext2@FC000000/IOMobileFramebufferShim"
    }
  ],
  "av_services": [
    {
      "entry_id": "0x100000912",
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dcp@9C400000/AppleASCWrapV6/iop-dcp-nub/RTBuddy(DCP)/DCPEndpoint11/AFKDCPEndpoint11/AFKEPInterfaceServiceKextV2/disp0:dcpav-service-epic:0/DCPAVServiceProxy",
      "location": "Embedded",
      "parent_properties": {
        "EPICProviderClass": "SimPanelProvider"
      }
    },
    {
      "entry_id": "0x100000A31",
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dcpext0@B2E00000/AppleASCWrapV6/iop-dcpext0-nub/RTBuddy(DCPEXT0)/DCPEXT0Endpoint11/AFKDCPEXT0Endpoint11/AFKEPInterfaceServiceKextV2/dispext0:dcpav-service-epic:0/DCPAVServiceProxy",
      "location": "External",
      "monitor": "orvane-q27",
      "properties": {
        "IOAVServiceUserInterfaceSupported": true
      },
      "parent_properties": {
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
        "IOAVServiceUserInterfaceSupported": true
      },
      "parent_properties": {
        "EPICProviderClass": "AppleDCPMCDP29XX"
      }
    },
    {
      "entry_id": "0x100000C55",
      "path": "IOService:/AppleARMPE/arm-io@10F00000/AppleSoCIO/dcpext2@BAE00000/AppleASCWrapV6/iop-dcpext2-nub/RTBuddy(DCPEXT2)/DCPEXT2Endpoint11/AFKDCPEXT2Endpoint11/AFKEPInterfaceServiceKextV2/dispext2:dcpav-service-epic:0/DCPAVServiceProxy",
      "location": "External",
      "properties": {
        "IOAVServiceUserInterfaceSupported": true
      },
      "parent_properties": {
        "EPICProviderClass": "SimDisplayPortProvider"
      }
    }
  ],
  "monitors": {
    "orvane-q27": {
      "vcp": {
        "0x02": {
          "current": 1,
          "maximum": 2
        },
        "0x05": {
          "current": 0,
          "maximum": 1,
          "momentary": true
        },
        "0x10": {
          "current": 60,
          "maximum": 100
        },
        "0x12": {
          "current": 70,
          "maximum": 100
        },
        "0x14": {
          "current": 5,
          "maximum": 11
        },
        "0x16": {
          "current": 50,
          "maximum": 100
        },
        "0x18": {
          "current": 50,
          "maximum": 100
        },
        "0x1A": {
          "current": 50,
          "maximum": 100
        },
        "0x52": {
          "current": 0,
          "maximum": 255
        },
        "0x60": {
          "current": 15,
          "maximum": 3
        },
        "0x62": {
          "current": 30,
          "maximum": 100
        },
        "0x87": {
          "current": 5,
          "maximum": 10
        },
        "0x8D": {
          "current": 2,
          "maximum": 2
        },
        "0xAE": {
          "current": 7497,
          "maximum": 65535
        },
        "0xB2": {
          "current": 1,
          "maximum": 8
        },
        "0xB6": {
          "current": 3,
          "maximum": 8
        },
        "0xC6": {
          "current": 17868,
          "maximum": 65535
        },
        "0xC8": {
          "current": 18,
          "maximum": 255
        },
        "0xC9": {
          "current": 259,
          "maximum": 65535
        },
        "0xCA": {
          "current": 2,
          "maximum": 2
        },
        "0xCC": {
          "current": 2,
          "maximum": 37
        },
        "0xD6": {
          "current": 1,
          "maximum": 5
        },
        "0xDC": {
          "current": 0,
          "maximum": 15
        },
        "0xDF": {
          "current": 514,
          "maximum": 0
        }
      },
      "capabilities": "(prot(monitor)type(LCD)model(Q27P)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(01 05 06 08 0B) 16 18 1A 52 60(0F 11 12) 62 87 8D(01 02) AE B2 B6 C6 C8 C9 CA(01 02) CC(02 03 04 05 07 08 09 0A 0D 14 1E) D6(01 04 05) DC(00 02 03 05 08) DF)mswhql(1)asset_eep(40)mccs_ver(2.2))"
    },
    "orvane-u32": {
      "vcp": {
        "0x02": {
          "current": 1,
          "maximum": 2
        },
        "0x10": {
          "current": 80,
          "maximum": 100
        },
        "0x12": {
          "current": 50,
          "maximum": 100
        },
        "0x14": {
          "current": 6,
          "maximum": 11
        },
        "0x16": {
          "current": 100,
          "maximum": 100
        },
        "0x18": {
          "current": 100,
          "maximum": 100
        },
        "0x1A": {
          "current": 100,
          "maximum": 100
        },
        "0x60": {
          "current": 27,
          "maximum": 4
        },
        "0x62": {
          "current": 0,
          "maximum": 100
        },
        "0x87": {
          "current": 50,
          "maximum": 100
        },
        "0x8D": {
          "current": 1,
          "maximum": 2
        },
        "0xAE": {
          "current": 6000,
          "maximum": 65535
        },
        "0xB6": {
          "current": 3,
          "maximum": 8
        },
        "0xC8": {
          "current": 17,
          "maximum": 255
        },
        "0xC9": {
          "current": 520,
          "maximum": 65535
        },
        "0xCC": {
          "current": 2,
          "maximum": 37
        },
        "0xD6": {
          "current": 1,
          "maximum": 5
        },
        "0xDC": {
          "current": 3,
          "maximum": 15
        },
        "0xDF": {
          "current": 513,
          "maximum": 0
        }
      },
      "capabilities": "(prot(monitor)type(LCD)model(U32S)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 0B 0C 10 12 14(04 05 06 08 0B) 16 18 1A 60(0F 11 12 1B) 62 87 8D(01 02) AE B6 C8 C9 CC(02 03 04 05 07 0A 0D) D6(01 04 05) DC(00 03 04 05) DF)mccs_ver(2.1))"
    }
  },
  "timebase": {
    "numer": 125,
    "denom": 3
  }
})json";
  return kAppleSilicon;
}

}  // namespace lumra::sim
