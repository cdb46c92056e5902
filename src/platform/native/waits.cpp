#include "platform/native/exchange.hpp"

namespace lumra::native {

void WaitNanoseconds(uint64_t ns) {
  timespec pause{};
  pause.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  pause.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  nanosleep(&pause, nullptr);
}

void TrailingPause(const ExchangeRequest& call, uint64_t ns) {
  *call.TrailingPauseNs = ns;
  if (!call.DeferTrailingPause) WaitNanoseconds(ns);
}

uint64_t NanosecondsToAbsolute(uint64_t ns) {
  mach_timebase_info_data_t timebase{};
  if (mach_timebase_info(&timebase) != KERN_SUCCESS || timebase.numer == 0) return ns;
  return ns * timebase.denom / timebase.numer;
}

}  // namespace lumra::native
