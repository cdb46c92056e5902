#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/monitor.hpp"
#include "support/error.hpp"

namespace lumra::cli {

// The monitors a selector picked from the list.
struct monitorSelection {
  // In list order; exactly one unless `all`.
  std::vector<ddc::Monitor> monitors;
  // The selector was "all": each monitor is served and reported on its own, and an empty list
  // is no failure.
  bool all = false;
  // When a name matched more than one monitor: their IDs, in list order (`monitors` is empty).
  std::vector<std::string> nameMatches;
};

// Tries, in order: an index or a full ID (ResolveMonitor), "all", then a name compared without
// regard to case: the monitors whose whole name equals it, else those whose name contains it.
// A number is only ever an index, never part of a name.
// When nothing matches, the error is ResolveMonitor's "monitor not found: <selector>".
support::Result<monitorSelection> selectMonitors(std::span<const ddc::Monitor> monitors,
                                                 std::string_view selector);

}  // namespace lumra::cli
