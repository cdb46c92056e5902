#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/error.hpp"

namespace lumra::ddc {

// One VCP feature as the front end addresses it.
struct Feature {
  std::string Name;
  std::uint8_t Code = 0;
  bool Writable = false;
  bool Unsafe = false;
  bool Continuous = false;
  bool ContinuousKnown = false;
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

// Turns a feature argument (a table name, or "vcp:" and a code) into a Feature. On failure
// the error wraps ErrInvalidFeature and reads "invalid feature: <argument as given>".
support::Result<Feature> ParseFeature(std::string_view value);

}  // namespace lumra::ddc
