#include "platform/native/exchange.hpp"

namespace lumra::native {

void wait_nanoseconds(uint64_t ns) {
  timespec pause{};
  pause.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  pause.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  nanosleep(&pause, nullptr);
}

void trailing_pause(const exchange_request& call, uint64_t ns) {
  *call.trailing_pause_ns = ns;
  if (!call.defer_trailing_pause) wait_nanoseconds(ns);
}

uint64_t nanoseconds_to_absolute(uint64_t ns) {
  mach_timebase_info_data_t timebase{};
  if (mach_timebase_info(&timebase) != KERN_SUCCESS || timebase.numer == 0) return ns;
  return ns * timebase.denom / timebase.numer;
}

}  // namespace lumra::native
