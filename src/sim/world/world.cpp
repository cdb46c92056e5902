#include "sim/world/world.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "sim/world/builtin_scenarios.hpp"
#include "sim/world/release_check.hpp"
#include "support/environment.hpp"
#include "support/no_destructor.hpp"

namespace lumra::sim {
namespace {

constexpr const char* kScenarioVariable = "LUMRA_SIMULATION";
// The value of LUMRA_SIMULATION that picks the built-in Apple silicon scenario, not a file.
constexpr std::string_view kAppleSiliconName = "apple-silicon";

struct ActiveWorld {
  std::mutex Mutex;
  bool Loaded = false;
  WorldPtr World;  // null after a failed load
  bool Reported = false;
};

ActiveWorld& Active() {
  static support::NoDestructor<ActiveWorld> active;
  return *active;
}

std::string ProblemAbout(std::string_view source, const std::string& problem) {
  return "scenario \"" + std::string(source) + "\": " + problem;
}

std::optional<std::string> ReadFile(const char* path, std::string& problem) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    problem = std::string("cannot read the file: ") + std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) {
    problem = std::string("cannot read the file: ") + std::strerror(error);
    return std::nullopt;
  }
  return text;
}

// Builds a world from text, or explains why not.
WorldPtr BuildWorld(std::string_view text, std::string_view source, std::string& problem) {
  std::string detail;
  auto scenario = ParseScenario(text, detail);
  if (!scenario) {
    problem = ProblemAbout(source, detail);
    return nullptr;
  }
  return std::make_shared<const World>(std::move(*scenario), StateKeyFor(text));
}

// Unset, the variable picks the built-in scenario; set, even to nothing, it names a file. Only
// here does the simulator need to tell the two apart, which support::Getenv does not.
bool ScenarioVariableIsSet() { return std::getenv(kScenarioVariable) != nullptr; }

WorldPtr LoadFromEnvironment(std::string& problem) {
  if (!ScenarioVariableIsSet()) return BuildWorld(DefaultScenarioJson(), "built-in", problem);
  const std::string path = support::Getenv(kScenarioVariable);
  if (path == kAppleSiliconName) return BuildWorld(AppleSiliconScenarioJson(), path, problem);
  std::string detail;
  const auto text = ReadFile(path.c_str(), detail);
  if (!text) {
    problem = ProblemAbout(path, detail);
    return nullptr;
  }
  return BuildWorld(*text, path, problem);
}

}  // namespace

const DisplaySpec* World::FindDisplay(std::uint32_t id) const {
  for (const auto& display : Scenario.Displays) {
    if (display.Id == id) return &display;
  }
  return nullptr;
}

WorldPtr CurrentWorld() {
  ArmReleaseCheckOnce();
  ActiveWorld& active = Active();
  std::lock_guard lock(active.Mutex);
  if (!active.Loaded) {
    std::string problem;
    active.World = LoadFromEnvironment(problem);
    active.Loaded = true;
    if (!active.World && !active.Reported) {
      active.Reported = true;
      std::fprintf(stderr, "lumra simulator: %s\n", problem.c_str());
    }
  }
  return active.World;
}

std::string UseScenario(std::string_view text, std::string_view sourceName) {
  std::string problem;
  WorldPtr world = BuildWorld(text, sourceName, problem);
  ActiveWorld& active = Active();
  std::lock_guard lock(active.Mutex);
  active.World = world;
  active.Loaded = true;
  return problem;
}

void ForgetWorld() {
  ActiveWorld& active = Active();
  std::lock_guard lock(active.Mutex);
  active.World.reset();
  active.Loaded = false;
}

std::string StateKeyFor(std::string_view text) {
  if (text == DefaultScenarioJson()) return "default";
  if (text == AppleSiliconScenarioJson()) return std::string(kAppleSiliconName);
  std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3u;
  }
  char key[40];
  std::snprintf(key, sizeof key, "scenario-%016llx", static_cast<unsigned long long>(hash));
  return key;
}

}  // namespace lumra::sim
