#include "cli/delta.hpp"

#include <algorithm>

#include "cli/target.hpp"

namespace lumra::cli {

std::optional<delta> parseDelta(std::string_view word) {
  if (word.empty() || (word.front() != '+' && word.front() != '-')) return std::nullopt;
  delta change;
  change.negative = word.front() == '-';
  word.remove_prefix(1);
  change.percent = word.ends_with('%');
  if (change.percent) word.remove_suffix(1);
  const auto amount = parseSetValue(word);
  if (!amount) return std::nullopt;
  change.amount = *amount;
  return change;
}

std::uint16_t adjustmentMaximum(std::uint16_t reportedMaximum) {
  return reportedMaximum == 0 ? 0xFFFF : reportedMaximum;
}

std::uint16_t applyDelta(const delta& change, std::uint16_t current,
                         std::uint16_t reportedMaximum) {
  const std::int64_t maximum = adjustmentMaximum(reportedMaximum);
  std::int64_t step = change.amount;
  if (change.percent && step != 0) {
    step = std::max<std::int64_t>((step * maximum * 2 + 100) / 200, 1);
  }
  const std::int64_t next = std::int64_t{current} + (change.negative ? -step : step);
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(next, 0, maximum));
}

}  // namespace lumra::cli
