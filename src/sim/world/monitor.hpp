// A simulated DDC/CI monitor: decodes the request frames written to it and prepares the reply
// that the next read returns, as a monitor does. The monitor's mutable state is a
// MonitorRecord, kept in the shared state file so that every process sees the same monitor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "sim/world/monitor_counters.hpp"
#include "sim/world/scenario.hpp"

namespace lumra::sim {

using Bytes = std::vector<std::uint8_t>;

struct MonitorRecord {
  std::map<std::uint8_t, std::uint16_t> Values;  // codes set so far; others read the scenario's
  // Values as the latest Save Current Settings found them: what a power cycle returns to.
  std::map<std::uint8_t, std::uint16_t> SavedValues;
  Bytes LastRequest;   // empty after a frame that was ignored
  Bytes PendingReply;  // what the next read returns; empty: null message
  std::map<std::size_t, std::uint64_t> FaultsUsed;  // by index in MonitorSpec::faults
  MonitorCounters Counters;
};

// Which checksum the monitor expects of a Get VCP request. Over IOAVService to the display's
// own chip, Get VCP requests arrive with their checksum taken from the length byte on (the
// source byte left out); everything else carries the standard checksum.
enum class ChecksumRule { Standard, GetVcpSkipsSource };

// A write transaction delivered to the monitor; returns the IOReturn that the write ends with
// (non-zero only for an injected status fault, in which case the monitor took nothing).
std::int32_t ReceiveWrite(const MonitorSpec& spec, MonitorRecord& record,
                          std::span<const std::uint8_t> frame, ChecksumRule rule);

// A read transaction: the reply to the most recent request, or the null message 6E 80 BE.
Bytes AnswerRead(MonitorRecord& record);

std::uint16_t CurrentValue(const MonitorSpec& spec, const MonitorRecord& record, std::uint8_t code);

// A reply frame around a payload: 6E, 0x80 | length, payload, checksum from 0x50.
Bytes ReplyFrame(std::span<const std::uint8_t> payload);

}  // namespace lumra::sim
