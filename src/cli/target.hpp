#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "ddc/select_monitors.hpp"
#include "ddc/transport.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::cli {

struct Target {
  ddc::MonitorSelection Selection;
  // Left empty when a name matched several monitors.
  ddc::Feature Feature;
};

// Lists the monitors, then selects from them (SelectMonitors), then resolves the feature word;
// the first failure is returned unchanged (a bad selector is reported before a bad feature
// word, and so is a name that matched several monitors).
support::Result<Target> ResolveTarget(const support::Context& ctx, ddc::Transport& transport,
                                      std::string_view monitorSelector,
                                      std::string_view featureName);

// The value word of "set": an unsigned 16-bit literal (decimal, 0x, 0o, 0b, leading-0 octal,
// single "_" separators). Empty when invalid.
std::optional<std::uint16_t> ParseSetValue(std::string_view word);
// The same, or else the name of one of the feature's values (ddc::NamedValue).
std::optional<std::uint16_t> ParseSetValue(const ddc::Feature& feature, std::string_view word);

}  // namespace lumra::cli
