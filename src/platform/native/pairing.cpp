#include "platform/native/snapshots.hpp"

namespace lumra::native {

int framebuffer_match_score(const cg_display_snapshot& display,
                            const framebuffer_snapshot& framebuffer) {
  if (display.vendor != framebuffer.vendor || display.model != framebuffer.product) return -1;
  if (display.serial != 0 && framebuffer.serial != 0 && display.serial != framebuffer.serial) {
    return -1;
  }
  if (framebuffer.unit_valid && framebuffer.unit != display.unit) return -1;
  const bool unit_match = framebuffer.unit_valid != 0;  // equal, or rejected above
  const bool serial_match = display.serial != 0 && display.serial == framebuffer.serial;
  if (!unit_match && !serial_match) return -1;
  return 1 + (unit_match ? 4 : 0) + (serial_match ? 2 : 0);
}

int32_t unique_best_framebuffer(const std::vector<cg_display_snapshot>& displays, std::size_t index,
                                const std::vector<framebuffer_snapshot>& framebuffers) {
  int best = -1;
  std::size_t chosen = 0;
  std::size_t ties = 0;
  for (std::size_t i = 0; i < framebuffers.size(); ++i) {
    const int score = framebuffer_match_score(displays[index], framebuffers[i]);
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
  bool reaches_this_display = false;
  for (std::size_t d = 0; d < displays.size(); ++d) {
    if (framebuffer_match_score(displays[d], framebuffers[chosen]) < best) continue;
    ++reaching;
    reaches_this_display = d == index;
  }
  if (reaching != 1 || !reaches_this_display) return -1;
  return static_cast<int32_t>(chosen);
}

}  // namespace lumra::native
