#include "sim/simulator.hpp"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "sim/framework/cf_objects.hpp"
#include "sim/framework/io_objects.hpp"
#include "sim/world/builtin_scenarios.hpp"
#include "sim/world/monitor_state.hpp"
#include "sim/world/world.hpp"
#include "support/environment.hpp"

namespace lumra::sim {

namespace {

struct MonitorLookup {
  WorldPtr World;
  const MonitorSpec* Spec = nullptr;
  std::optional<MonitorRecord> Record;
  std::string Problem;
};

MonitorLookup LookUpMonitor(std::string_view monitor) {
  MonitorLookup lookup;
  lookup.World = CurrentWorld();
  if (!lookup.World) {
    lookup.Problem = "the active scenario is not usable";
    return lookup;
  }
  auto found = lookup.World->Scenario.Monitors.find(monitor);
  if (found == lookup.World->Scenario.Monitors.end()) {
    lookup.Problem = "the scenario has no monitor \"" + std::string(monitor) + "\"";
    return lookup;
  }
  lookup.Spec = &found->second;
  lookup.Record = ReadMonitorRecord(lookup.World->StateKey, std::string(monitor));
  if (!lookup.Record) lookup.Problem = "cannot read the monitor state in " + StateDirectory();
  return lookup;
}

}  // namespace

namespace detail {

std::string UseScenarioTextProblem(std::string_view json, std::string_view sourceName) {
  return UseScenario(json, sourceName);
}

std::string ReadMonitorCountersInto(std::string_view monitor, MonitorCounters& counters) {
  const MonitorLookup lookup = LookUpMonitor(monitor);
  if (lookup.Problem.empty()) counters = lookup.Record->Counters;
  return lookup.Problem;
}

std::string ReadVCPValueInto(std::string_view monitor, std::uint8_t code, std::uint16_t& value) {
  const MonitorLookup lookup = LookUpMonitor(monitor);
  if (!lookup.Problem.empty()) return lookup.Problem;
  if (!lookup.Spec->Vcp.contains(code)) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", code);
    return "monitor \"" + std::string(monitor) + "\" has no VCP code " + hex;
  }
  value = CurrentValue(*lookup.Spec, *lookup.Record, code);
  return "";
}

}  // namespace detail

void ResetScenario() { ForgetWorld(); }

std::string_view DefaultScenarioText() { return DefaultScenarioJson(); }

std::size_t LiveObjectCount() {
  return LiveCfObjectCount() + LiveIoObjectCount() + LiveConnectionCount();
}

std::string DescribeLiveObjects() {
  return "cf=" + std::to_string(LiveCfObjectCount()) +
         " io=" + std::to_string(LiveIoObjectCount()) +
         " i2c=" + std::to_string(LiveConnectionCount());
}

TemporaryHome::TemporaryHome() {
  // An empty HOME is no home to every reader, so it is put back as unset.
  if (std::string home = support::Getenv("HOME"); !home.empty()) previous_ = std::move(home);
  const std::string tmp = support::Getenv("TMPDIR");
  std::string pattern = (tmp.empty() ? std::string("/tmp") : tmp) + "/lumra-sim-home-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  ::setenv("HOME", path_.c_str(), 1);
}

TemporaryHome::~TemporaryHome() {
  if (previous_) {
    ::setenv("HOME", previous_->c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace lumra::sim
