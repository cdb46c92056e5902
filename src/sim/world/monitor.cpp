#include "sim/world/monitor.hpp"

#include <algorithm>
#include <optional>

#include "sim/world/ddcci_wire.hpp"

namespace lumra::sim {
namespace {

struct Request {
  RequestKind Kind = RequestKind::Any;  // Any: a valid frame with an opcode we do not serve
  bool Alternate = false;               // from source 0x50, to the alternate input control
  std::uint8_t Code = 0;
  std::uint16_t Value = 0;
  std::uint16_t Offset = 0;
};

std::uint8_t Xor(std::uint8_t initial, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) initial ^= b;
  return initial;
}

std::optional<Request> Decode(std::span<const std::uint8_t> frame, ChecksumRule rule,
                              bool alternateInput) {
  if (frame.size() < 3 || (frame[1] & kProtocolFlag) == 0) return std::nullopt;
  const bool alternate = frame[0] == kAlternateSourceAddress;
  if (frame[0] != kHostSourceAddress && !(alternate && alternateInput)) return std::nullopt;
  const std::size_t n = frame[1] & kLengthMask;
  if (n == 0 || frame.size() < n + 3) return std::nullopt;
  const auto payload = frame.subspan(2, n);
  const bool skipSource = rule == ChecksumRule::GetVcpSkipsSource && payload[0] == kGetVcpOpcode;
  const auto covered = frame.subspan(skipSource ? 1 : 0, skipSource ? n + 1 : n + 2);
  if (Xor(kDisplayWriteAddress, covered) != frame[n + 2]) return std::nullopt;

  Request request;
  if (alternate) {
    // The alternate source is heard for one control alone, and only written.
    if (payload[0] != kSetVcpOpcode || n != 4 || payload[1] != kAlternateInputCode) {
      return std::nullopt;
    }
    request.Alternate = true;
  }
  if (payload[0] == kGetVcpOpcode && n == 2) {
    request.Kind = RequestKind::Get;
    request.Code = payload[1];
  } else if (payload[0] == kSetVcpOpcode && n == 4) {
    request.Kind = RequestKind::Set;
    request.Code = payload[1];
    request.Value = static_cast<std::uint16_t>(payload[2] << 8 | payload[3]);
  } else if (payload[0] == kSaveSettingsOpcode && n == 1) {
    request.Kind = RequestKind::Save;
  } else if (payload[0] == kCapabilitiesOpcode && n == 3) {
    request.Kind = RequestKind::Capabilities;
    request.Offset = static_cast<std::uint16_t>(payload[1] << 8 | payload[2]);
  }
  return request;
}

bool FollowsSet(const MonitorRecord& record) {
  return record.LastRequest.size() > 2 && record.LastRequest[2] == kSetVcpOpcode;
}

bool FaultFitsRequest(const FaultSpec& fault, const Request& request, bool afterSet) {
  if (fault.Request != RequestKind::Any && fault.Request != request.Kind) return false;
  const bool hasCode = request.Kind == RequestKind::Get || request.Kind == RequestKind::Set;
  if (fault.Code && (!hasCode || *fault.Code != request.Code)) {
    return false;
  }
  switch (fault.Kind) {
    case FaultKind::WrongCode:
    case FaultKind::UnexpectedResult:
      return request.Kind != RequestKind::Capabilities;
    case FaultKind::OffsetMismatch:
      return request.Kind != RequestKind::Get;
    case FaultKind::ZeroReplyAfterSet:
      return request.Kind == RequestKind::Get && afterSet;
    default:
      return true;
  }
}

// The first fault that applies and has uses left; consumes one use.
std::optional<FaultSpec> TakeFault(const MonitorSpec& spec, MonitorRecord& record,
                                   const Request& request) {
  const bool afterSet = FollowsSet(record);
  for (std::size_t i = 0; i < spec.Faults.size(); ++i) {
    const FaultSpec& fault = spec.Faults[i];
    if (!FaultFitsRequest(fault, request, afterSet)) continue;
    std::uint64_t& used = record.FaultsUsed[i];
    if (fault.Count && used >= *fault.Count) continue;
    ++used;
    ++record.Counters.Faults;
    return fault;
  }
  return std::nullopt;
}

Bytes GetVcpReply(const MonitorSpec& spec, const MonitorRecord& record, std::uint8_t code) {
  auto found = spec.Vcp.find(code);
  if (found == spec.Vcp.end()) {
    const std::uint8_t unsupported[] = {kGetVcpReplyOpcode, 0x01, code, 0, 0, 0, 0, 0};
    return ReplyFrame(unsupported);
  }
  const std::uint16_t current = CurrentValue(spec, record, code);
  const std::uint16_t maximum = found->second.Maximum;
  const std::uint8_t payload[] = {kGetVcpReplyOpcode,
                                  0x00,
                                  code,
                                  static_cast<std::uint8_t>(found->second.Momentary ? 1 : 0),
                                  static_cast<std::uint8_t>(maximum >> 8),
                                  static_cast<std::uint8_t>(maximum & 0xFF),
                                  static_cast<std::uint8_t>(current >> 8),
                                  static_cast<std::uint8_t>(current & 0xFF)};
  return ReplyFrame(payload);
}

Bytes CapabilitiesReply(const MonitorSpec& spec, std::uint16_t offset) {
  Bytes payload{kCapabilitiesReplyOpcode, static_cast<std::uint8_t>(offset >> 8),
                static_cast<std::uint8_t>(offset & 0xFF)};
  const std::string& text = spec.Capabilities;
  if (offset < text.size()) {
    const std::size_t k = std::min<std::size_t>(spec.FragmentSize, text.size() - offset);
    payload.insert(payload.end(), text.begin() + offset, text.begin() + offset + k);
  }
  return ReplyFrame(payload);
}

void ResealChecksum(Bytes& reply) {
  reply.back() = Xor(kHostVirtualAddress, std::span(reply).first(reply.size() - 1));
}

// Corrupts a well-formed reply in the way the fault names.
Bytes Corrupt(Bytes reply, FaultKind kind) {
  switch (kind) {
    case FaultKind::Checksum:
      reply.back() ^= 0xFF;
      break;
    case FaultKind::NullReply:
      return ReplyFrame({});
    case FaultKind::MalformedSource:
      reply[0] = kDisplayWriteAddress + 1;
      ResealChecksum(reply);
      break;
    case FaultKind::ProtocolFlag:
      reply[1] &= kLengthMask;
      ResealChecksum(reply);
      break;
    case FaultKind::ShortReply:
      reply.pop_back();
      break;
    case FaultKind::WrongCode:
      reply[4] = static_cast<std::uint8_t>(reply[4] + 1);
      ResealChecksum(reply);
      break;
    case FaultKind::UnexpectedResult:
      reply[3] = 0x02;
      ResealChecksum(reply);
      break;
    case FaultKind::OffsetMismatch: {
      const auto offset = static_cast<std::uint16_t>((reply[3] << 8 | reply[4]) + 1);
      reply[3] = static_cast<std::uint8_t>(offset >> 8);
      reply[4] = static_cast<std::uint8_t>(offset & 0xFF);
      ResealChecksum(reply);
      break;
    }
    case FaultKind::ZeroReplyAfterSet:
      return Bytes(reply.size(), 0);
    case FaultKind::Status:
    case FaultKind::DroppedWrite:
      break;
  }
  return reply;
}

bool PowerIsOff(std::uint16_t mode) { return mode == 4 || mode == 5; }

// Stores a Set VCP's value. Turned on after being off, a monitor that forgets unsaved values
// starts from those it last saved, as one that reloads its non-volatile memory at power-up.
void StoreValue(const MonitorSpec& spec, MonitorRecord& record, std::uint8_t code,
                std::uint16_t value) {
  if (!spec.Vcp.contains(code)) return;
  if (spec.ForgetsUnsaved && code == kPowerModeCode && value == 1 &&
      PowerIsOff(CurrentValue(spec, record, code))) {
    record.Values = record.SavedValues;
  }
  record.Values[code] = value;
}

// A value the control does not know leaves the input where it is, as the monitors do.
void SwitchAlternateInput(const MonitorSpec& spec, MonitorRecord& record, std::uint16_t value) {
  const auto input = spec.AlternateInput.find(value);
  if (input != spec.AlternateInput.end()) record.Values[kInputSourceCode] = input->second;
}

void CountRequest(MonitorCounters& counters, RequestKind kind) {
  switch (kind) {
    case RequestKind::Get:
      ++counters.Gets;
      break;
    case RequestKind::Set:
      ++counters.Sets;
      break;
    case RequestKind::Save:
      ++counters.Saves;
      break;
    case RequestKind::Capabilities:
      ++counters.Capabilities;
      break;
    case RequestKind::Any:
      ++counters.Ignored;
      break;
  }
}

}  // namespace

