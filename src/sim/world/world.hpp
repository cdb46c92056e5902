// The loaded world: the active scenario and its registry. It is loaded on the first platform
// call of a process (from LUMRA_SIMULATION, or the built-in scenario) and shared, immutable,
// by every object handed out while it was active.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sim/world/registry.hpp"
#include "sim/world/scenario.hpp"

namespace lumra::sim {

struct World {
  World(sim::Scenario loaded, std::string key)
      : Scenario(std::move(loaded)), Registry(Scenario), StateKey(std::move(key)) {}

  // The display with this id, or nullptr; valid while the world is.
  const DisplaySpec* FindDisplay(std::uint32_t id) const;

  sim::Scenario Scenario;
  sim::Registry Registry;
  // Names the monitor state file: "default" for the built-in scenario, otherwise a hash of
  // the scenario text, so different scenarios never share state.
  std::string StateKey;
};

using WorldPtr = std::shared_ptr<const World>;

// The active world, loading it when needed; nullptr when the scenario cannot be used (its
// problem is printed on standard error once per process).
WorldPtr CurrentWorld();

// Makes `text` the active scenario; returns the problem ("scenario \"name\": ...") or "".
std::string UseScenario(std::string_view text, std::string_view sourceName);

// Forgets the active scenario; the next call loads from LUMRA_SIMULATION or the default again.
void ForgetWorld();

// "default" or "scenario-" and 16 hexadecimal digits of a hash of the text.
std::string StateKeyFor(std::string_view text);

}  // namespace lumra::sim
