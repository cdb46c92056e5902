#include "cli/target.hpp"

#include "cli/named_values.hpp"
#include "support/number.hpp"

namespace lumra::cli {

namespace {

constexpr std::uint8_t kRestoreFactoryDefaults = 0x04;
constexpr std::uint8_t kManufacturerRangeStart = 0xE0;
constexpr std::uint8_t kPowerMode = 0xD6;
constexpr std::uint16_t kPowerOff = 5;

bool startsWithRawPrefix(std::string_view input) {
  if (input.size() < 4) return false;
  const std::string_view prefix = "vcp:";
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = input[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != prefix[i]) return false;
  }
  return true;
}

}  // namespace

support::Result<target> resolveTarget(const support::Context& ctx, ddc::Transport& transport,
                                      std::string_view monitorSelector,
                                      std::string_view featureName) {
  auto listed = transport.List(ctx);
  if (listed.err) return {{}, listed.err};
  auto selected = selectMonitors(listed.value, monitorSelector);
  if (selected.err) return {{}, selected.err};
  if (!selected.value.nameMatches.empty()) return {{std::move(selected.value), {}}, {}};
  auto feature = ddc::ParseFeature(featureName);
  if (feature.err) return {{}, feature.err};
  return {{std::move(selected.value), std::move(feature.value)}, {}};
}

bool requiresUnsafe(std::string_view input, const ddc::Feature& feature, std::uint16_t value) {
  if (startsWithRawPrefix(input)) return true;
  if (feature.Unsafe) return true;
  if (feature.Code == kRestoreFactoryDefaults || feature.Code >= kManufacturerRangeStart) {
    return true;
  }
  if (feature.Code == kPowerMode) return value == kPowerOff;
  return false;
}

bool requiresUnsafeForAnyValue(std::string_view input, const ddc::Feature& feature) {
  return requiresUnsafe(input, feature, kPowerOff);
}

std::optional<std::uint16_t> parseSetValue(std::string_view word) {
  const auto value = support::ParseUnsignedLiteral(word, 0xFFFF);
  if (!value) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

std::optional<std::uint16_t> parseSetValue(const ddc::Feature& feature, std::string_view word) {
  if (const auto number = parseSetValue(word)) return number;
  return namedValue(feature.Code, word);
}

}  // namespace lumra::cli
