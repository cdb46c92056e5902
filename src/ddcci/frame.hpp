#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "ddcci/protocol.hpp"
#include "support/error.hpp"

namespace lumra::ddcci {

using Bytes = std::vector<std::uint8_t>;

// The frame layer's own read result; the transport copies it into ddc::VCPValue.
struct VCPValue {
  std::uint16_t Current = 0;
  std::uint16_t Maximum = 0;
  bool Momentary = false;
  std::array<std::uint8_t, 4> Raw{};
};

struct CapabilitiesFragment {
  std::uint16_t Offset = 0;
  Bytes Fragment;
};

Bytes BuildGetVCP(std::uint8_t code);
// `source` is the host's source address; only a control that listens to another one changes it.
Bytes BuildSetVCP(std::uint8_t code, std::uint16_t value, std::uint8_t source = kHostSourceAddress);
Bytes BuildCapabilitiesRequest(std::uint16_t offset);
// Save Current Settings; the monitor sends no reply.
Bytes BuildSaveSettings();

// Source, length, payload, checksum; the checksum covers the source byte as sent.
Bytes BuildRequest(std::span<const std::uint8_t> payload, std::uint8_t source = kHostSourceAddress);
// `initial` XOR every byte.
std::uint8_t Checksum(std::uint8_t initial, std::span<const std::uint8_t> bytes);
// Checks a reply frame; the payload is a view into `reply`.
support::Result<std::span<const std::uint8_t>> ParseReply(std::span<const std::uint8_t> reply);

// Checks and decodes a Get VCP Feature reply for the requested code.
support::Result<VCPValue> ParseVCPReply(std::span<const std::uint8_t> reply, std::uint8_t code);
// Checks and decodes a Capabilities reply; the fragment is a copy.
support::Result<CapabilitiesFragment> ParseCapabilitiesReply(std::span<const std::uint8_t> reply);

}  // namespace lumra::ddcci
