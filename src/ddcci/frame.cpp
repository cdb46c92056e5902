#include "ddcci/frame.hpp"

#include "ddcci/errors.hpp"
#include "support/format.hpp"

namespace lumra::ddcci {

namespace {

using support::Errorf;
using Span = std::span<const std::uint8_t>;

constexpr std::size_t kFramingBytes = 3;  // source, length, checksum
constexpr std::size_t kVcpReplyPayloadSize = 8;
constexpr std::size_t kCapabilitiesHeaderSize = 3;
constexpr std::uint8_t kResultNoError = 0;
constexpr std::uint8_t kResultUnsupported = 1;
constexpr std::uint8_t kVcpTypeMomentary = 1;

std::uint8_t HighByte(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }
std::uint8_t LowByte(std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

std::uint16_t BigEndian(std::uint8_t high, std::uint8_t low) {
  return static_cast<std::uint16_t>((high << 8) | low);
}

VCPValue DecodeVCPPayload(Span payload) {
  VCPValue value;
  value.Momentary = payload[3] == kVcpTypeMomentary;
  value.Maximum = BigEndian(payload[4], payload[5]);
  value.Current = BigEndian(payload[6], payload[7]);
  value.Raw = {payload[4], payload[5], payload[6], payload[7]};
  return value;
}

}  // namespace

std::uint8_t Checksum(std::uint8_t initial, Span bytes) {
  std::uint8_t sum = initial;
  for (const std::uint8_t byte : bytes) sum ^= byte;
  return sum;
}

Bytes BuildRequest(Span payload, std::uint8_t source) {
  Bytes frame;
  frame.reserve(payload.size() + kFramingBytes);
  frame.push_back(source);
  frame.push_back(static_cast<std::uint8_t>(kProtocolFlag | (payload.size() & 0x7F)));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(Checksum(kDisplayWriteAddress, frame));
  return frame;
}

Bytes BuildGetVCP(std::uint8_t code) {
  const std::uint8_t payload[] = {kGetVCPOpcode, code};
  return BuildRequest(payload);
}

Bytes BuildSetVCP(std::uint8_t code, std::uint16_t value, std::uint8_t source) {
  const std::uint8_t payload[] = {kSetVCPOpcode, code, HighByte(value), LowByte(value)};
  return BuildRequest(payload, source);
}

Bytes BuildCapabilitiesRequest(std::uint16_t offset) {
  const std::uint8_t payload[] = {kCapabilitiesOpcode, HighByte(offset), LowByte(offset)};
  return BuildRequest(payload);
}

Bytes BuildSaveSettings() {
  const std::uint8_t payload[] = {kSaveSettingsOpcode};
  return BuildRequest(payload);
}

support::Result<Span> ParseReply(Span reply) {
  if (reply.size() < kFramingBytes) {
    return {{}, Errorf("%w: reply is too short: %d", kErrInvalidLength, reply.size())};
  }
  if (reply[0] != kDisplayWriteAddress) {
    return {{}, Errorf("%w: 0x%02X in % X", kErrMalformedSource, reply[0], reply)};
  }
  if ((reply[1] & kProtocolFlag) == 0) {
    return {{}, Errorf("%w: 0x%02X", kErrInvalidProtocolFlag, reply[1])};
  }
  const std::size_t payloadSize = reply[1] & 0x7F;
  const std::size_t frameSize = payloadSize + kFramingBytes;
  if (reply.size() < frameSize) {
    return {{}, Errorf("%w: got %d bytes, want %d", kErrInvalidLength, reply.size(), frameSize)};
  }
  if (Checksum(kHostVirtualAddress, reply.first(frameSize)) != 0) return {{}, kErrChecksum};
  if (payloadSize == 0) return {{}, kErrNullReply};
  return {reply.subspan(2, payloadSize), {}};
}

support::Result<VCPValue> ParseVCPReply(Span reply, std::uint8_t code) {
  const auto [payload, err] = ParseReply(reply);
  if (err) return {{}, err};
  if (payload.size() != kVcpReplyPayloadSize || payload[0] != kGetVCPReplyOpcode) {
    return {{}, Errorf("%w: Get VCP payload % X", kErrUnexpectedOpcode, payload)};
  }
  if (payload[2] != code) {
    return {{}, Errorf("%w: got 0x%02X, want 0x%02X", kErrVCPCodeMismatch, payload[2], code)};
  }
  const std::uint8_t result = payload[1];
  if (result == kResultUnsupported) return {{}, kErrUnsupportedVCP};
  if (result != kResultNoError) return {{}, Errorf("%w: 0x%02X", kErrUnexpectedResult, result)};
  return {DecodeVCPPayload(payload), {}};
}

support::Result<CapabilitiesFragment> ParseCapabilitiesReply(Span reply) {
  const auto [payload, err] = ParseReply(reply);
  if (err) return {{}, err};
  if (payload.size() < kCapabilitiesHeaderSize || payload[0] != kCapabilitiesReplyOpcode) {
    return {{}, Errorf("%w: capabilities payload % X", kErrUnexpectedOpcode, payload)};
  }
  CapabilitiesFragment fragment;
  fragment.Offset = BigEndian(payload[1], payload[2]);
  const Span body = payload.subspan(kCapabilitiesHeaderSize);
  fragment.Fragment.assign(body.begin(), body.end());
  return {std::move(fragment), {}};
}

}  // namespace lumra::ddcci
