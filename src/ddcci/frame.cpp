#include "ddcci/frame.hpp"

#include "ddcci/errors.hpp"
#include "support/format.hpp"

namespace lumra::ddcci {

namespace {

using support::Errorf;
using Span = std::span<const std::uint8_t>;

constexpr std::size_t framingBytes = 3;  // source, length, checksum
constexpr std::size_t vcpReplyPayloadSize = 8;
constexpr std::size_t capabilitiesHeaderSize = 3;
constexpr std::uint8_t resultNoError = 0;
constexpr std::uint8_t resultUnsupported = 1;
constexpr std::uint8_t vcpTypeMomentary = 1;

std::uint8_t highByte(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }
std::uint8_t lowByte(std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

std::uint16_t bigEndian(std::uint8_t high, std::uint8_t low) {
  return static_cast<std::uint16_t>((high << 8) | low);
}

VCPValue decodeVCPPayload(Span payload) {
  VCPValue value;
  value.Momentary = payload[3] == vcpTypeMomentary;
  value.Maximum = bigEndian(payload[4], payload[5]);
  value.Current = bigEndian(payload[6], payload[7]);
  value.Raw = {payload[4], payload[5], payload[6], payload[7]};
  return value;
}

}  // namespace

std::uint8_t checksum(std::uint8_t initial, Span bytes) {
  std::uint8_t sum = initial;
  for (const std::uint8_t byte : bytes) sum ^= byte;
  return sum;
}

Bytes buildRequest(Span payload) {
  Bytes frame;
  frame.reserve(payload.size() + framingBytes);
  frame.push_back(hostSourceAddress);
  frame.push_back(static_cast<std::uint8_t>(protocolFlag | (payload.size() & 0x7F)));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(checksum(displayWriteAddress, frame));
  return frame;
}

Bytes BuildGetVCP(std::uint8_t code) {
  const std::uint8_t payload[] = {kGetVCPOpcode, code};
  return buildRequest(payload);
}

Bytes BuildSetVCP(std::uint8_t code, std::uint16_t value) {
  const std::uint8_t payload[] = {kSetVCPOpcode, code, highByte(value), lowByte(value)};
  return buildRequest(payload);
}

Bytes BuildCapabilitiesRequest(std::uint16_t offset) {
  const std::uint8_t payload[] = {kCapabilitiesOpcode, highByte(offset), lowByte(offset)};
  return buildRequest(payload);
}

support::Result<Span> parseReply(Span reply) {
  if (reply.size() < framingBytes) {
    return {{}, Errorf("%w: reply is too short: %d", ErrInvalidLength, reply.size())};
  }
  if (reply[0] != displayWriteAddress) {
    return {{}, Errorf("%w: 0x%02X in % X", ErrMalformedSource, reply[0], reply)};
  }
  if ((reply[1] & protocolFlag) == 0) {
    return {{}, Errorf("%w: 0x%02X", ErrInvalidProtocolFlag, reply[1])};
  }
  const std::size_t payloadSize = reply[1] & 0x7F;
  const std::size_t frameSize = payloadSize + framingBytes;
  if (reply.size() < frameSize) {
    return {{}, Errorf("%w: got %d bytes, want %d", ErrInvalidLength, reply.size(), frameSize)};
  }
  if (checksum(hostVirtualAddress, reply.first(frameSize)) != 0) return {{}, ErrChecksum};
  if (payloadSize == 0) return {{}, ErrNullReply};
  return {reply.subspan(2, payloadSize), {}};
}

support::Result<VCPValue> ParseVCPReply(Span reply, std::uint8_t code) {
  const auto [payload, err] = parseReply(reply);
  if (err) return {{}, err};
  if (payload.size() != vcpReplyPayloadSize || payload[0] != kGetVCPReplyOpcode) {
    return {{}, Errorf("%w: Get VCP payload % X", ErrUnexpectedOpcode, payload)};
  }
  if (payload[2] != code) {
    return {{}, Errorf("%w: got 0x%02X, want 0x%02X", ErrVCPCodeMismatch, payload[2], code)};
  }
  const std::uint8_t result = payload[1];
  if (result == resultUnsupported) return {{}, ErrUnsupportedVCP};
  if (result != resultNoError) return {{}, Errorf("%w: 0x%02X", ErrUnexpectedResult, result)};
  return {decodeVCPPayload(payload), {}};
}

support::Result<CapabilitiesFragment> ParseCapabilitiesReply(Span reply) {
  const auto [payload, err] = parseReply(reply);
  if (err) return {{}, err};
  if (payload.size() < capabilitiesHeaderSize || payload[0] != kCapabilitiesReplyOpcode) {
    return {{}, Errorf("%w: capabilities payload % X", ErrUnexpectedOpcode, payload)};
  }
  CapabilitiesFragment fragment;
  fragment.Offset = bigEndian(payload[1], payload[2]);
  const Span body = payload.subspan(capabilitiesHeaderSize);
  fragment.Fragment.assign(body.begin(), body.end());
  return {std::move(fragment), {}};
}

}  // namespace lumra::ddcci
