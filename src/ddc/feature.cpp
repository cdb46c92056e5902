#include "ddc/feature.hpp"

#include <array>
#include <optional>

#include "ddc/errors.hpp"
#include "support/format.hpp"
#include "support/number.hpp"
#include "support/unicode_fold.hpp"

namespace lumra::ddc {

namespace {

constexpr std::string_view rawCodePrefix = "vcp:";
constexpr std::uint64_t maximumCode = 0xFF;

// Name, code, writable, unsafe, continuous, continuous known; the order is the listing order.
const std::array<Feature, 11>& namedFeatures() {
  static const std::array<Feature, 11> table = {{
      {"brightness", 0x10, true, false, true, true},
      {"contrast", 0x12, true, false, true, true},
      {"color-preset", 0x14, true, false, false, true},
      {"input", 0x60, true, true, false, true},
      {"volume", 0x62, true, false, true, true},
      {"mute", 0x8D, true, false, false, true},
      {"sharpness", 0x87, true, false, true, true},
      {"controller-id", 0xC8, false, false, false, true},
      {"power", 0xD6, true, true, false, true},
      {"picture-mode", 0xDC, true, true, false, true},
      {"mccs-version", 0xDF, false, false, false, true},
  }};
  return table;
}

std::optional<Feature> namedFeature(std::string_view name) {
  for (const Feature& feature : namedFeatures()) {
    if (feature.Name == name) return feature;
  }
  return std::nullopt;
}

// A raw code may address any feature, so its writes are always treated as disruptive.
Feature rawFeature(std::uint8_t code) {
  Feature feature{support::Format("vcp:0x%02X", code), code, true, true, false, false};
  for (const Feature& row : namedFeatures()) {
    if (row.Code != code) continue;
    feature.Continuous = row.Continuous;
    feature.ContinuousKnown = row.ContinuousKnown;
    break;
  }
  return feature;
}

std::optional<Feature> rawCodeFeature(std::string_view name) {
  if (!name.starts_with(rawCodePrefix)) return std::nullopt;
  const auto code = support::ParseUnsignedLiteral(name.substr(rawCodePrefix.size()), maximumCode);
  if (!code) return std::nullopt;
  return rawFeature(static_cast<std::uint8_t>(*code));
}

}  // namespace

std::vector<Feature> Features() {
  const auto& table = namedFeatures();
  return {table.begin(), table.end()};
}

support::Result<Feature> ParseFeature(std::string_view value) {
  const std::string name = support::FoldToASCIILower(support::TrimUnicodeSpace(value));
  if (auto feature = namedFeature(name)) return {std::move(*feature), {}};
  if (auto feature = rawCodeFeature(name)) return {std::move(*feature), {}};
  return {{}, support::Errorf("%w: %s", ErrInvalidFeature, value)};
}

}  // namespace lumra::ddc
