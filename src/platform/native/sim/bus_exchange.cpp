#include "platform/native/sim/bus_exchange.hpp"

#include <chrono>
#include <thread>

#include "platform/native/sim/macos_api.h"
#include "platform/native/sim/monitor_state.hpp"

namespace lumra::sim {

std::int32_t WriteToMonitor(const World& world, const std::string& monitor,
                            std::span<const std::uint8_t> frame, ChecksumRule rule) {
  auto spec = world.scenario.monitors.find(monitor);
  if (spec == world.scenario.monitors.end()) return kIOReturnNoDevice;
  std::int32_t status = 0;
  const bool saved = UpdateMonitorRecord(world.stateKey, monitor, [&](MonitorRecord& record) {
    status = ReceiveWrite(spec->second, record, frame, rule);
  });
  return saved ? status : kIOReturnError;
}

std::int32_t ReadFromMonitor(const World& world, const std::string& monitor,
                             const ReadTransaction& read, Bytes& reply) {
  if (!world.scenario.monitors.contains(monitor)) return kIOReturnNoDevice;
  const bool saved = UpdateMonitorRecord(world.stateKey, monitor, [&](MonitorRecord& record) {
    reply = AnswerRead(record);
    record.counters.lastReadChip = read.chip;
    record.counters.lastReadAddress = read.dataAddress;
    record.counters.lastReadLength = read.length;
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
