// The bus addresses and command opcodes of DDC/CI, for the frame layer and for the native
// bridge, which puts the addresses on the bus itself.
#pragma once

#include <cstdint>

namespace lumra::ddcci {

// 8-bit I2C addresses: the display's write and read address, the host's address as the
// display's reply checksum counts it, and the host's source address in requests.
inline constexpr std::uint8_t kDisplayWriteAddress = 0x6E;
inline constexpr std::uint8_t kDisplayReadAddress = 0x6F;
inline constexpr std::uint8_t kHostVirtualAddress = 0x50;
inline constexpr std::uint8_t kHostSourceAddress = 0x51;
// The source address of the writes some LG monitors take their alternate input control from:
// the host's virtual address, which standard requests never carry as their source.
inline constexpr std::uint8_t kAlternateSourceAddress = kHostVirtualAddress;
// The display's 7-bit I2C address, the form in which chip addresses are given.
inline constexpr std::uint8_t kDisplayChipAddress = kDisplayWriteAddress >> 1;

// Set in a frame's length byte.
inline constexpr std::uint8_t kProtocolFlag = 0x80;

inline constexpr std::uint8_t kGetVCPOpcode = 0x01;
inline constexpr std::uint8_t kGetVCPReplyOpcode = 0x02;
inline constexpr std::uint8_t kSetVCPOpcode = 0x03;
// Save Current Settings: the monitor stores its current values in non-volatile memory.
inline constexpr std::uint8_t kSaveSettingsOpcode = 0x0C;
inline constexpr std::uint8_t kCapabilitiesOpcode = 0xF3;
inline constexpr std::uint8_t kCapabilitiesReplyOpcode = 0xE3;

}  // namespace lumra::ddcci
