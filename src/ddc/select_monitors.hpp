#pragma once

#include <span>
#include <string_view>

#include "ddc/monitor.hpp"
#include "support/error.hpp"

namespace lumra::ddc {

// Picks the monitor a selector names: by Index when the selector is a base-10 integer and a
// monitor has that index, otherwise by exact ID. On failure the error wraps
// ErrMonitorNotFound and reads "monitor not found: <selector>".
support::Result<Monitor> ResolveMonitor(std::span<const Monitor> monitors, std::string_view selector);

}  // namespace lumra::ddc
