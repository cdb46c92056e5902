// What a simulated monitor has seen, as kept in the shared state.
#pragma once

#include <cstdint>

namespace lumra::sim {

struct MonitorCounters {
  std::uint64_t writes = 0;        // write transactions addressed to the monitor
  std::uint64_t reads = 0;         // read transactions
  std::uint64_t gets = 0;          // Get VCP requests decoded
  std::uint64_t sets = 0;          // Set VCP requests decoded
  std::uint64_t capabilities = 0;  // Capabilities requests decoded
  std::uint64_t faults = 0;        // faults injected
  std::uint64_t ignored = 0;       // frames dropped: bad checksum, bad framing, unknown opcode
  // The latest read transaction: I2C chip address (7-bit), data address and length in bytes.
  std::uint32_t lastReadChip = 0;
  std::uint32_t lastReadAddress = 0;
  std::uint32_t lastReadLength = 0;
};

}  // namespace lumra::sim
