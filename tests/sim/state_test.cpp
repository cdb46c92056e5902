// The shared monitor state: persistence across loads and processes, counted faults consumed
// across worlds, the state file's format, and the in-process fallback without HOME.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

constexpr const char* kStateScenario = R"({
  "av_services": [{"entry_id": 100, "location": "External", "monitor": "m"}],
  "monitors": {"m": {"vcp": {"0x10": {"current": 50, "maximum": 100}},
                     "faults": [{"request": "get", "fault": "not-permitted", "count": 2}]}}
})";

using create_fn = CFTypeRef (*)(CFAllocatorRef, io_service_t);
using transfer_fn = IOReturn (*)(CFTypeRef, uint32_t, uint32_t, void*, uint32_t);

// One write over IOAVService to the proxy with entry ID 100, as a fresh caller would make it.
IOReturn WriteFrame(const std::string& frame) {
  void* library = lumra_sim_dlopen("/System/Library/Frameworks/IOKit.framework/IOKit", RTLD_LAZY);
  auto create =
      reinterpret_cast<create_fn>(lumra_sim_dlsym(library, "IOAVServiceCreateWithService"));
  auto write = reinterpret_cast<transfer_fn>(lumra_sim_dlsym(library, "IOAVServiceWriteI2C"));
  io_service_t proxy = ServiceWithId(100);
  CFTypeRef service = create(nullptr, proxy);
  ByteVector bytes = Hex(frame);
  const IOReturn status =
      write(service, 0x37, bytes[0], bytes.data() + 1, static_cast<uint32_t>(bytes.size() - 1));
  CFRelease(service);
  IOObjectRelease(proxy);
  lumra_sim_dlclose(library);
  return status;
}

constexpr const char* kGet = "51 82 01 10 FD";
constexpr const char* kSet40 = "51 84 03 10 00 28 80";

class StateTest : public SimTest {};

// Two separately loaded worlds sharing one HOME consume one fault count between them.
TEST_F(StateTest, CountedFaultsAreConsumedAcrossWorlds) {
  Use(kStateScenario);
  EXPECT_EQ(WriteFrame(kGet), kIOReturnNotPermitted);
  ResetScenario();
  Use(kStateScenario);
  EXPECT_EQ(WriteFrame(kGet), kIOReturnNotPermitted);
  EXPECT_EQ(WriteFrame(kGet), kIOReturnSuccess);
  EXPECT_EQ(ReadMonitorCounters("m").Value.Faults, 2u);

  // Another HOME is another machine: its monitor starts afresh.
  TemporaryHome other;
  ResetScenario();
  Use(kStateScenario);
  EXPECT_EQ(WriteFrame(kGet), kIOReturnNotPermitted);
}

TEST_F(StateTest, ValuesPersistAcrossLoadsOfTheSameScenarioOnly) {
  Use(kStateScenario);
  ASSERT_EQ(WriteFrame(kSet40), kIOReturnSuccess);
  ResetScenario();
  Use(kStateScenario);
  EXPECT_EQ(ReadVCPValue("m", 0x10).Value, 40);
  // A different scenario text has its own state.
  Use(std::string(kStateScenario) + " ");
  EXPECT_EQ(ReadVCPValue("m", 0x10).Value, 50);
}

