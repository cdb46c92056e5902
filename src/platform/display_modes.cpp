#include "platform/display_modes.hpp"

#include <cmath>

namespace lumra::platform {

std::optional<ddc::DisplayMode> ModeFromNative(std::uint32_t valid, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t logicalWidth,
                                               std::uint32_t logicalHeight, double refreshHz) {
  if (valid == 0 || width == 0 || height == 0) return std::nullopt;
  return ddc::DisplayMode{width, height, refreshHz, logicalWidth, logicalHeight};
}

std::optional<ddc::DisplayMode> NormalizeMode(const std::optional<ddc::DisplayMode>& mode) {
  if (!mode || mode->Width == 0 || mode->Height == 0) return std::nullopt;
  ddc::DisplayMode normalized = *mode;
  normalized.RefreshHz = NormalizeRefreshRate(mode->RefreshHz);
  return normalized;
}

double NormalizeRefreshRate(double refreshHz) {
  if (!(refreshHz > 0) || std::isinf(refreshHz)) return 0;
  const double scaled = std::round(refreshHz * 1000);
  // A huge rate scales past the largest double; JSON has no way to write infinity.
  if (!std::isfinite(scaled)) return 0;
  return scaled / 1000;
}

}  // namespace lumra::platform
