#include "ddc/select_monitors.hpp"

#include "ddc/errors.hpp"
#include "support/format.hpp"
#include "support/number.hpp"
#include "support/unicode_fold.hpp"

namespace lumra::ddc {

namespace {

const Monitor* FindByIndex(std::span<const Monitor> monitors, std::string_view selector) {
  const auto index = support::ParseDecimalInt64(selector);
  if (!index) return nullptr;
  for (const Monitor& monitor : monitors) {
    if (monitor.Index == *index) return &monitor;
  }
  return nullptr;
}

const Monitor* FindByID(std::span<const Monitor> monitors, std::string_view selector) {
  for (const Monitor& monitor : monitors) {
    if (monitor.ID == selector) return &monitor;
  }
  return nullptr;
}

std::vector<const Monitor*> NamedMonitors(std::span<const Monitor> monitors,
                                          std::string_view selector) {
  const std::string wanted = support::FoldCase(selector);
  std::vector<const Monitor*> whole;
  std::vector<const Monitor*> partial;
  // An empty word is part of every name; it names none.
  if (wanted.empty()) return whole;
  for (const Monitor& monitor : monitors) {
    const std::string name = support::FoldCase(monitor.Name);
    if (name == wanted) whole.push_back(&monitor);
    if (name.find(wanted) != std::string::npos) partial.push_back(&monitor);
  }
  return whole.empty() ? partial : whole;
}

}  // namespace

support::Result<Monitor> ResolveMonitor(std::span<const Monitor> monitors,
                                        std::string_view selector) {
  const Monitor* found = FindByIndex(monitors, selector);
  if (found == nullptr) found = FindByID(monitors, selector);
  if (found == nullptr) return {{}, support::Errorf("%w: %s", kErrMonitorNotFound, selector)};
  return {*found, {}};
}

support::Result<MonitorSelection> SelectMonitors(std::span<const Monitor> monitors,
                                                 std::string_view selector) {
  MonitorSelection selection;
  auto resolved = ResolveMonitor(monitors, selector);
  if (!resolved.Err) {
    selection.Monitors.push_back(std::move(resolved.Value));
    return {std::move(selection), {}};
  }
  // A number is only ever an index: "set 7 …" must not write to a monitor named "…Q27".
  if (support::ParseDecimalInt64(selector)) return {{}, resolved.Err};
  if (support::FoldToASCIILower(selector) == "all") {
    selection.Monitors.assign(monitors.begin(), monitors.end());
    selection.All = true;
    return {std::move(selection), {}};
  }
  const std::vector<const Monitor*> named = NamedMonitors(monitors, selector);
  if (named.empty()) return {{}, resolved.Err};
  if (named.size() == 1) {
    selection.Monitors.push_back(*named.front());
  } else {
    for (const Monitor* monitor : named) selection.NameMatches.push_back(monitor->ID);
  }
  return {std::move(selection), {}};
}

}  // namespace lumra::ddc
