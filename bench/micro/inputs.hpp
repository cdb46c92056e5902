#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ddc/monitor.hpp"
#include "platform/monitor_list.hpp"

namespace lumra::bench {

// A capabilities string of exactly 400 bytes, shaped like a real monitor's answer.
const std::string& RealisticCapabilities();

// A capabilities string of exactly `size` bytes (at least 64): an outer group holding many
// shallow "vcp" groups, the shape of a long but ordinary answer.
std::string FlatCapabilities(std::size_t size);

// A capabilities string of exactly `size` bytes (at least 3 * depth + 5) whose parentheses
// nest `depth` levels deep, the outer group included: chains "a(a(...(10 12)...))" repeated
// inside the outer group.
std::string NestedCapabilities(std::size_t size, int depth);

// The scenario of sixteen monitors (bench/scenarios/sixteen-monitors.json) as text, empty when
// it cannot be read.
std::string SixteenMonitorsScenario();

// `count` displays as the native bridge reports them. With `twins`, pairs of displays share
// vendor, product and serial, so their identifiers come from their locations.
std::vector<platform::DarwinNativeMonitorInfo> NativeMonitors(std::size_t count, bool twins);

// `count` monitors as `list` prints them.
std::vector<ddc::Monitor> ListedMonitors(std::size_t count);

}  // namespace lumra::bench
