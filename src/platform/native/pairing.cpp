#include "platform/native/snapshots.hpp"

namespace lumra::native {

int FramebufferMatchScore(const CgDisplaySnapshot& display,
                          const FramebufferSnapshot& framebuffer) {
  if (display.Vendor != framebuffer.Vendor || display.Model != framebuffer.Product) return -1;
  if (display.Serial != 0 && framebuffer.Serial != 0 && display.Serial != framebuffer.Serial) {
    return -1;
  }
  if (framebuffer.UnitValid && framebuffer.Unit != display.Unit) return -1;
  const bool unitMatch = framebuffer.UnitValid != 0;  // equal, or rejected above
  const bool serialMatch = display.Serial != 0 && display.Serial == framebuffer.Serial;
  if (!unitMatch && !serialMatch) return -1;
  return 1 + (unitMatch ? 4 : 0) + (serialMatch ? 2 : 0);
}

int32_t UniqueBestFramebuffer(const std::vector<CgDisplaySnapshot>& displays, std::size_t index,
                              const std::vector<FramebufferSnapshot>& framebuffers) {
  int best = -1;
  std::size_t chosen = 0;
  std::size_t ties = 0;
  for (std::size_t i = 0; i < framebuffers.size(); ++i) {
    const int score = FramebufferMatchScore(displays[index], framebuffers[i]);
    if (score < 0) continue;
    if (score > best) {
      best = score;
      chosen = i;
      ties = 1;
    } else if (score == best) {
      ++ties;
    }
  }
  if (best < 0 || ties != 1) return -1;

  // The framebuffer must also pick this display out of all of them, built-in ones included;
  // another display that reaches the score (or passes it) makes the pairing ambiguous.
  std::size_t reaching = 0;
  bool reachesThisDisplay = false;
  for (std::size_t d = 0; d < displays.size(); ++d) {
    if (FramebufferMatchScore(displays[d], framebuffers[chosen]) < best) continue;
    ++reaching;
    reachesThisDisplay = d == index;
  }
  if (reaching != 1 || !reachesThisDisplay) return -1;
  return static_cast<int32_t>(chosen);
}

}  // namespace lumra::native
