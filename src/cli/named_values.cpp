#include "cli/named_values.hpp"

#include <string>

#include "support/unicode_fold.hpp"

namespace lumra::cli {

namespace {

struct valueName {
  std::uint8_t code;
  std::string_view name;
  std::uint16_t value;
};

// Monitors may use other numbers (HDMI at 5 or 6, say); those are still set as numbers.
constexpr valueName kValueNames[] = {
    {0x60, "vga1", 0x01},       {0x60, "vga2", 0x02},       {0x60, "dvi1", 0x03},
    {0x60, "dvi2", 0x04},       {0x60, "composite1", 0x05}, {0x60, "composite2", 0x06},
    {0x60, "svideo1", 0x07},    {0x60, "svideo2", 0x08},    {0x60, "tuner1", 0x09},
    {0x60, "tuner2", 0x0A},     {0x60, "tuner3", 0x0B},     {0x60, "component1", 0x0C},
    {0x60, "component2", 0x0D}, {0x60, "component3", 0x0E}, {0x60, "dp1", 0x0F},
    {0x60, "dp2", 0x10},        {0x60, "hdmi1", 0x11},      {0x60, "hdmi2", 0x12},
    // Not MCCS, but the number most monitors with a USB-C input give it.
    {0x60, "usbc", 0x1B},
    {0xD6, "on", 1},            {0xD6, "standby", 2},       {0xD6, "suspend", 3},
    {0xD6, "off", 4},           {0xD6, "off-hard", 5},
    {0x8D, "on", 1},            {0x8D, "off", 2},
    {0x14, "srgb", 1},          {0x14, "native", 2},        {0x14, "4000k", 3},
    {0x14, "5000k", 4},         {0x14, "6500k", 5},         {0x14, "7500k", 6},
    {0x14, "8200k", 7},         {0x14, "9300k", 8},         {0x14, "10000k", 9},
    {0x14, "11500k", 10},       {0x14, "user1", 11},        {0x14, "user2", 12},
    {0x14, "user3", 13},
};

}  // namespace

std::optional<std::uint16_t> namedValue(std::uint8_t code, std::string_view word) {
  const std::string folded = support::FoldToASCIILower(word);
  for (const valueName& entry : kValueNames) {
    if (entry.code == code && entry.name == folded) return entry.value;
  }
  return std::nullopt;
}

}  // namespace lumra::cli
