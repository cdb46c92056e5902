// ResolveMonitor on monitor lists and selectors made from the input, checked against a
// reference: a base-10 signed 64-bit selector picks the first monitor with that index, any
// other selector (or an index nobody has) the first monitor with that exact ID.
#include <charconv>
#include <optional>

#include "ddc/errors.hpp"
#include "ddc/select_monitors.hpp"
#include "fuzz_check.hpp"

namespace {

using lumra::ddc::Monitor;

std::optional<std::int64_t> DecimalReference(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // Accumulate as a negative number, whose range is one larger.
  std::int64_t value = 0;
  for (char c : digits) {
    const int d = c - '0';
    if (value < (INT64_MIN + d) / 10) return std::nullopt;
    value = value * 10 - d;
  }
  if (!negative) {
    if (value == INT64_MIN) return std::nullopt;
    value = -value;
  }
  return value;
}

const Monitor* Expected(const std::vector<Monitor>& monitors, const std::string& selector) {
  if (const auto index = DecimalReference(selector)) {
    for (const Monitor& m : monitors) {
      if (m.Index == *index) return &m;
    }
  }
  for (const Monitor& m : monitors) {
    if (m.ID == selector) return &m;
  }
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lumra::fuzz::ByteReader in(lumra::fuzz::AsText(data, size));
  const std::string selector = in.Text(40);
  std::vector<Monitor> monitors(in.Byte() % 9);
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    Monitor& m = monitors[i];
    // Small indexes collide often; a full 64-bit one now and then reaches the extremes.
    const std::uint8_t kind = in.Byte();
    m.Index = kind < 0xF0 ? static_cast<std::int64_t>(kind % 5) - 1
                          : static_cast<std::int64_t>(in.Uint64());
    m.ID = in.Text(40);
    m.Name = "monitor " + std::to_string(i);
  }
  const auto resolved = lumra::ddc::ResolveMonitor(monitors, selector);
  const Monitor* expected = Expected(monitors, selector);
  if (expected == nullptr) {
    FUZZ_CHECK(!resolved.Ok(), "resolved a selector that names no monitor: " + selector);
    FUZZ_CHECK(lumra::support::Is(resolved.Err, lumra::ddc::kErrMonitorNotFound),
               resolved.Err.Message());
    FUZZ_CHECK(resolved.Err.Message() == "monitor not found: " + selector, resolved.Err.Message());
    FUZZ_CHECK(resolved.Value.ID.empty() && resolved.Value.Name.empty(), "failure with a monitor");
  } else {
    FUZZ_CHECK(resolved.Ok(), "\"" + selector + "\": " + resolved.Err.Message());
    FUZZ_CHECK(resolved.Value.Name == expected->Name,
               "picked " + resolved.Value.Name + ", want " + expected->Name);
  }
  return 0;
}
