// The shared state of the simulated monitors: one JSON file per scenario under
// $HOME/Library/Caches/lumra/sim/, changed only under an exclusive lock on a sibling lock file,
// so processes that run one after another or side by side see one set of monitors. Without
// HOME the state lives in this process only.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "sim/world/monitor.hpp"

namespace lumra::sim {

// Runs `change` on the monitor's record under the lock and saves the result (one
// read-modify-write). False when the state file cannot be read or written.
bool UpdateMonitorRecord(const std::string& stateKey, const std::string& monitor,
                         const std::function<void(MonitorRecord&)>& change);

// The monitor's record as saved (a fresh record when none is); nullopt when unreadable.
std::optional<MonitorRecord> ReadMonitorRecord(const std::string& stateKey,
                                               const std::string& monitor);

// "$HOME/Library/Caches/lumra/sim", or "" when HOME is unset or empty.
std::string StateDirectory();

}  // namespace lumra::sim
