#include "cli/target.hpp"

#include "support/number.hpp"

namespace lumra::cli {

support::Result<Target> ResolveTarget(const support::Context& ctx, ddc::Transport& transport,
                                      std::string_view monitorSelector,
                                      std::string_view featureName) {
  auto listed = transport.List(ctx);
  if (listed.Err) return {{}, listed.Err};
  auto selected = ddc::SelectMonitors(listed.Value, monitorSelector);
  if (selected.Err) return {{}, selected.Err};
  if (!selected.Value.NameMatches.empty()) return {{std::move(selected.Value), {}}, {}};
  auto feature = ddc::ParseFeature(featureName);
  if (feature.Err) return {{}, feature.Err};
  return {{std::move(selected.Value), std::move(feature.Value)}, {}};
}

std::optional<std::uint16_t> ParseSetValue(std::string_view word) {
  const auto value = support::ParseUnsignedLiteral(word, 0xFFFF);
  if (!value) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

std::optional<std::uint16_t> ParseSetValue(const ddc::Feature& feature, std::string_view word) {
  if (const auto number = ParseSetValue(word)) return number;
  return ddc::NamedValue(feature, word);
}

}  // namespace lumra::cli
