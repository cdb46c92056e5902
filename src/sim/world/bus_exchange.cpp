#include "sim/world/bus_exchange.hpp"

#include <chrono>
#include <thread>

#include "sim/framework/macos_api.h"
#include "sim/world/monitor_state.hpp"

namespace lumra::sim {

namespace {

// The time of a transaction in a form every process on the machine shares.
std::uint64_t MonotonicNanoseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

template <typename T>
void Keep(std::vector<T>& kept, T latest, std::size_t limit = kBusTimesKept) {
  if (kept.size() >= limit) kept.erase(kept.begin(), kept.end() - (limit - 1));
  kept.push_back(std::move(latest));
}

Bytes Delivered(Bytes reply, const ReadTransaction& read) {
  if (!read.Answered) return Bytes(read.Length, read.Filler);
  if (read.FixedLength || reply.size() > read.Length) reply.resize(read.Length, 0);
  return reply;
}

}  // namespace

std::int32_t WriteToMonitor(const World& world, const std::string& monitor,
                            const WriteTransaction& write) {
  auto spec = world.Scenario.Monitors.find(monitor);
  if (spec == world.Scenario.Monitors.end()) return kIOReturnNoDevice;
  std::int32_t status = 0;
  const bool saved = UpdateMonitorRecord(world.StateKey, monitor, [&](MonitorRecord& record) {
    Keep(record.Counters.WriteTimes, MonotonicNanoseconds());
    Keep(record.Counters.Transactions,
         BusTransaction{true, write.Chip, write.DataAddress,
                        Bytes(write.Bytes.begin(), write.Bytes.end())},
         kBusTransactionsKept);
    status = ReceiveWrite(spec->second, record, write.Frame, write.Rule);
  });
  return saved ? status : kIOReturnError;
}

std::int32_t ReadFromMonitor(const World& world, const std::string& monitor,
                             const ReadTransaction& read, Bytes& reply) {
  if (!world.Scenario.Monitors.contains(monitor)) return kIOReturnNoDevice;
  const bool saved = UpdateMonitorRecord(world.StateKey, monitor, [&](MonitorRecord& record) {
    Keep(record.Counters.ReadTimes, MonotonicNanoseconds());
    reply = Delivered(AnswerRead(record), read);
    Keep(record.Counters.Transactions, BusTransaction{false, read.Chip, read.DataAddress, reply},
         kBusTransactionsKept);
    record.Counters.LastReadChip = read.Chip;
    record.Counters.LastReadAddress = read.DataAddress;
    record.Counters.LastReadLength = read.Length;
    record.Counters.LastReadType = read.Type;
  });
  return saved ? 0 : kIOReturnError;
}

void SleepNanoseconds(std::uint64_t nanoseconds) {
  if (nanoseconds == 0) return;
  std::this_thread::sleep_for(
      std::chrono::nanoseconds(nanoseconds > static_cast<std::uint64_t>(INT64_MAX)
                                   ? INT64_MAX
                                   : static_cast<std::int64_t>(nanoseconds)));
}

}  // namespace lumra::sim
