// What a simulated monitor has seen, as kept in the shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumra::sim {

// One write or read transaction on the wire as the port carried it: the 7-bit chip address,
// the data address (over IOAVService the call's argument; on the I2C path the reply
// sub-address of a read, 0 for a write) and the bytes written or delivered.
struct BusTransaction {
  bool Write = false;
  std::uint32_t Chip = 0;
  std::uint32_t DataAddress = 0;
  std::vector<std::uint8_t> Bytes;

  bool operator==(const BusTransaction&) const = default;
};

struct MonitorCounters {
  std::uint64_t Writes = 0;        // write transactions addressed to the monitor
  std::uint64_t Reads = 0;         // read transactions
  std::uint64_t Gets = 0;          // Get VCP requests decoded
  std::uint64_t Sets = 0;          // Set VCP requests decoded
  std::uint64_t Saves = 0;         // Save Current Settings requests decoded
  std::uint64_t Capabilities = 0;  // Capabilities requests decoded
  std::uint64_t Faults = 0;        // faults injected
  std::uint64_t Ignored = 0;       // frames dropped: bad checksum, bad framing, unknown opcode
  // The latest read transaction: I2C chip address (7-bit), data address (on the I2C path the
  // request's replySubAddress), length in bytes, and the I2C reply transaction type (0 over
  // IOAVService, which has none).
  std::uint32_t LastReadChip = 0;
  std::uint32_t LastReadAddress = 0;
  std::uint32_t LastReadLength = 0;
  std::uint32_t LastReadType = 0;
  // When the latest write and read transactions reached the monitor: the system's monotonic
  // clock in nanoseconds, oldest first, at most kBusTimesKept of each.
  std::vector<std::uint64_t> WriteTimes;
  std::vector<std::uint64_t> ReadTimes;
  // The latest transactions, oldest first, at most kBusTransactionsKept.
  std::vector<BusTransaction> Transactions;
};

inline constexpr std::size_t kBusTimesKept = 64;
// Enough for one command's exchanges and their retries; every process rewrites the log with
// each transaction, so a longer one would slow every simulated exchange.
inline constexpr std::size_t kBusTransactionsKept = 16;

}  // namespace lumra::sim
