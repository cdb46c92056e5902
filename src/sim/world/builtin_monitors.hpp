// The two Orvane monitors that both built-in scenarios attach (their VCP tables and
// capabilities strings): the JSON value of the scenarios' "monitors" key.
#pragma once

#include <string_view>

namespace lumra::sim {

inline constexpr std::string_view kBuiltinMonitorsJson = R"json({
    "orvane-q27": {
      "vcp": {
        "0x02": {"current": 1, "maximum": 2},
        "0x05": {"current": 0, "maximum": 1, "momentary": true},
        "0x10": {"current": 60, "maximum": 100},
        "0x12": {"current": 70, "maximum": 100},
        "0x14": {"current": 5, "maximum": 11},
        "0x16": {"current": 50, "maximum": 100},
        "0x18": {"current": 50, "maximum": 100},
        "0x1A": {"current": 50, "maximum": 100},
        "0x52": {"current": 0, "maximum": 255},
        "0x60": {"current": 15, "maximum": 3},
        "0x62": {"current": 30, "maximum": 100},
        "0x87": {"current": 5, "maximum": 10},
        "0x8D": {"current": 2, "maximum": 2},
        "0xAE": {"current": 7497, "maximum": 65535},
        "0xB2": {"current": 1, "maximum": 8},
        "0xB6": {"current": 3, "maximum": 8},
        "0xC6": {"current": 17868, "maximum": 65535},
        "0xC8": {"current": 18, "maximum": 255},
        "0xC9": {"current": 259, "maximum": 65535},
        "0xCA": {"current": 2, "maximum": 2},
        "0xCC": {"current": 2, "maximum": 37},
        "0xD6": {"current": 1, "maximum": 5},
        "0xDC": {"current": 0, "maximum": 15},
        "0xDF": {"current": 514, "maximum": 0}
      },
      "capabilities": "(prot(monitor)type(LCD)model(Q27P)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(01 05 06 08 0B) 16 18 1A 52 60(0F 11 12) 62 87 8D(01 02) AE B2 B6 C6 C8 C9 CA(01 02) CC(02 03 04 05 07 08 09 0A 0D 14 1E) D6(01 04 05) DC(00 02 03 05 08) DF)mswhql(1)asset_eep(40)mccs_ver(2.2))"
    },
    "orvane-u32": {
      "vcp": {
        "0x02": {"current": 1, "maximum": 2},
        "0x10": {"current": 80, "maximum": 100},
        "0x12": {"current": 50, "maximum": 100},
        "0x14": {"current": 6, "maximum": 11},
        "0x16": {"current": 100, "maximum": 100},
        "0x18": {"current": 100, "maximum": 100},
        "0x1A": {"current": 100, "maximum": 100},
        "0x60": {"current": 27, "maximum": 4},
        "0x62": {"current": 0, "maximum": 100},
        "0x87": {"current": 50, "maximum": 100},
        "0x8D": {"current": 1, "maximum": 2},
        "0xAE": {"current": 6000, "maximum": 65535},
        "0xB6": {"current": 3, "maximum": 8},
        "0xC8": {"current": 17, "maximum": 255},
        "0xC9": {"current": 520, "maximum": 65535},
        "0xCC": {"current": 2, "maximum": 37},
        "0xD6": {"current": 1, "maximum": 5},
        "0xDC": {"current": 3, "maximum": 15},
        "0xDF": {"current": 513, "maximum": 0}
      },
      "capabilities": "(prot(monitor)type(LCD)model(U32S)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 0B 0C 10 12 14(04 05 06 08 0B) 16 18 1A 60(0F 11 12 1B) 62 87 8D(01 02) AE B6 C8 C9 CC(02 03 04 05 07 0A 0D) D6(01 04 05) DC(00 03 04 05) DF)mccs_ver(2.1))"
    }
  })json";

}  // namespace lumra::sim
