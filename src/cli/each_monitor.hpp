#pragma once

#include <functional>
#include <span>
#include <vector>

#include "cli/printer.hpp"
#include "ddc/monitor.hpp"
#include "support/error.hpp"

namespace lumra::cli {

// What one command does to one monitor: its rendered result, or why it failed.
using MonitorTask = std::function<support::Result<RenderedResult>(const ddc::Monitor&)>;

// Runs `task` for every monitor at once, each on its own thread (the first on the caller's),
// and returns the outcomes in the order of `monitors`, whatever order they finished in. Tasks
// on one endpoint meet at its lock; `task` must be safe to run on several threads.
std::vector<support::Result<RenderedResult>> ServeEach(std::span<const ddc::Monitor> monitors,
                                                       const MonitorTask& task);

}  // namespace lumra::cli
