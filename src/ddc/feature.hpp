#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddcci/protocol.hpp"
#include "support/error.hpp"

namespace lumra::ddc {

// What a feature's value means against the maximum the monitor reports.
enum class ValueKind {
  // Unknown: a raw code the table does not name.
  Unknown,
  // A level from 0 to the maximum (brightness, volume).
  Continuous,
  // A choice among numbers (input, power mode): the maximum means nothing.
  NonContinuous,
};

// One value of a non-continuous feature that may be set by name, such as input "hdmi1".
struct ValueName {
  std::string_view Name;
  std::uint16_t Value = 0;
};

// One VCP feature as the front end addresses it. Writing an Unsafe feature needs --unsafe:
// that holds for every raw code, whatever feature it addresses.
struct Feature {
  std::string Name;
  std::uint8_t Code = 0;
  bool Writable = false;
  bool Unsafe = false;
  ValueKind Kind = ValueKind::Unknown;
  // The names its values may be set by, in lower case; empty for most features.
  std::span<const ValueName> ValueNames;
  // False for a control whose read-back means nothing, so that get refuses it.
  bool Readable = true;
  // The host source address its writes carry; reads always use the standard one.
  std::uint8_t WriteSource = ddcci::kHostSourceAddress;
};

// One read result of GetVCP.
struct VCPValue {
  std::uint8_t Code = 0;
  std::string Feature;
  std::uint16_t Current = 0;
  std::uint16_t Maximum = 0;
  bool Momentary = false;
  std::array<std::uint8_t, 4> Raw{};
};

// A new copy of the named feature table, in table order.
std::vector<Feature> Features();

// Turns a feature argument (a table name, or "vcp:" and a code) into a Feature. A raw code
// takes the value kind and value names of the named feature with its code. On failure the
// error wraps ErrInvalidFeature and reads "invalid feature: <argument as given>".
support::Result<Feature> ParseFeature(std::string_view value);

// The number of one of the feature's values given by its name, compared without regard to
// case. Empty when the feature has no value of that name.
std::optional<std::uint16_t> NamedValue(const Feature& feature, std::string_view word);

// Whether the feature holds a value that a read returns: not a momentary action such as a
// factory reset, whose code reads back nothing that a write set.
bool ReadsBack(const Feature& feature);

}  // namespace lumra::ddc