TEST_F(StateTest, StateFileRecordsValuesRepliesAndCounters) {
  Use(kStateScenario);
  WriteFrame(kGet);  // faulted
  WriteFrame(kSet40);
  WriteFrame("51 81 0C B2");     // save current settings
  WriteFrame("51 82 01 10 00");  // bad checksum
  std::string file;
  for (const auto& entry :
       std::filesystem::directory_iterator(home_.Path() + "/Library/Caches/lumra/sim")) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".json")) file = entry.path().string();
    EXPECT_EQ(name.find(".tmp."), std::string::npos) << "leftover " << name;
  }
  ASSERT_TRUE(file.starts_with(home_.Path() + "/Library/Caches/lumra/sim/scenario-")) << file;
  std::ifstream state(file);
  const auto json = nlohmann::json::parse(state);
  const auto& m = json.at("monitors").at("m");
  EXPECT_EQ(json.at("format"), 1);
  EXPECT_EQ(m.at("values"), nlohmann::json({{"0x10", 40}}));
  EXPECT_EQ(m.at("saved_values"), nlohmann::json({{"0x10", 40}}));
  EXPECT_EQ(m.at("last_request"), "");
  EXPECT_EQ(m.at("pending_reply"), "");
  EXPECT_EQ(m.at("faults_used"), nlohmann::json({{"0", 1}}));
  EXPECT_EQ(m.at("counters"), nlohmann::json({{"writes", 4},
                                              {"reads", 0},
                                              {"gets", 1},
                                              {"sets", 1},
                                              {"saves", 1},
                                              {"capabilities", 0},
                                              {"faults", 1},
                                              {"ignored", 1}}));
  EXPECT_EQ(m.at("write_times_ns").size(), 4u);
  EXPECT_EQ(m.at("read_times_ns"), nlohmann::json::array());
}

// Processes writing at the same time never lose an update.
TEST_F(StateTest, ConcurrentProcessesLoseNoUpdate) {
  Use(kStateScenario);
  constexpr int kProcesses = 3;
  constexpr int kWrites = 25;
  for (int p = 0; p < kProcesses; ++p) {
    if (fork() == 0) {
      int failures = 0;
      for (int i = 0; i < kWrites; ++i) failures += WriteFrame(kSet40) != kIOReturnSuccess;
      _exit(failures);
    }
  }
  for (int p = 0; p < kProcesses; ++p) {
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto counters = ReadMonitorCounters("m");
  ASSERT_FALSE(counters.Err) << counters.Err.Message();
  EXPECT_EQ(counters.Value.Writes, static_cast<uint64_t>(kProcesses * kWrites));
  EXPECT_EQ(counters.Value.Sets, static_cast<uint64_t>(kProcesses * kWrites));
  // Every process's writes are timed on one clock, in the order they reached the monitor; the
  // latest are kept.
  const std::vector<uint64_t>& times = counters.Value.WriteTimes;
  EXPECT_EQ(times.size(), std::min<std::size_t>(kProcesses * kWrites, kBusTimesKept));
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
}

TEST_F(StateTest, WithoutHomeTheStateLivesInTheProcess) {
  const std::string saved = getenv("HOME");
  unsetenv("HOME");
  Use(kStateScenario);
  EXPECT_EQ(WriteFrame(kSet40), kIOReturnSuccess);
  EXPECT_EQ(ReadVCPValue("m", 0x10).Value, 40);
  setenv("HOME", saved.c_str(), 1);
  EXPECT_EQ(ReadVCPValue("m", 0x10).Value, 50);  // the file state never saw it
}

TEST_F(StateTest, UnusableStateFailsTheTransferAndCorruptStateStartsAfresh) {
  Use(kStateScenario);
  ASSERT_EQ(WriteFrame(kSet40), kIOReturnSuccess);
  std::string file;
  for (const auto& entry :
       std::filesystem::directory_iterator(home_.Path() + "/Library/Caches/lumra/sim")) {
    if (entry.path().extension() == ".json") file = entry.path().string();
  }
  std::ofstream(file) << "{not json";
  EXPECT_EQ(ReadVCPValue("m", 0x10).Value, 50);

  const std::string blocked = home_.Path() + "/blocked";
  std::ofstream(blocked) << "a file where a directory should be";
  setenv("HOME", blocked.c_str(), 1);
  EXPECT_EQ(WriteFrame(kSet40), kIOReturnError);
  setenv("HOME", home_.Path().c_str(), 1);
}

}  // namespace
}  // namespace lumra::sim::testing
