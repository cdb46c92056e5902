// IOAVService through the dynamic loader: chip addresses, the Get VCP checksum rule, padded
// reads, crossed conversations, and the framework switches of a scenario.
#include <gtest/gtest.h>

#include <string>

#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

constexpr const char* kIOKit = "/System/Library/Frameworks/IOKit.framework/IOKit";
constexpr const char* kCoreDisplay = "/System/Library/Frameworks/CoreDisplay.framework/CoreDisplay";

constexpr const char* kIoavScenario = R"({
  "framebuffers": [{"entry_id": 1, "path": "IOService:/fb@1"}],
  "av_services": [
    {"entry_id": 100, "location": "External", "monitor": "m"},
    {"entry_id": 101, "location": "External", "monitor": "m"},
    {"entry_id": 102, "location": "External", "monitor": "m", "chip": "0xB7"},
    {"entry_id": 103, "location": "External"},
    {"entry_id": 104, "location": "External", "monitor": "m", "create_fails": true}
  ],
  "monitors": {"m": {"vcp": {"0x10": {"current": 50, "maximum": 100},
                             "0x12": {"current": 70, "maximum": 100}},
                     "faults": [{"request": "get", "code": "0x12", "fault": "busy", "count": 1}]}}
})";

using create_fn = CFTypeRef (*)(CFAllocatorRef, io_service_t);
using transfer_fn = IOReturn (*)(CFTypeRef, uint32_t, uint32_t, void*, uint32_t);

class IoavTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Use(kIoavScenario);
    library_ = lumra_sim_dlopen(kIOKit, RTLD_LAZY | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr);
    create_ =
        reinterpret_cast<create_fn>(lumra_sim_dlsym(library_, "IOAVServiceCreateWithService"));
    write_ = reinterpret_cast<transfer_fn>(lumra_sim_dlsym(library_, "IOAVServiceWriteI2C"));
    read_ = reinterpret_cast<transfer_fn>(lumra_sim_dlsym(library_, "IOAVServiceReadI2C"));
    ASSERT_TRUE(create_ && write_ && read_);
  }
  void TearDown() override {
    lumra_sim_dlclose(library_);
    SimTest::TearDown();
  }

  CFTypeRef Create(uint64_t entryId) {
    io_service_t proxy = ServiceWithId(entryId);
    CFTypeRef service = create_(kCFAllocatorDefault, proxy);
    IOObjectRelease(proxy);
    return service;
  }
  // Writes a frame the way the bridge does: its first byte as the data address.
  IOReturn Write(CFTypeRef service, uint32_t chip, ByteVector frame) {
    return write_(service, chip, frame[0], frame.data() + 1,
                  static_cast<uint32_t>(frame.size() - 1));
  }
  std::string Read(CFTypeRef service, uint32_t chip, uint32_t length) {
    ByteVector buffer(length, 0xEE);
    if (read_(service, chip, 0, buffer.data(), length) != kIOReturnSuccess) return "failed";
    return Spaced(buffer);
  }

  void* library_ = nullptr;
  create_fn create_ = nullptr;
  transfer_fn write_ = nullptr;
  transfer_fn read_ = nullptr;
};

TEST_F(IoavTest, ObjectsExistOnlyForProxies) {
  const std::size_t before = LiveObjectCount();
  CFTypeRef service = Create(100);
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(LiveObjectCount(), before + 1);
  CFRelease(service);
  EXPECT_EQ(Create(1), nullptr);    // a framebuffer
  EXPECT_EQ(Create(104), nullptr);  // create_fails
  EXPECT_EQ(LiveObjectCount(), before);
}

TEST_F(IoavTest, DisplayChipGetVcpCarriesTheChecksumWithoutTheSource) {
  CFTypeRef service = Create(100);
  const struct {
    const char* frame;
    const char* reply;
  } cases[] = {
      {"51 82 01 10 FD", "6E 88 02 00 10 00 00 64 00 32 F2 00"},
      {"51 82 01 10 AC", "6E 80 BE 00 00 00 00 00 00 00 00 00"},     // standard checksum: ignored
      {"51 83 F3 00 00 4F", "6E 83 E3 00 00 5E 00 00 00 00 00 00"},  // others: standard
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Write(service, 0x37, Hex(c.frame)), kIOReturnSuccess);
    EXPECT_EQ(Read(service, 0x37, 12), c.reply) << c.frame;
  }
  CFRelease(service);
}

