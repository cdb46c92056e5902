// Mach absolute time as the scenario defines it ("timebase"), shared by mach_timebase_info and
// the I2C driver, which turns a request's minReplyDelay back into nanoseconds.
#pragma once

#include <cstdint>

#include "sim/world/world.hpp"

namespace lumra::sim {

// Absolute-time units to nanoseconds: units × numer / denom, saturating; a numerator of 0 or a
// failing time base count 1:1, as the bridge assumes in those cases.
std::uint64_t AbsoluteToNanoseconds(const World& world, std::uint64_t units);

}  // namespace lumra::sim
