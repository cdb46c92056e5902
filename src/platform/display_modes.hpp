#pragma once

#include <cstdint>
#include <optional>

#include "ddc/monitor.hpp"

namespace lumra::platform {

// The current mode of a native record; absent when the record marks it invalid or a pixel
// dimension is 0. The refresh rate is kept as reported.
std::optional<ddc::DisplayMode> ModeFromNative(std::uint32_t valid, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t logicalWidth,
                                               std::uint32_t logicalHeight, double refreshHz);

// A new mode with its refresh rate normalised; absent when there is no mode or a pixel
// dimension is 0.
std::optional<ddc::DisplayMode> NormalizeMode(const std::optional<ddc::DisplayMode>& mode);

// The rate rounded to three decimals (halves away from zero); 0 for a rate that is not
// positive, not a number, infinite, or too large to scale to a finite value.
double NormalizeRefreshRate(double refreshHz);

}  // namespace lumra::platform
