#pragma once

#include <functional>
#include <span>
#include <system_error>
#include <thread>
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
template <typename Outcome>
std::vector<Outcome> ServeEachAs(std::span<const ddc::Monitor> monitors,
                                 const std::function<Outcome(const ddc::Monitor&)>& task) {
  std::vector<Outcome> outcomes(monitors.size());
  std::vector<std::thread> others;
  others.reserve(monitors.size());
  for (std::size_t i = 1; i < monitors.size(); ++i) {
    const auto serve = [&, i] { outcomes[i] = task(monitors[i]); };
    try {
      others.emplace_back(serve);
    } catch (const std::system_error&) {
      // Out of threads: this monitor waits for the caller's thread instead.
      serve();
    }
  }
  if (!monitors.empty()) outcomes[0] = task(monitors[0]);
  for (std::thread& other : others) other.join();
  return outcomes;
}

inline std::vector<support::Result<RenderedResult>> ServeEach(
    std::span<const ddc::Monitor> monitors, const MonitorTask& task) {
  return ServeEachAs(monitors, task);
}

}  // namespace lumra::cli
