#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/monitor.hpp"
#include "support/error.hpp"

namespace lumra::ddc {

// Picks the monitor a selector names: by Index when the selector is a base-10 integer and a
// monitor has that index, otherwise by exact ID. On failure the error wraps
// ErrMonitorNotFound and reads "monitor not found: <selector>".
support::Result<Monitor> ResolveMonitor(std::span<const Monitor> monitors,
                                        std::string_view selector);

// The monitors a selector picked from the list.
struct MonitorSelection {
  // In list order; exactly one unless `All`.
  std::vector<Monitor> Monitors;
  // The selector was "all": each monitor is served and reported on its own, and an empty list
  // is no failure.
  bool All = false;
  // When a name matched more than one monitor: their IDs, in list order (`Monitors` is empty).
  std::vector<std::string> NameMatches;
};

// Tries, in order: an index or a full ID (ResolveMonitor), "all", then a name compared without
// regard to case: the monitors whose whole name equals it, else those whose name contains it.
// A number is only ever an index, never part of a name.
// When nothing matches, the error is ResolveMonitor's "monitor not found: <selector>".
support::Result<MonitorSelection> SelectMonitors(std::span<const Monitor> monitors,
                                                 std::string_view selector);

}  // namespace lumra::ddc
