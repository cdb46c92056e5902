#include "cli/target.hpp"

#include "support/number.hpp"

namespace lumra::cli {

support::Result<target> resolveTarget(const support::Context& ctx, ddc::Transport& transport,
                                      std::string_view monitorSelector,
                                      std::string_view featureName) {
  auto listed = transport.List(ctx);
  if (listed.err) return {{}, listed.err};
  auto selected = ddc::SelectMonitors(listed.value, monitorSelector);
  if (selected.err) return {{}, selected.err};
  if (!selected.value.NameMatches.empty()) return {{std::move(selected.value), {}}, {}};
  auto feature = ddc::ParseFeature(featureName);
  if (feature.err) return {{}, feature.err};
  return {{std::move(selected.value), std::move(feature.value)}, {}};
}

std::optional<std::uint16_t> parseSetValue(std::string_view word) {
  const auto value = support::ParseUnsignedLiteral(word, 0xFFFF);
  if (!value) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

std::optional<std::uint16_t> parseSetValue(const ddc::Feature& feature, std::string_view word) {
  if (const auto number = parseSetValue(word)) return number;
  return ddc::NamedValue(feature, word);
}

}  // namespace lumra::cli
