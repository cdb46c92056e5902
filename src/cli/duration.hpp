#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/context.hpp"

namespace lumra::cli {

// Reads a duration text: an optional sign, then "0" or groups of a decimal number (with an
// optional fraction) and a unit among ns, us, µs, μs, ms, s, m, h ("1h30m", "2.5s").
// Fractions are converted at nanosecond resolution with the remainder dropped. Empty when
// the text is not a duration or does not fit in signed 64-bit nanoseconds.
std::optional<support::Duration> ParseDuration(std::string_view text);

// A duration in the largest of s, ms, us and ns that holds it whole ("30s", "1500ms"), a form
// ParseDuration reads back.
std::string FormatDuration(support::Duration duration);

}  // namespace lumra::cli
