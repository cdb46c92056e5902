// Drives the stand-in platform's I2C driver directly, as the bridge does but without the
// protocol's pauses, so the simulator's own cost per exchange can be timed apart from ours.
#pragma once

#include <cstdint>
#include <span>

#include "sim/framework/macos_api.h"

namespace lumra::bench {

// The built-in Q27 monitor's framebuffer, whose bus 0 carries the monitor.
inline constexpr std::uint64_t kQ27Framebuffer = 0x100000412;

// Makes the simulator load its scenario (the first platform call of a process does).
bool LoadSimulatedWorld();

// An open I2C connection to the Q27 monitor, closed on destruction; null when it cannot open.
class SimI2CConnection {
 public:
  SimI2CConnection();
  ~SimI2CConnection();
  SimI2CConnection(const SimI2CConnection&) = delete;
  SimI2CConnection& operator=(const SimI2CConnection&) = delete;

  IOI2CConnectRef get() const { return connect_; }

 private:
  IOI2CConnectRef connect_ = nullptr;
};

// One request frame (from its source byte) and, when `capacity` is non-zero, the reply read
// with no reply delay. True when the driver and the monitor both accepted it.
bool SimExchange(const SimI2CConnection& connection, std::span<const std::uint8_t> request,
                 std::uint32_t capacity);

}  // namespace lumra::bench
