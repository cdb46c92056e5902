#include "cli/monitor_selection.hpp"

#include "ddc/resolve_monitor.hpp"
#include "support/number.hpp"
#include "support/unicode_fold.hpp"

namespace lumra::cli {

namespace {

std::vector<const ddc::Monitor*> namedMonitors(std::span<const ddc::Monitor> monitors,
                                               std::string_view selector) {
  const std::string wanted = support::FoldToASCIILower(selector);
  std::vector<const ddc::Monitor*> whole;
  std::vector<const ddc::Monitor*> partial;
  // An empty word is part of every name; it names none.
  if (wanted.empty()) return whole;
  for (const ddc::Monitor& monitor : monitors) {
    const std::string name = support::FoldToASCIILower(monitor.Name);
    if (name == wanted) whole.push_back(&monitor);
    if (name.find(wanted) != std::string::npos) partial.push_back(&monitor);
  }
  return whole.empty() ? partial : whole;
}

}  // namespace

support::Result<monitorSelection> selectMonitors(std::span<const ddc::Monitor> monitors,
                                                 std::string_view selector) {
  monitorSelection selection;
  auto resolved = ddc::ResolveMonitor(monitors, selector);
  if (!resolved.err) {
    selection.monitors.push_back(std::move(resolved.value));
    return {std::move(selection), {}};
  }
  // A number is only ever an index: "set 7 …" must not write to a monitor named "…Q27".
  if (support::ParseDecimalInt64(selector)) return {{}, resolved.err};
  if (selector == "all") {
    selection.monitors.assign(monitors.begin(), monitors.end());
    selection.all = true;
    return {std::move(selection), {}};
  }
  const std::vector<const ddc::Monitor*> named = namedMonitors(monitors, selector);
  if (named.empty()) return {{}, resolved.err};
  if (named.size() == 1) {
    selection.monitors.push_back(*named.front());
  } else {
    for (const ddc::Monitor* monitor : named) selection.nameMatches.push_back(monitor->ID);
  }
  return {std::move(selection), {}};
}

}  // namespace lumra::cli