Bytes ReplyFrame(std::span<const std::uint8_t> payload) {
  Bytes frame(payload.size() + 3);
  frame[0] = kDisplayWriteAddress;
  frame[1] = static_cast<std::uint8_t>(kProtocolFlag | payload.size());
  std::copy(payload.begin(), payload.end(), frame.begin() + 2);
  frame.back() =
      Xor(kHostVirtualAddress, std::span<const std::uint8_t>(frame).first(frame.size() - 1));
  return frame;
}

std::uint16_t CurrentValue(const MonitorSpec& spec, const MonitorRecord& record,
                           std::uint8_t code) {
  if (auto set = record.Values.find(code); set != record.Values.end()) return set->second;
  auto found = spec.Vcp.find(code);
  return found == spec.Vcp.end() ? 0 : found->second.Current;
}

std::int32_t ReceiveWrite(const MonitorSpec& spec, MonitorRecord& record,
                          std::span<const std::uint8_t> frame, ChecksumRule rule) {
  ++record.Counters.Writes;
  const auto request = Decode(frame, rule, !spec.AlternateInput.empty());
  if (!request) {
    ++record.Counters.Ignored;
    record.LastRequest.clear();
    record.PendingReply.clear();
    return 0;
  }
  CountRequest(record.Counters, request->Kind);
  const auto fault =
      request->Kind == RequestKind::Any ? std::nullopt : TakeFault(spec, record, *request);
  if (fault && fault->Kind == FaultKind::Status) return fault->Status;
  // Plain values: an optimising gcc cannot tell that an optional stays engaged below.
  const bool faulted = fault.has_value();
  const FaultKind faultKind = faulted ? fault->Kind : FaultKind::Status;
  if (faulted && faultKind == FaultKind::DroppedWrite) {
    // The port took the write and lost it: the monitor acts as if nothing came.
    record.LastRequest.clear();
    record.PendingReply.clear();
    return 0;
  }

  record.LastRequest.assign(frame.begin(), frame.end());
  record.PendingReply.clear();
  switch (request->Kind) {
    case RequestKind::Get:
      record.PendingReply = GetVcpReply(spec, record, request->Code);
      break;
    case RequestKind::Capabilities:
      record.PendingReply = CapabilitiesReply(spec, request->Offset);
      break;
    case RequestKind::Set:
      // A set whose frame a fault garbled is dropped: the value stays.
      if (faulted) return 0;
      if (request->Alternate) {
        SwitchAlternateInput(spec, record, request->Value);
      } else {
        StoreValue(spec, record, request->Code, request->Value);
      }
      return 0;
    case RequestKind::Save:
      // Like a set, a garbled save is lost; codes never set keep the scenario's value, so
      // the values set so far are all there is to store.
      if (!faulted) record.SavedValues = record.Values;
      return 0;
    case RequestKind::Any:
      return 0;
  }
  if (faulted) record.PendingReply = Corrupt(std::move(record.PendingReply), faultKind);
  return 0;
}

Bytes AnswerRead(MonitorRecord& record) {
  ++record.Counters.Reads;
  if (record.PendingReply.empty()) return ReplyFrame({});
  return record.PendingReply;
}

}  // namespace lumra::sim
