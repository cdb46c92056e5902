#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/monitor_selection.hpp"
#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "ddc/transport.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::cli {

struct target {
  monitorSelection selection;
  // Left empty when a name matched several monitors.
  ddc::Feature feature;
};

// Lists the monitors, then selects from them (selectMonitors), then resolves the feature word;
// the first failure is returned unchanged (a bad selector is reported before a bad feature
// word, and so is a name that matched several monitors).
support::Result<target> resolveTarget(const support::Context& ctx, ddc::Transport& transport,
                                      std::string_view monitorSelector,
                                      std::string_view featureName);

// Whether writing `value` to `feature` (typed as `input`) needs --unsafe.
bool requiresUnsafe(std::string_view input, const ddc::Feature& feature, std::uint16_t value);
// Whether some value written to `feature` would need --unsafe: a relative change may end at
// any value.
bool requiresUnsafeForAnyValue(std::string_view input, const ddc::Feature& feature);

// The value word of "set": an unsigned 16-bit literal (decimal, 0x, 0o, 0b, leading-0 octal,
// single "_" separators). Empty when invalid.
std::optional<std::uint16_t> parseSetValue(std::string_view word);
// The same, or else the name of one of the feature's values (namedValue).
std::optional<std::uint16_t> parseSetValue(const ddc::Feature& feature, std::string_view word);

}  // namespace lumra::cli
