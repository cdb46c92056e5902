#include "cli/delta.hpp"

#include <algorithm>

#include "cli/target.hpp"

namespace lumra::cli {

std::optional<Delta> ParseDelta(std::string_view word) {
  if (word.empty() || (word.front() != '+' && word.front() != '-')) return std::nullopt;
  Delta change;
  change.Negative = word.front() == '-';
  word.remove_prefix(1);
  change.Percent = word.ends_with('%');
  if (change.Percent) word.remove_suffix(1);
  const auto amount = ParseSetValue(word);
  if (!amount) return std::nullopt;
  change.Amount = *amount;
  return change;
}

std::uint16_t AdjustmentMaximum(std::uint16_t reportedMaximum) {
  return reportedMaximum == 0 ? 0xFFFF : reportedMaximum;
}

std::uint16_t ApplyDelta(const Delta& change, std::uint16_t current,
                         std::uint16_t reportedMaximum) {
  const std::int64_t maximum = AdjustmentMaximum(reportedMaximum);
  std::int64_t step = change.Amount;
  if (change.Percent && step != 0) {
    step = std::max<std::int64_t>((step * maximum * 2 + 100) / 200, 1);
  }
  const std::int64_t next = std::int64_t{current} + (change.Negative ? -step : step);
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(next, 0, maximum));
}

}  // namespace lumra::cli
