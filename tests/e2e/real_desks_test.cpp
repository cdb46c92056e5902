// The desks of real Macs (docs/scenarios/real-desks/): every listed monitor answers list, set,
// get and capabilities on its own port, and keeps its ID when the same desk comes back with its
// services in another order and with new registry entry IDs, as after a replug; a port with two
// framings takes writes in the one that answered.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"

namespace lumra::testing {
namespace {

using Json = nlohmann::ordered_json;

struct Desk {
  const char* file;
  // "ID\tNAME\tCONNECTOR" of each listed monitor, in list order.
  std::vector<std::string> listed;
};

const Desk kDesks[] = {
    {"002-m1pro-two-dells.json",
     {"darwin:10AC:D0F8:3042454C\tDELL P2421DC\tDisplayPort",
      "darwin:10AC:D0F8:3047414C\tDELL P2421DC\tDisplayPort"}},
    {"005-m1max-four-samsungs.json",
     {"darwin:path:b069668563da\tS24F350\t-", "darwin:path:f3174d73a855\tS24F350\t-",
      "darwin:path:c1282f9cb426\tS24F350\t-", "darwin:path:ad3e5e5a72f2\tS24F350\t-"}},
    {"007-m2-macmini-hdmi-disp0.json", {"darwin:10AC:D067:30345453\tDELL U2715H\tHDMI"}},
    {"008-m3-laptop-iomobileframebuffershim.json",
     {"darwin:1E6D:774E:00028993\tLG HDR WQHD+\tDisplayPort"}},
    {"010-three-externals-dead-proxy-first.json",
     {"darwin:0E58:ED00:01010101\tXENEON EDGE\t-", "darwin:path:b069668563da\tBenQ RD280UA\t-",
      "darwin:path:f3174d73a855\tBenQ RD280UA\t-"}},
    {"011-mac-studio-three-providers.json",
     {"darwin:09D1:806F:00005445\tBenQ EW3270U\tDisplayPort",
      "darwin:09D1:7F27:000015D3\tBenQ XL2730Z\tDisplayPort",
      "darwin:0469:2781:00010203\tASUS PG349Q\tHDMI"}},
    {"012-mac-mini-m4pro-ps190-hdmi-and-dp.json",
     {"darwin:1E6D:7750:12345678\tLG HDR QHD\tDisplayPort",
      "darwin:4C2D:7170:4354504C\tOdyssey G75F\tHDMI"}},
    {"101-intel-panel-unconnected-two-samsungs.json",
     {"darwin:path:40948ce1d3d2\tS27C750\t-", "darwin:path:933a3bf61e7d\tS27C750\t-"}},
    {"900-third-leaf-pipe-class.json", {"darwin:1E6D:774E:00028993\tLG HDR WQHD+\tDisplayPort"}},
    {"901-ps190-port-answering-standard-framing.json",
     {"darwin:4C2D:7170:4354504C\tOdyssey G75F\tHDMI"}},
};

void PrintTo(const Desk& desk, std::ostream* out) { *out << desk.file; }

std::string deskPath(const std::string& file) {
  return std::string(LUMRA_REAL_DESKS_DIR) + "/" + file;
}

// "ID\tNAME\tCONNECTOR" of each row of the list table.
std::vector<std::string> listedRows(const std::string& table) {
  std::vector<std::string> rows;
  std::istringstream lines(table);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::istringstream split(line);
    for (std::string cell; std::getline(split, cell, '\t');) cells.push_back(cell);
    if (cells.size() == 6) rows.push_back(cells[1] + "\t" + cells[2] + "\t" + cells[5]);
  }
  return rows;
}

std::uint64_t entryId(const Json& value) {
  return value.is_string() ? std::stoull(value.get<std::string>(), nullptr, 0)
                           : value.get<std::uint64_t>();
}

// The same desk after a replug: every list of services in reverse order, every registry
// entry ID new.
std::string replugged(const std::string& text) {
  Json desk = Json::parse(text);
  for (const char* services : {"displays", "framebuffers", "av_services", "mobile_framebuffers"}) {
    if (!desk.contains(services)) continue;
    Json& list = desk[services];
    std::reverse(list.begin(), list.end());
    for (Json& service : list) {
      if (service.contains("entry_id") && std::string(services) != "displays") {
        service["entry_id"] = entryId(service["entry_id"]) + 0x10000;
      }
    }
  }
  return desk.dump(2);
}

class RealDesks : public LumraBinary, public ::testing::WithParamInterface<Desk> {
 protected:
  // The whole desk read at once, each monitor on its own thread: the same values, in list order.
  void expectEveryMonitorAtOnce(const EnvironmentChanges& desk,
                                const std::vector<std::string>& rows, int firstValue) {
    const ProcessResult every = run({"get", "all", "brightness"}, "", desk);
    EXPECT_EQ(every.status, 0) << every.err;
    std::istringstream lines(every.out);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      std::string line;
      std::getline(lines, line);
      const std::string id = rows[i].substr(0, rows[i].find('\t'));
      const std::string value = std::to_string(firstValue + static_cast<int>(i));
      EXPECT_TRUE(line.starts_with(id + " (brightness / 0x10): " + value + " of ")) << line;
    }
  }

