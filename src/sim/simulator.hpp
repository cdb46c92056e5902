// The stand-in platform's face for tests: choose the scenario, look at the simulated monitors,
// and check that callers released every platform object they took.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/world/monitor_counters.hpp"
#include "support/error.hpp"

namespace lumra::sim {

namespace detail {
std::string UseScenarioTextProblem(std::string_view json, std::string_view sourceName);
std::string ReadMonitorCountersInto(std::string_view monitor, MonitorCounters& counters);
std::string ReadVCPValueInto(std::string_view monitor, std::uint8_t code, std::uint16_t& value);
}  // namespace detail

// Replaces the active scenario of this process with `json`; `sourceName` stands for the file
// name in messages. An invalid scenario is still made active: platform calls then fail as they
// do for an invalid LUMRA_SIMULATION file (enumeration gives -2).
inline support::Error UseScenarioText(std::string_view json, std::string_view sourceName) {
  const std::string problem = detail::UseScenarioTextProblem(json, sourceName);
  return problem.empty() ? support::Error() : support::Error::New(problem);
}

// Forgets the active scenario; the next platform call loads LUMRA_SIMULATION or the default.
void ResetScenario();

// The built-in scenario's JSON text.
std::string_view DefaultScenarioText();

// Live platform objects: CF objects (dictionaries, strings, numbers, display modes, IOAVService
// objects), io_object_t handles (services, iterators, I2C interfaces) and open I2C connections.
std::size_t LiveObjectCount();
// The same by kind, for assertion messages: "cf=1 io=2 i2c=0".
std::string DescribeLiveObjects();
// Releases and uses of handles that were not live, and closes of libraries not open.
std::size_t MisuseCount();
// dlopen handles not yet closed.
std::size_t OpenLibraryHandles();

// A monitor's counters from the shared state (see docs/simulator.md).
inline support::Result<MonitorCounters> ReadMonitorCounters(std::string_view monitor) {
  support::Result<MonitorCounters> result;
  const std::string problem = detail::ReadMonitorCountersInto(monitor, result.Value);
  if (!problem.empty()) result = {MonitorCounters{}, support::Error::New(problem)};
  return result;
}

// The current value of a monitor's VCP code, as the next Get VCP would report it.
inline support::Result<std::uint16_t> ReadVCPValue(std::string_view monitor, std::uint8_t code) {
  support::Result<std::uint16_t> result;
  const std::string problem = detail::ReadVCPValueInto(monitor, code, result.Value);
  if (!problem.empty()) result = {0, support::Error::New(problem)};
  return result;
}

// Points HOME at a fresh temporary directory for its lifetime, so the monitor state starts
// empty; restores HOME and removes the directory afterwards.
class TemporaryHome {
 public:
  TemporaryHome();
  ~TemporaryHome();
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::optional<std::string> previous_;
};

}  // namespace lumra::sim
