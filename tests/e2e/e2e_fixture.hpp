#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/child_process.hpp"

namespace lumra::testing {

// How many rounds a long test runs: `full`, or fewer when the environment variable `name` asks
// for them (the sanitizer presets do, where each process costs far more).
inline int RoundsWanted(const char* name, int full) {
  const char* text = std::getenv(name);
  const int wanted = text != nullptr ? std::atoi(text) : 0;
  return wanted > 0 && wanted < full ? wanted : full;
}

// Each test gets its own HOME, so lock files and the simulated monitors' state start afresh.
class LumraBinary : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumra-e2e-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  static std::string scenario(const std::string& name) {
    return std::string(LUMRA_SCENARIO_DIR) + "/" + name;
  }

  ProcessResult run(const std::vector<std::string>& arguments,
                    const std::string& scenarioName = "desk.json",
                    EnvironmentChanges extra = {}) const {
    return runProcess(LUMRA_BINARY, arguments, environment(scenarioName, std::move(extra)));
  }

  EnvironmentChanges environment(const std::string& scenarioName = "desk.json",
                                 EnvironmentChanges extra = {}) const {
    EnvironmentChanges environment{
        {"HOME", home_},
        {"LUMRA_SIMULATION", scenario(scenarioName)},
        {"LC_ALL", std::nullopt},
        {"LANG", std::nullopt},
        // Every command must release its platform objects and descriptors.
        {"LUMRA_SIM_CHECK_RELEASES", "1"}};
    for (auto& [name, value] : extra) environment[name] = value;
    return environment;
  }

  const std::string& home() const { return home_; }
  std::filesystem::path cacheDirectory() const {
    return std::filesystem::path(home_) / "Library/Caches/lumra";
  }

 private:
  std::string home_;
};

}  // namespace lumra::testing