  // Lists the desk in `scenarioFile`, then writes a brightness of its own to every monitor
  // and reads every one back: a monitor reached through another's port reads the wrong value.
  std::vector<std::string> listAndControl(const std::string& scenarioFile, int firstValue,
                                          bool capabilities) {
    const EnvironmentChanges desk{{"LUMRA_SIMULATION", scenarioFile}};
    const ProcessResult list = run({"list"}, "", desk);
    EXPECT_EQ(list.status, 0) << list.err;
    const std::vector<std::string> rows = listedRows(list.out);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string id = rows[i].substr(0, rows[i].find('\t'));
      const std::string value = std::to_string(firstValue + static_cast<int>(i));
      const ProcessResult set = run({"set", id, "brightness", value}, "", desk);
      EXPECT_EQ(set.status, 0) << id << ": " << set.err;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string id = rows[i].substr(0, rows[i].find('\t'));
      const ProcessResult get = run({"get", id, "brightness"}, "", desk);
      EXPECT_EQ(get.status, 0) << id << ": " << get.err;
      EXPECT_NE(get.out.find("): " + std::to_string(firstValue + static_cast<int>(i)) + " of "),
                std::string::npos)
          << get.out;
      if (!capabilities) continue;
      const ProcessResult caps = run({"capabilities", id}, "", desk);
      EXPECT_EQ(caps.status, 0) << id << ": " << caps.err;
      EXPECT_TRUE(caps.out.starts_with("(prot(monitor)type(lcd)model(")) << caps.out;
    }
    expectEveryMonitorAtOnce(desk, rows, firstValue);
    return rows;
  }
};

TEST_P(RealDesks, EveryMonitorOnItsOwnPortAndItsIDAfterAReplug) {
  const Desk& desk = GetParam();
  EXPECT_EQ(listAndControl(deskPath(desk.file), 10, true), desk.listed);

  std::ifstream original(deskPath(desk.file));
  std::stringstream text;
  text << original.rdbuf();
  const std::string replug = home() + "/replugged.json";
  std::ofstream(replug) << replugged(text.str());
  std::vector<std::string> after = listAndControl(replug, 40, false);
  std::vector<std::string> before = desk.listed;
  std::sort(after.begin(), after.end());
  std::sort(before.begin(), before.end());
  EXPECT_EQ(after, before);
}

// The framing each command found on a PS190-labelled port, kept beside the lock files: a write
// with nothing remembered settles it with one Get VCP, the next write reads nothing, and a
// remembered framing that no longer answers is found again by the read of an adjustment. A port
// whose framing is settled leaves no file.
TEST_F(LumraBinary, WritesFollowTheFramingThatAnswered) {
  const std::string g75f = "darwin:4C2D:7170:4354504C";
  const std::string ps190Port = "ddc-0000000100000b47.framing";
  const struct {
    const char* name;
    const char* desk;
    const char* remembered;  // the file before the commands; null: none
    EnvironmentChanges environment;
    std::vector<std::vector<std::string>> commands;
    int brightness;
    std::uint64_t gets, sets;
    const char* rememberedAfter;  // null: no file
  } cases[] = {
      {"901: set, set",
       "901-ps190-port-answering-standard-framing.json",
       nullptr,
       {},
       {{"set", g75f, "brightness", "30"}, {"set", g75f, "brightness", "31"}},
       31,
       1,
       2,
       "standard\n"},
      {"901: garbage remembered",
       "901-ps190-port-answering-standard-framing.json",
       "ps19",
       {},
       {{"set", g75f, "brightness", "30"}},
       30,
       1,
       1,
       "standard\n"},
      {"901: framing forced",
       "901-ps190-port-answering-standard-framing.json",
       nullptr,
       {{"LUMRA_IOAV_FRAMING", "standard"}},
       {{"set", g75f, "brightness", "30"}},
       30,
       0,
       1,
       nullptr},
      {"012: the other framing stopped answering",
       "012-mac-mini-m4pro-ps190-hdmi-and-dp.json",
       "standard\n",
       {},
       {{"adjust", g75f, "brightness", "-5"}},
       45,
       1,
       1,
       "ps190\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(cacheDirectory());
    const std::filesystem::path locks = cacheDirectory() / "locks";
    if (c.remembered != nullptr) {
      std::filesystem::create_directories(locks);
      std::ofstream(locks / ps190Port) << c.remembered;
    }
    EnvironmentChanges environment = c.environment;
    environment["LUMRA_SIMULATION"] = deskPath(c.desk);
    for (const auto& command : c.commands) {
      const ProcessResult result = run(command, "", environment);
      EXPECT_EQ(result.status, 0) << result.err;
    }
    const SimulatedState state(home(), deskPath(c.desk));
    EXPECT_EQ(state.Value("odyssey-g75f", 0x10), c.brightness);
    const sim::MonitorCounters counters = state.Counters("odyssey-g75f");
    EXPECT_EQ(counters.Gets, c.gets);
    EXPECT_EQ(counters.Sets, c.sets);
    std::ifstream file(locks / ps190Port);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(file.is_open() ? text.str() : "(none)",
              c.rememberedAfter != nullptr ? c.rememberedAfter : "(none)");
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealDesks, ::testing::ValuesIn(kDesks),
                         [](const ::testing::TestParamInfo<Desk>& info) {
                           std::string name = std::string(info.param.file).substr(0, 3);
                           return "desk_" + name;
                         });

}  // namespace
}  // namespace lumra::testing