TEST_F(IoavTest, ConverterChipTakesStandardFramesAndOtherChipsAreAbsent) {
  CFTypeRef converter = Create(102);
  EXPECT_EQ(Write(converter, 0x37, Hex("51 82 01 10 AC")), kIOReturnNoDevice);
  EXPECT_EQ(Read(converter, 0x37, 12), "failed");
  EXPECT_EQ(Write(converter, 0xB7, Hex("51 82 01 10 AC")), kIOReturnSuccess);
  EXPECT_EQ(Read(converter, 0xB7, 12), "6E 88 02 00 10 00 00 64 00 32 F2 00");
  CFRelease(converter);

  CFTypeRef empty = Create(103);
  EXPECT_EQ(Write(empty, 0x37, Hex("51 82 01 10 FD")), kIOReturnNoDevice);
  CFRelease(empty);
}

// Two unlocked conversations on one monitor: the read answers whichever request came last.
TEST_F(IoavTest, InterleavedConversationsGetCrossedReplies) {
  CFTypeRef first = Create(100);
  CFTypeRef second = Create(101);
  ASSERT_EQ(Write(first, 0x37, Hex("51 82 01 10 FD")), kIOReturnSuccess);
  // The 0x12 get fails once (busy), then lands.
  EXPECT_EQ(Write(second, 0x37, Hex("51 82 01 12 FF")), kIOReturnBusy);
  EXPECT_EQ(Read(first, 0x37, 11), "6E 88 02 00 10 00 00 64 00 32 F2");
  ASSERT_EQ(Write(second, 0x37, Hex("51 82 01 12 FF")), kIOReturnSuccess);
  EXPECT_EQ(Read(first, 0x37, 11), "6E 88 02 00 12 00 00 64 00 46 84");
  CFRelease(first);
  CFRelease(second);
}

TEST_F(IoavTest, FrameworkSwitchesTakeLibrariesAndEntryPointsAway) {
  const struct {
    const char* frameworks;
    bool ioKitOpens;
    bool readFound;
    bool coreDisplayFound;
  } cases[] = {
      {R"({})", true, true, true},
      {R"({"ioav": false})", false, false, true},
      {R"({"ioav": ["IOAVServiceReadI2C"]})", true, false, true},
      {R"({"core_display": false})", true, true, false},
      {R"({"core_display": ["CoreDisplay_DisplayCreateInfoDictionary"]})", true, true, false},
  };
  for (const auto& c : cases) {
    Use(std::string(R"({"frameworks": )") + c.frameworks + "}");
    void* ioKit = lumra_sim_dlopen(kIOKit, RTLD_LAZY);
    EXPECT_EQ(ioKit != nullptr, c.ioKitOpens) << c.frameworks;
    EXPECT_EQ(lumra_sim_dlsym(ioKit, "IOAVServiceReadI2C") != nullptr, c.readFound) << c.frameworks;
    void* coreDisplay = lumra_sim_dlopen(kCoreDisplay, RTLD_LAZY);
    EXPECT_EQ(lumra_sim_dlsym(coreDisplay, "CoreDisplay_DisplayCreateInfoDictionary") != nullptr,
              c.coreDisplayFound)
        << c.frameworks;
    if (ioKit != nullptr) lumra_sim_dlclose(ioKit);
    if (coreDisplay != nullptr) lumra_sim_dlclose(coreDisplay);
  }
  EXPECT_EQ(lumra_sim_dlopen("/usr/lib/libSystem.B.dylib", RTLD_LAZY), nullptr);
  EXPECT_EQ(lumra_sim_dlsym(library_, "CoreDisplay_DisplayCreateInfoDictionary"), nullptr);
  EXPECT_EQ(OpenLibraryHandles(), 1u);  // the fixture's own
}

TEST_F(IoavTest, TimebaseComesFromTheScenario) {
  mach_timebase_info_data_t info = {};
  ASSERT_EQ(mach_timebase_info(&info), KERN_SUCCESS);
  EXPECT_EQ(info.numer, 1u);
  EXPECT_EQ(info.denom, 1u);
  Use(R"({"timebase": {"numer": 125, "denom": 3}})");
  ASSERT_EQ(mach_timebase_info(&info), KERN_SUCCESS);
  EXPECT_EQ(info.numer, 125u);
  EXPECT_EQ(info.denom, 3u);
  Use(R"({"timebase": {"fails": true}})");
  EXPECT_NE(mach_timebase_info(&info), KERN_SUCCESS);
}

}  // namespace
}  // namespace lumra::sim::testing
