// The built-in scenarios: the JSON files in src/sim/scenarios/, embedded at build time (see
// src/sim/CMakeLists.txt). They go through the same parser as a scenario file.
#pragma once

#include <string_view>

namespace lumra::sim {

// The built-in scenario used when LUMRA_SIMULATION is unset (scenarios/default.json).
std::string_view DefaultScenarioJson();

// The built-in Apple silicon scenario, chosen with LUMRA_SIMULATION=apple-silicon
// (scenarios/apple-silicon.json).
std::string_view AppleSiliconScenarioJson();

}  // namespace lumra::sim
