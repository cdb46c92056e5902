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
  if (!read.answered) return Bytes(read.length, read.filler);
  if (read.fixedLength || reply.size() > read.length) reply.resize(read.length, 0);
  return reply;
}

}  // namespace

std::int32_t WriteToMonitor(const World& world, const std::string& monitor,
                            const WriteTransaction& write) {
  auto spec = world.scenario.monitors.find(monitor);
  if (spec == world.scenario.monitors.end()) return kIOReturnNoDevice;
  std::int32_t status = 0;
  const bool saved = UpdateMonitorRecord(world.stateKey, monitor, [&](MonitorRecord& record) {
    Keep(record.counters.writeTimes, MonotonicNanoseconds());
    Keep(record.counters.transactions,
         BusTransaction{true, write.chip, write.dataAddress,
                        Bytes(write.bytes.begin(), write.bytes.end())},
         kBusTransactionsKept);
    status = ReceiveWrite(spec->second, record, write.frame, write.rule);
  });
  return saved ? status : kIOReturnError;
}

std::int32_t ReadFromMonitor(const World& world, const std::string& monitor,
                             const ReadTransaction& read, Bytes& reply) {
  if (!world.scenario.monitors.contains(monitor)) return kIOReturnNoDevice;
  const bool saved = UpdateMonitorRecord(world.stateKey, monitor, [&](MonitorRecord& record) {
    Keep(record.counters.readTimes, MonotonicNanoseconds());
    reply = Delivered(AnswerRead(record), read);
    Keep(record.counters.transactions, BusTransaction{false, read.chip, read.dataAddress, reply},
         kBusTransactionsKept);
    record.counters.lastReadChip = read.chip;
    record.counters.lastReadAddress = read.dataAddress;
    record.counters.lastReadLength = read.length;
    record.counters.lastReadType = read.type;
  });
  return saved ? 0 : kIOReturnError;
}

void SleepNanoseconds(std::uint64_t nanoseconds) {
  if (nanoseconds == 0) return;
  std::this_thread::sleep_for(std::chrono::nanoseconds(
      nanoseconds > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX
                                                          : static_cast<std::int64_t>(nanoseconds)));
}

}  // namespace lumra::sim
