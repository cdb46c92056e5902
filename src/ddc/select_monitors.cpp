#include "ddc/resolve_monitor.hpp"

#include "ddc/errors.hpp"
#include "support/format.hpp"
#include "support/number.hpp"

namespace lumra::ddc {

namespace {

const Monitor* findByIndex(std::span<const Monitor> monitors, std::string_view selector) {
  const auto index = support::ParseDecimalInt64(selector);
  if (!index) return nullptr;
  for (const Monitor& monitor : monitors) {
    if (monitor.Index == *index) return &monitor;
  }
  return nullptr;
}

const Monitor* findByID(std::span<const Monitor> monitors, std::string_view selector) {
  for (const Monitor& monitor : monitors) {
    if (monitor.ID == selector) return &monitor;
  }
  return nullptr;
}

}  // namespace

support::Result<Monitor> ResolveMonitor(std::span<const Monitor> monitors, std::string_view selector) {
  const Monitor* found = findByIndex(monitors, selector);
  if (found == nullptr) found = findByID(monitors, selector);
  if (found == nullptr) return {{}, support::Errorf("%w: %s", ErrMonitorNotFound, selector)};
  return {*found, {}};
}

}  // namespace lumra::ddc
