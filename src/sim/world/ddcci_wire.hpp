// The DDC/CI addresses and opcodes as the simulated monitor and its buses see them.
//
// This is a deliberate, independent copy of what ddcci/ defines for the host: a simulated
// monitor built on the host's own constants would agree with any mistake in them, so the
// simulator states the protocol again here, once, for all of its files.
#pragma once

#include <cstdint>

namespace lumra::sim {

// The display's I2C addresses, 8-bit: a host writes to 0x6E and reads from 0x6F. The first is
// also the source byte of every reply frame.
inline constexpr std::uint8_t kDisplayWriteAddress = 0x6E;
inline constexpr std::uint8_t kDisplayReadAddress = 0x6F;
// The same display as a 7-bit chip address, as IOAVService takes it.
inline constexpr std::uint8_t kDisplayChip = kDisplayWriteAddress >> 1;

// The source byte of a host's request, and the sub-address its reply is read from.
inline constexpr std::uint8_t kHostSourceAddress = 0x51;
// The seed of a reply's checksum, standing for the host as the frame's destination.
inline constexpr std::uint8_t kHostVirtualAddress = 0x50;
// The source byte of the writes to LG's alternate input control; the checksum covers it.
inline constexpr std::uint8_t kAlternateSourceAddress = 0x50;

// Set in a frame's length byte; the low seven bits are the payload length.
inline constexpr std::uint8_t kProtocolFlag = 0x80;
inline constexpr std::uint8_t kLengthMask = 0x7F;

inline constexpr std::uint8_t kGetVcpOpcode = 0x01;
inline constexpr std::uint8_t kGetVcpReplyOpcode = 0x02;
inline constexpr std::uint8_t kSetVcpOpcode = 0x03;
inline constexpr std::uint8_t kSaveSettingsOpcode = 0x0C;
inline constexpr std::uint8_t kCapabilitiesOpcode = 0xF3;
inline constexpr std::uint8_t kCapabilitiesReplyOpcode = 0xE3;

// The MCCS input source, and LG's alternate control that switches it.
inline constexpr std::uint8_t kInputSourceCode = 0x60;
inline constexpr std::uint8_t kAlternateInputCode = 0xF4;
// The MCCS power mode: 1 on, 2 and 3 standby and suspend, 4 off, 5 off at the switch.
inline constexpr std::uint8_t kPowerModeCode = 0xD6;

}  // namespace lumra::sim
