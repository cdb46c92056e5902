// Profiles: save, then restore, on the built-in scenarios and real desks; a profile that is not
// valid touches no monitor; an interrupted save leaves the old file as it was.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "e2e/child_process.hpp"
#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

using Json = nlohmann::ordered_json;

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// Every value of the profile changed to another valid one (mute flips between its two values).
Json Changed(Json profile) {
  for (Json& monitor : profile["monitors"]) {
    for (Json& value : monitor["values"]) {
      const int old = value["value"].get<int>();
      value["value"] = value["feature"] == "mute" ? 3 - old : old ^ 1;
    }
  }
  return profile;
}

std::size_t SettingCount(const Json& profile) {
  std::size_t count = 0;
  for (const Json& monitor : profile["monitors"]) count += monitor["values"].size();
  return count;
}

class Profiles : public LumraBinary {
 protected:
  std::string file(const std::string& name) const { return home() + "/" + name; }
};

struct Machine {
  const char* name;
  std::optional<std::string> simulation;  // LUMRA_SIMULATION; none: the built-in scenario
};

// save, change every value, restore: the monitors hold the saved values again.
TEST_F(Profiles, RestoreReturnsEverySavedValue) {
  const Machine machines[] = {
      {"default", std::nullopt},
      {"apple-silicon", "apple-silicon"},
      {"two dells", std::string(LUMRA_REAL_DESKS_DIR) + "/002-m1pro-two-dells.json"},
      {"three providers",
       std::string(LUMRA_REAL_DESKS_DIR) + "/011-mac-studio-three-providers.json"},
  };
  for (const Machine& machine : machines) {
    SCOPED_TRACE(machine.name);
    const EnvironmentChanges simulation{{"LUMRA_SIMULATION", machine.simulation}};
    const std::string saved = file(std::string(machine.name) + ".json");
    const std::string changed = file(std::string(machine.name) + "-changed.json");
    const std::string again = file(std::string(machine.name) + "-again.json");

    const auto save = run({"--unsafe", "save", "all", saved}, "", simulation);
    ASSERT_EQ(save.status, 0) << save.err;
    const Json profile = Json::parse(ReadText(saved));
    ASSERT_GT(SettingCount(profile), 0u);
    WriteText(changed, Changed(profile).dump());

    const auto change = run({"--json", "--unsafe", "restore", changed}, "", simulation);
    ASSERT_EQ(change.status, 0) << change.err;
    std::size_t written = 0;
    for (const Json& monitor : Json::parse(change.out)) written += monitor["written"].size();
    EXPECT_EQ(written, SettingCount(profile));

    const auto restore = run({"--unsafe", "restore", saved}, "", simulation);
    EXPECT_EQ(restore.status, 0) << restore.err;
    ASSERT_EQ(run({"--unsafe", "save", "all", again}, "", simulation).status, 0);
    EXPECT_EQ(Json::parse(ReadText(again)), profile);
  }
}

// A file that is not a valid profile is refused before any monitor is written.
TEST_F(Profiles, InvalidProfileTouchesNoMonitor) {
  const std::string good = file("good.json");
  ASSERT_EQ(run({"save", "0", good}).status, 0);
  const Json profile = Json::parse(ReadText(good));
  const auto edited = [&profile](const std::function<void(Json&)>& edit) {
    Json copy = profile;
    edit(copy);
    return copy.dump();
  };
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"not JSON", ReadText(good).substr(0, 40)},
      {"future version", edited([](Json& p) { p["version"] = 2; })},
      {"unknown feature",
       edited([](Json& p) { p["monitors"][0]["values"][0]["feature"] = "gamma"; })},
      {"value out of range",
       edited([](Json& p) { p["monitors"][0]["values"][0]["value"] = 70000; })},
  };
  for (const auto& c : cases) {
    const std::string path = file("bad.json");
    WriteText(path, c.text);
    const auto result = run({"restore", path, "all"});
    EXPECT_EQ(result.status, 2) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_TRUE(result.err.starts_with("invalid profile " + path + ": ")) << result.err;
  }
  const SimulatedState state(home(), scenario("desk.json"));
  EXPECT_EQ(state.Counters("left").Sets, 0u);
  EXPECT_EQ(state.Counters("right").Sets, 0u);
}

