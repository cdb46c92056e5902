// Reads the simulated monitors' shared state as a binary left it in a test's HOME. The state
// is found through HOME and LUMRA_SIMULATION, so both are pointed there for the read and put
// back afterwards; call it from the test's main thread only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "sim/simulator.hpp"

namespace lumra::testing {

class SimulatedState {
 public:
  SimulatedState(const std::string& home, const std::string& scenarioPath) {
    if (const char* previous = std::getenv("HOME")) previousHome_ = previous;
    setenv("HOME", home.c_str(), 1);
    setenv("LUMRA_SIMULATION", scenarioPath.c_str(), 1);
    sim::ResetScenario();
  }
  ~SimulatedState() {
    sim::ResetScenario();
    unsetenv("LUMRA_SIMULATION");
    if (previousHome_) {
      setenv("HOME", previousHome_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }
  SimulatedState(const SimulatedState&) = delete;
  SimulatedState& operator=(const SimulatedState&) = delete;

  sim::MonitorCounters Counters(const std::string& monitor) const {
    auto counters = sim::ReadMonitorCounters(monitor);
    EXPECT_FALSE(counters.Err) << counters.Err.Message();
    return counters.Value;
  }
  std::uint16_t Value(const std::string& monitor, std::uint8_t code) const {
    auto value = sim::ReadVCPValue(monitor, code);
    EXPECT_FALSE(value.Err) << value.Err.Message();
    return value.Value;
  }

 private:
  std::optional<std::string> previousHome_;
};

}  // namespace lumra::testing
