#include "cli/each_monitor.hpp"

#include <system_error>
#include <thread>

namespace lumra::cli {

std::vector<support::Result<RenderedResult>> ServeEach(std::span<const ddc::Monitor> monitors,
                                                       const MonitorTask& task) {
  std::vector<support::Result<RenderedResult>> outcomes(monitors.size());
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

}  // namespace lumra::cli
