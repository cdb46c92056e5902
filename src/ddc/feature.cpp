#include "ddc/feature.hpp"

#include <array>
#include <optional>

#include "ddc/errors.hpp"
#include "support/format.hpp"
#include "support/number.hpp"
#include "support/unicode_fold.hpp"

namespace lumra::ddc {

namespace {

constexpr std::string_view kRawCodePrefix = "vcp:";
constexpr std::uint64_t kMaximumCode = 0xFF;

// Monitors may use other numbers (HDMI at 5 or 6, say); those are still set as numbers.
constexpr ValueName kInputSources[] = {
    {"vga1", 0x01},
    {"vga2", 0x02},
    {"dvi1", 0x03},
    {"dvi2", 0x04},
    {"composite1", 0x05},
    {"composite2", 0x06},
    {"svideo1", 0x07},
    {"svideo2", 0x08},
    {"tuner1", 0x09},
    {"tuner2", 0x0A},
    {"tuner3", 0x0B},
    {"component1", 0x0C},
    {"component2", 0x0D},
    {"component3", 0x0E},
    {"dp1", 0x0F},
    {"dp2", 0x10},
    {"hdmi1", 0x11},
    {"hdmi2", 0x12},
    // Not MCCS, but the number most monitors with a USB-C input give it.
    {"usbc", 0x1B},
};
constexpr ValueName kPowerModes[] = {
    {"on", 1}, {"standby", 2}, {"suspend", 3}, {"off", 4}, {"off-hard", 5},
};
constexpr ValueName kMuteStates[] = {{"on", 1}, {"off", 2}};
constexpr ValueName kColorPresets[] = {
    {"srgb", 1},   {"native", 2}, {"4000k", 3},  {"5000k", 4},  {"6500k", 5},
    {"7500k", 6},  {"8200k", 7},  {"9300k", 8},  {"10000k", 9}, {"11500k", 10},
    {"user1", 11}, {"user2", 12}, {"user3", 13},
};

// LG's alternate input control (VCP 0xF4 from source 0x50). USB-C is 0xD1 on some models and
// 0xD2 on others, so the models that differ set it as a number.
constexpr ValueName kAlternateInputs[] = {
    {"hdmi1", 0x90}, {"hdmi2", 0x91}, {"dp1", 0xD0}, {"dp2", 0xD1}, {"usbc", 0xD2},
};

constexpr ValueKind kLevel = ValueKind::Continuous;
constexpr ValueKind kChoice = ValueKind::NonContinuous;

// Name, code, writable, unsafe, value kind, value names, readable, write source; the order is
// the listing order.
const std::array<Feature, 18>& NamedFeatures() {
  static const std::array<Feature, 18> kTable = {{
      {"brightness", 0x10, true, false, kLevel, {}},
      {"contrast", 0x12, true, false, kLevel, {}},
      {"color-preset", 0x14, true, false, kChoice, kColorPresets},
      {"red-gain", 0x16, true, false, kLevel, {}},
      {"green-gain", 0x18, true, false, kLevel, {}},
      {"blue-gain", 0x1A, true, false, kLevel, {}},
      {"input", 0x60, true, true, kChoice, kInputSources},
      {"volume", 0x62, true, false, kLevel, {}},
      {"red-black-level", 0x6C, true, false, kLevel, {}},
      {"green-black-level", 0x6E, true, false, kLevel, {}},
      {"blue-black-level", 0x70, true, false, kLevel, {}},
      {"mute", 0x8D, true, false, kChoice, kMuteStates},
      {"sharpness", 0x87, true, false, kLevel, {}},
      {"controller-id", 0xC8, false, false, kChoice, {}},
      {"power", 0xD6, true, true, kChoice, kPowerModes},
      {"picture-mode", 0xDC, true, true, kChoice, {}},
      {"mccs-version", 0xDF, false, false, kChoice, {}},
      // Its read-back is useless on the monitors that have it: the input reads on 0x60.
      {"input-alt", 0xF4, true, true, kChoice, kAlternateInputs, false,
       ddcci::kAlternateSourceAddress},
  }};
  return kTable;
}

std::optional<Feature> NamedFeature(std::string_view name) {
  for (const Feature& feature : NamedFeatures()) {
    if (feature.Name == name) return feature;
  }
  return std::nullopt;
}

// A raw code may address any feature, so its writes are always treated as disruptive.
Feature RawFeature(std::uint8_t code) {
  Feature feature{support::Format("vcp:0x%02X", code), code, true, true, ValueKind::Unknown, {}};
  for (const Feature& row : NamedFeatures()) {
    if (row.Code != code) continue;
    feature.Kind = row.Kind;
    feature.ValueNames = row.ValueNames;
    break;
  }
  return feature;
}

std::optional<Feature> RawCodeFeature(std::string_view name) {
  if (!name.starts_with(kRawCodePrefix)) return std::nullopt;
  const auto code = support::ParseUnsignedLiteral(name.substr(kRawCodePrefix.size()), kMaximumCode);
  if (!code) return std::nullopt;
  return RawFeature(static_cast<std::uint8_t>(*code));
}

}  // namespace

std::vector<Feature> Features() {
  const auto& table = NamedFeatures();
  return {table.begin(), table.end()};
}

support::Result<Feature> ParseFeature(std::string_view value) {
  const std::string name = support::FoldToASCIILower(support::TrimUnicodeSpace(value));
  if (auto feature = NamedFeature(name)) return {std::move(*feature), {}};
  if (auto feature = RawCodeFeature(name)) return {std::move(*feature), {}};
  return {{}, support::Errorf("%w: %s", kErrInvalidFeature, value)};
}

std::optional<std::uint16_t> NamedValue(const Feature& feature, std::string_view word) {
  const std::string folded = support::FoldToASCIILower(word);
  for (const ValueName& entry : feature.ValueNames) {
    if (entry.Name == folded) return entry.Value;
  }
  return std::nullopt;
}

bool ReadsBack(const Feature& feature) {
  if (!feature.Readable) return false;
  // MCCS's momentary actions: degauss, the factory restores and the settings store.
  constexpr std::uint8_t kMomentaryCodes[] = {0x01, 0x04, 0x05, 0x06, 0x08, 0x0A, 0xB0};
  for (const std::uint8_t code : kMomentaryCodes) {
    if (feature.Code == code) return false;
  }
  return true;
}

}  // namespace lumra::ddc
