#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumra::cli {

// The delta word of "adjust": a sign, an amount in the value syntax of "set", and whether the
// amount is a percentage of the monitor's maximum.
struct Delta {
  bool Negative = false;
  std::uint16_t Amount = 0;
  bool Percent = false;
};

// "+N", "-N" or either with "%" after the number. Empty when the word is anything else.
std::optional<Delta> ParseDelta(std::string_view word);

// The upper bound of an adjustment: the monitor's maximum, where 0 means 65535.
std::uint16_t AdjustmentMaximum(std::uint16_t reportedMaximum);

// current + change, clamped to 0 and the bound. A percentage is of the bound, rounded to
// the nearest step (halves up), and at least 1 step when the amount is not 0.
std::uint16_t ApplyDelta(const Delta& change, std::uint16_t current, std::uint16_t reportedMaximum);

}  // namespace lumra::cli
