// One bus transaction with a simulated monitor, shared by the I2C driver and IOAVService:
// a write delivers a request frame, a read fetches the reply. Each is one locked
// read-modify-write of the monitor's shared state.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sim/world/monitor.hpp"
#include "sim/world/world.hpp"

namespace lumra::sim {

// A write transaction as the port carried it, and the frame the monitor received from it
// (empty when the port's framing left it nothing valid).
struct WriteTransaction {
  std::uint32_t Chip = 0;  // 7-bit I2C address
  std::uint32_t DataAddress = 0;
  std::span<const std::uint8_t> Bytes;
  std::span<const std::uint8_t> Frame;
  ChecksumRule Rule = ChecksumRule::Standard;
};

// The IOReturn of the write: 0, an injected fault's status, or kIOReturnError when the
// monitor state cannot be saved.
std::int32_t WriteToMonitor(const World& world, const std::string& monitor,
                            const WriteTransaction& write);

// How a read transaction addressed the monitor, kept in its counters for tests to see.
struct ReadTransaction {
  std::uint32_t Chip = 0;  // 7-bit I2C address
  std::uint32_t DataAddress = 0;
  std::uint32_t Length = 0;
  std::uint32_t Type = 0;  // I2C reply transaction type; 0 over IOAVService
  // False when the monitor does not answer at this data address: the bus gives `filler`.
  bool Answered = true;
  std::uint8_t Filler = 0;
  // A fixed-length read (IOAVService): the reply, then zeros up to `length`. Otherwise the
  // reply is cut to `length`.
  bool FixedLength = false;
};

// The IOReturn of the read; on success `reply` holds the bytes delivered.
std::int32_t ReadFromMonitor(const World& world, const std::string& monitor,
                             const ReadTransaction& read, Bytes& reply);

// Sleeps for `nanoseconds` (no-op for 0).
void SleepNanoseconds(std::uint64_t nanoseconds);

}  // namespace lumra::sim