// A monitor of the profile that is not there fails on its own; the others are restored.
TEST_F(Profiles, AbsentMonitorFailsAlone) {
  const std::string path = file("desk.json");
  ASSERT_EQ(run({"save", "all", path}).status, 0);
  Json profile = Json::parse(ReadText(path));
  ASSERT_EQ(profile["monitors"].size(), 2u);
  profile["monitors"][1]["id"] = "darwin:0000:0000:00000000";
  WriteText(path, profile.dump());

  const auto result = run({"--json", "restore", path});
  EXPECT_EQ(result.status, 1);
  const Json restored = Json::parse(result.out);
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_EQ(restored[0]["monitor"], profile["monitors"][0]["id"]);
  EXPECT_EQ(restored[0]["written"].size(), profile["monitors"][0]["values"].size());
  const Json failure = Json::parse(result.err);
  EXPECT_EQ(failure["category"], "not-found-or-hotplug");
  EXPECT_EQ(failure["monitor"], "darwin:0000:0000:00000000");
}

// A profile of one monitor applies to another, such as an identical twin.
TEST_F(Profiles, OneMonitorProfileAppliesToAnother) {
  const std::string path = file("one.json");
  ASSERT_EQ(run({"save", "0", path}).status, 0);
  ASSERT_EQ(run({"set", "0", "brightness", "7"}).status, 0);
  const auto result = run({"restore", path, "1"});
  EXPECT_EQ(result.status, 0) << result.err;
  const auto read = run({"--json", "get", "1", "brightness"});
  const Json profile = Json::parse(ReadText(path));
  for (const Json& value : profile["monitors"][0]["values"]) {
    if (value["feature"] == "brightness") {
      EXPECT_EQ(Json::parse(read.out)["current"], value["value"]);
    }
  }
}

// After wake: restore waits until its monitors answer, writes, then has each store its settings.
TEST_F(Profiles, RestoreWaitsForItsMonitorsAndStoresTheirSettings) {
  const Json listed = Json::parse(run({"--json", "list"}, "wake.json").out);
  Json profile = {{"format", "lumra-profile"}, {"version", 1}, {"monitors", Json::array()}};
  for (int index : {0, 1}) {
    profile["monitors"].push_back(
        {{"id", listed[index]["id"]},
         {"name", listed[index]["name"]},
         {"values", {{{"feature", "brightness"}, {"code", 16}, {"value", 30}}}}});
  }
  const std::string path = file("wake.json");
  WriteText(path, profile.dump());
  const auto result =
      run({"--wait", "--save-settings", "--timeout", "10s", "restore", path}, "wake.json");
  EXPECT_EQ(result.status, 0) << result.err;
  const SimulatedState state(home(), scenario("wake.json"));
  for (const char* monitor : {"waking-get", "waking-set"}) {
    EXPECT_EQ(state.Value(monitor, 0x10), 30) << monitor;
    EXPECT_EQ(state.Counters(monitor).Sets, 1u) << monitor;
    EXPECT_EQ(state.Counters(monitor).Saves, 1u) << monitor;
  }
}

// Killed while it reads, save leaves the file it was to replace as it was.
TEST_F(Profiles, InterruptedSaveKeepsTheOldFile) {
  const std::string path = file("slow.json");
  WriteText(path, "old\n");
  Child save(LUMRA_BINARY, {"--timeout", "60s", "save", "all", path}, environment("slow.json"));
  ASSERT_TRUE(save.Started());
  // Its capabilities come a byte per fragment: the save is still reading long after this.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  save.Kill(SIGKILL);
  EXPECT_EQ(save.Finish().status, 128 + SIGKILL);
  EXPECT_EQ(ReadText(path), "old\n");
  for (const auto& entry : std::filesystem::directory_iterator(home())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("slow.json.tmp"));
  }
}

}  // namespace
}  // namespace lumra::testing
