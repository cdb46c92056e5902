// mach_timebase_info and the conversion of absolute time that the simulated drivers use.
#include <limits>

#include "sim/framework/mach_time.hpp"
#include "sim/framework/macos_api.h"

namespace lumra::sim {

std::uint64_t AbsoluteToNanoseconds(const World& world, std::uint64_t units) {
  const TimebaseSpec& timebase = world.Scenario.Timebase;
  if (timebase.Fails || timebase.Numer == 0) return units;
  const long double nanoseconds = static_cast<long double>(units) * timebase.Numer / timebase.Denom;
  const auto limit = std::numeric_limits<std::uint64_t>::max();
  return nanoseconds >= static_cast<long double>(limit) ? limit
                                                        : static_cast<std::uint64_t>(nanoseconds);
}

}  // namespace lumra::sim

extern "C" kern_return_t mach_timebase_info(mach_timebase_info_t info) {
  constexpr kern_return_t kKernFailure = 5;  // KERN_FAILURE
  if (info == nullptr) return kKernFailure;
  lumra::sim::WorldPtr world = lumra::sim::CurrentWorld();
  const lumra::sim::TimebaseSpec timebase =
      world ? world->Scenario.Timebase : lumra::sim::TimebaseSpec{};
  if (timebase.Fails) return kKernFailure;
  info->numer = timebase.Numer;
  info->denom = timebase.Denom;
  return KERN_SUCCESS;
}
