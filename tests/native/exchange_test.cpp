// One DDC/CI exchange over each platform path against simulated monitors: the IOFramebuffer bus
// loop and resend, the IOAVService stages and checksum rule, reply lengths, the waits
// (measured), bad arguments, and two unlocked exchanges whose replies cross.
// They need the stand-in platform, which exists only where the system frameworks do not.
#if !defined(__APPLE__)

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "bridge_test_support.hpp"
#include "platform/native/ioav_framing.hpp"

namespace lumra::native::testing {
namespace {

constexpr uint64_t kSingleBus = 256;
constexpr uint64_t kThirdBusIdle = 512;  // bus 0 fails, bus 1: m, bus 2: other
constexpr uint64_t kAllBusesFail = 768;
constexpr uint64_t kNoBus = 1024;
constexpr uint64_t kBusCountFails = 1280;
constexpr uint64_t kRejectsDdcciReply = 1536;
constexpr uint64_t kFirstOpenFails = 1792;  // bus 0: open fails, bus 1: other

constexpr uint64_t kExternal = 4096;
constexpr uint64_t kExternalOnParent = 4097;
constexpr uint64_t kEmbedded = 4098;
constexpr uint64_t kEmbeddedOnParent = 4099;
constexpr uint64_t kLowerCaseExternal = 4100;
constexpr uint64_t kNoLocation = 4101;
constexpr uint64_t kCreateFails = 4102;
constexpr uint64_t kNoMonitor = 4103;
constexpr uint64_t kConverter = 4104;  // monitor m behind chip 0xB7
constexpr uint64_t kSecondExternal = 4105;

constexpr uint64_t kNoSuchEntry = 0xDEAD;

// `tag` becomes the description, so every case gets its own fresh monitor state.
std::string ExchangeScenario(const std::string& tag, const std::string& faults = "[]",
                             const std::string& more = "") {
  return R"json({"description": ")json" + tag + R"json(",
  "framebuffers": [
    {"entry_id": 256, "path": "IOService:/t/fb256", "buses": [{"monitor": "m"}]},
    {"entry_id": 512, "path": "IOService:/t/fb512",
     "buses": [{"status": "0xE00002C0"}, {"monitor": "m"}, {"monitor": "other"}]},
    {"entry_id": 768, "path": "IOService:/t/fb768",
     "buses": [{"status": "0xE00002C0"}, {"status": "0xE00002D5"}, {"status": "0xE00002ED"}]},
    {"entry_id": 1024, "path": "IOService:/t/fb1024", "buses": []},
    {"entry_id": 1280, "path": "IOService:/t/fb1280", "buses": [{"monitor": "m"}],
     "i2c_count_status": "0xE00002BC"},
    {"entry_id": 1536, "path": "IOService:/t/fb1536",
     "buses": [{"monitor": "m", "reject_ddcci_reply": true}]},
    {"entry_id": 1792, "path": "IOService:/t/fb1792",
     "buses": [{"monitor": "m", "open_status": "0xE00002C1"}, {"monitor": "other"}]}
  ],
  "av_services": [
    {"entry_id": 4096, "location": "External", "monitor": "m"},
    {"entry_id": 4097, "location": "External", "location_on_parent": true, "monitor": "m"},
    {"entry_id": 4098, "location": "Embedded", "monitor": "m"},
    {"entry_id": 4099, "location": "Embedded", "location_on_parent": true, "monitor": "m"},
    {"entry_id": 4100, "location": "external", "monitor": "m"},
    {"entry_id": 4101, "monitor": "m"},
    {"entry_id": 4102, "location": "External", "monitor": "m", "create_fails": true},
    {"entry_id": 4103, "location": "External"},
    {"entry_id": 4104, "location": "External", "monitor": "m", "chip": "0xB7"},
    {"entry_id": 4105, "location": "External", "monitor": "m"}
  ],
  "monitors": {
    "m": {"vcp": {"0x10": {"current": 50, "maximum": 100}, "0x12": {"current": 70, "maximum": 100}},
          "capabilities": "(vcp(10 12))", "faults": )json" +
         faults + R"json(},
    "other": {"vcp": {"0x10": {"current": 1, "maximum": 2}}}
  })json" +
         more + "}";
}

// Frames as the protocol layer builds them, checksum 0x6E XOR every byte from 0x51 on.
const Bytes kGetBrightness = Hex("51 82 01 10 AC");
const Bytes kGetContrast = Hex("51 82 01 12 AE");
const Bytes kSetBrightness40 = Hex("51 84 03 10 00 28 80");
const char* const kBrightnessReply = "6E 88 02 00 10 00 00 64 00 32 F2";
const char* const kContrastReply = "6E 88 02 00 12 00 00 64 00 46 84";

ExchangeCall Framebuffer(uint64_t endpoint, const Bytes& request, uint32_t capacity,
                         uint64_t delay_ns = 0) {
  return ExchangeCall{endpoint, LUMRA_BACKEND_IOFRAMEBUFFER, 0x37, request, capacity, delay_ns};
}

ExchangeCall AVService(uint64_t endpoint, const Bytes& request, uint32_t capacity,
                       uint64_t delay_ns = 0, uint32_t chip = 0x37, uint32_t flags = 0) {
  return ExchangeCall{endpoint, LUMRA_BACKEND_IOAVSERVICE, chip, request, capacity, delay_ns,
                      flags};
}

class ExchangeTest : public BridgeTest {};

TEST_F(ExchangeTest, FramebufferPathTriesBusesInOrder) {
  const struct {
    const char* name;
    uint64_t endpoint;
    uint32_t backend;
    int32_t status;
    uint32_t replyLength;
    uint64_t writesToM;
    uint64_t writesToOther;
  } cases[] = {
      {"one bus", kSingleBus, 2, 0, 11, 1, 0},
      {"backend 0 takes the framebuffer path", kSingleBus, 0, 0, 11, 1, 0},
      {"backend 7 takes the framebuffer path", kSingleBus, 7, 0, 11, 1, 0},
      {"bus 0 fails, bus 1 answers, bus 2 untouched", kThirdBusIdle, 2, 0, 11, 1, 0},
      {"bus 0 cannot be opened", kFirstOpenFails, 2, 0, 11, 0, 1},
      {"every bus fails: the last status", kAllBusesFail, 2, kIOReturnNotResponding, 0, 0, 0},
      {"no bus", kNoBus, 2, kIOReturnUnsupported, 0, 0, 0},
      {"the bus count fails", kBusCountFails, 2, kIOReturnError, kReplyLengthUnset, 0, 0},
      {"a proxy is no framebuffer", kExternal, 2, kIOReturnNoDevice, kReplyLengthUnset, 0, 0},
      {"no such entry", kNoSuchEntry, 2, kIOReturnNoDevice, kReplyLengthUnset, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(ExchangeScenario(c.name));
    ExchangeCall call = Framebuffer(c.endpoint, kGetBrightness, 32);
    call.backend = c.backend;
    const ExchangeOutcome outcome = Exchange(call);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.stage, "IOFramebuffer");
    EXPECT_EQ(outcome.write_cycle, 0u);
    EXPECT_EQ(outcome.reply_length, c.replyLength);
    if (c.status == 0) {
      EXPECT_EQ(outcome.Delivered(),
                c.writesToOther ? "6E 88 02 00 10 00 00 02 00 01 A7" : kBrightnessReply);
    }
    EXPECT_EQ(Counters("m").Writes, c.writesToM);
    EXPECT_EQ(Counters("other").Writes, c.writesToOther);
  }
}

TEST_F(ExchangeTest, FramebufferPathDeliversAtMostTheCapacity) {
  Use(ExchangeScenario("capacity"));
  const ExchangeOutcome shorter = Exchange(Framebuffer(kSingleBus, kGetBrightness, 4));
  EXPECT_EQ(shorter.status, 0);
  EXPECT_EQ(shorter.Delivered(), "6E 88 02 00");
  EXPECT_EQ(shorter.reply[4], kReplyFill);

  // Write only: nothing is read, the reply length is 0 and the value lands.
  const ExchangeOutcome set = Exchange(Framebuffer(kSingleBus, kSetBrightness40, 0));
  EXPECT_EQ(set.status, 0);
  EXPECT_EQ(set.reply_length, 0u);
  EXPECT_EQ(set.reply[0], kReplyFill);
  EXPECT_EQ(sim::ReadVCPValue("m", 0x10).Value, 40);
  EXPECT_EQ(Counters("m").Reads, 1u);
}

// The reply is read with the DDC/CI reply transaction type from sub-address 0x51 (the stand-in
// answers nothing else); a refused DDC/CI reply transaction is sent once more with the simple
// reply type, and only then.
TEST_F(ExchangeTest, UnsupportedModeGetsExactlyOneResend) {
  const struct {
    const char* name;
    uint64_t endpoint;
    const char* faults;
    uint32_t capacity;
    int32_t status;
    uint64_t writes;
    uint32_t readType;  // the reply transaction type of the read; 0: nothing was read
  } cases[] = {
      {"a driver that takes the DDC/CI reply type", kSingleBus, "[]", 32, 0, 1,
       kIOI2CDDCciReplyTransactionType},
      {"driver refuses the DDC/CI reply type", kRejectsDdcciReply, "[]", 32, 0, 1,
       kIOI2CSimpleTransactionType},
      {"refused once", kSingleBus,
       R"([{"request": "get", "fault": "unsupported-mode", "count": 1}])", 32, 0, 2,
       kIOI2CSimpleTransactionType},
      {"refused twice", kSingleBus,
       R"([{"request": "get", "fault": "unsupported-mode", "count": 2}])", 32,
       kIOReturnUnsupportedMode, 2, 0},
      {"refused always", kSingleBus, R"([{"request": "get", "fault": "unsupported-mode"}])", 32,
       kIOReturnUnsupportedMode, 2, 0},
      {"write only: no resend", kSingleBus,
       R"([{"request": "get", "fault": "unsupported-mode", "count": 1}])", 0,
       kIOReturnUnsupportedMode, 1, 0},
      {"other failures: no resend", kSingleBus,
       R"([{"request": "get", "fault": "busy", "count": 1}])", 32, kIOReturnBusy, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(ExchangeScenario(c.name, c.faults));
    const ExchangeOutcome outcome = Exchange(Framebuffer(c.endpoint, kGetBrightness, c.capacity));
    EXPECT_EQ(outcome.status, c.status);
    if (c.status == 0) {
      EXPECT_EQ(outcome.Delivered(), kBrightnessReply);
    }
    const sim::MonitorCounters counters = Counters("m");
    EXPECT_EQ(counters.Writes, c.writes);
    EXPECT_EQ(counters.Reads, c.readType != 0 ? 1u : 0u);
    EXPECT_EQ(counters.LastReadType, c.readType);
    if (c.readType != 0) {
      EXPECT_EQ(counters.LastReadAddress, 0x51u);
    }
  }
}

TEST_F(ExchangeTest, IOAVServiceStagesAndStatuses) {
  const Bytes shortest = Hex("51");
  const Bytes longest(256, 0x51);
  const Bytes tooLong(257, 0x51);
  const struct {
    const char* name;
    ExchangeCall call;
    const char* faults;
    int32_t status;
    const char* stage;
    uint32_t writeCycle;
    uint32_t replyLength;
    uint64_t writes;
  } cases[] = {
      {"no such entry", AVService(kNoSuchEntry, kGetBrightness, 11), "[]", kIOReturnNoDevice,
       "resolve-ioav-endpoint", 0, kReplyLengthUnset, 0},
      {"a framebuffer", AVService(kSingleBus, kGetBrightness, 11), "[]", kIOReturnNoDevice,
       "resolve-ioav-endpoint", 0, kReplyLengthUnset, 0},
      {"Embedded", AVService(kEmbedded, kGetBrightness, 11), "[]", kIOReturnNoDevice,
       "resolve-ioav-endpoint", 0, kReplyLengthUnset, 0},
      {"Embedded on the parent", AVService(kEmbeddedOnParent, kGetBrightness, 11), "[]",
       kIOReturnNoDevice, "resolve-ioav-endpoint", 0, kReplyLengthUnset, 0},
      {"external in lower case", AVService(kLowerCaseExternal, kGetBrightness, 11), "[]",
       kIOReturnNoDevice, "resolve-ioav-endpoint", 0, kReplyLengthUnset, 0},
      {"no Location", AVService(kNoLocation, kGetBrightness, 11), "[]", kIOReturnNoDevice,
       "resolve-ioav-endpoint", 0, kReplyLengthUnset, 0},
      {"External on the parent", AVService(kExternalOnParent, kGetBrightness, 11), "[]", 0,
       "IOAVServiceReadI2C", 0, 11, 1},
      {"the object cannot be created", AVService(kCreateFails, kGetBrightness, 11), "[]",
       kIOReturnUnsupported, "IOAVServiceCreateWithService", 0, kReplyLengthUnset, 0},
      {"a 1-byte request", AVService(kExternal, shortest, 11), "[]", kIOReturnBadArgument,
       "validate-ioav-request", 0, kReplyLengthUnset, 0},
      {"a 257-byte request", AVService(kExternal, tooLong, 0), "[]", kIOReturnBadArgument,
       "validate-ioav-request", 0, kReplyLengthUnset, 0},
      {"a reply capacity of 257", AVService(kExternal, kGetBrightness, 257), "[]",
       kIOReturnBadArgument, "validate-ioav-request", 0, kReplyLengthUnset, 0},
      {"a 256-byte request", AVService(kExternal, longest, 0), "[]", 0, "IOAVServiceWriteI2C", 1,
       kReplyLengthUnset, 1},
      {"a reply capacity of 256", AVService(kExternal, kGetBrightness, 256), "[]", 0,
       "IOAVServiceReadI2C", 0, 256, 1},
      {"write only", AVService(kExternal, kSetBrightness40, 0), "[]", 0, "IOAVServiceWriteI2C", 1,
       kReplyLengthUnset, 1},
      {"no monitor behind the proxy", AVService(kNoMonitor, kGetBrightness, 11), "[]",
       kIOReturnNoDevice, "IOAVServiceWriteI2C", 2, kReplyLengthUnset, 0},
      {"another chip address", AVService(kConverter, kGetBrightness, 11), "[]", kIOReturnNoDevice,
       "IOAVServiceWriteI2C", 2, kReplyLengthUnset, 0},
      {"busy once", AVService(kExternal, kGetBrightness, 11),
       R"([{"request": "get", "fault": "busy", "count": 1}])", 0, "IOAVServiceReadI2C", 0, 11, 2},
      {"busy twice", AVService(kExternal, kGetBrightness, 11),
       R"([{"request": "get", "fault": "busy", "count": 2}])", kIOReturnBusy, "IOAVServiceWriteI2C",
       2, kReplyLengthUnset, 2},
      {"busy once, write only", AVService(kExternal, kGetBrightness, 0),
       R"([{"request": "get", "fault": "busy", "count": 1}])", 0, "IOAVServiceWriteI2C", 2,
       kReplyLengthUnset, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(ExchangeScenario(c.name, c.faults));
    const ExchangeOutcome outcome = Exchange(c.call);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.stage, c.stage);
    EXPECT_EQ(outcome.write_cycle, c.writeCycle);
    EXPECT_EQ(outcome.reply_length, c.replyLength);
    if (c.replyLength == 11 || c.replyLength == 256) {
      EXPECT_EQ(Spaced(outcome.reply.data(), 11), kBrightnessReply);
    }
    if (c.replyLength == 256) {
      EXPECT_EQ(outcome.reply[255], 0);  // the padded read, not the fill
      EXPECT_EQ(outcome.reply[256], kReplyFill);
    }
    if (c.replyLength == kReplyLengthUnset) {
      EXPECT_EQ(outcome.reply[0], kReplyFill);
    }
    EXPECT_EQ(Counters("m").Writes, c.writes);
  }
}

// Over IOAVService a Get VCP to the display's own chip carries its checksum without the source
// byte; other requests, and everything sent to the converter chip, go out as given.
TEST_F(ExchangeTest, IOAVServiceChecksumRule) {
  const struct {
    const char* name;
    ExchangeCall call;
    uint64_t gets, sets, capabilities, ignored;
  } cases[] = {
      {"Get VCP to 0x37 is recomputed", AVService(kExternal, kGetBrightness, 11), 1, 0, 0, 0},
      {"even from a wrong checksum", AVService(kExternal, Hex("51 82 01 10 00"), 11), 1, 0, 0, 0},
      {"Set VCP to 0x37 is left alone", AVService(kExternal, kSetBrightness40, 0), 0, 1, 0, 0},
      {"a Set VCP in the Get form stays wrong",
       AVService(kExternal, Hex("51 84 03 10 00 28 D1"), 0), 0, 0, 0, 1},
      {"Capabilities to 0x37 is left alone", AVService(kExternal, Hex("51 83 F3 00 00 4F"), 38), 0,
       0, 1, 0},
      {"Get VCP to 0xB7 is left alone", AVService(kConverter, kGetBrightness, 11, 0, 0xB7), 1, 0, 0,
       0},
      {"a Get VCP in the 0x37 form to 0xB7 stays wrong",
       AVService(kConverter, Hex("51 82 01 10 FD"), 11, 0, 0xB7), 0, 0, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(ExchangeScenario(c.name));
    const ExchangeOutcome outcome = Exchange(c.call);
    EXPECT_EQ(outcome.status, 0);
    const sim::MonitorCounters counters = Counters("m");
    EXPECT_EQ(counters.Gets, c.gets);
    EXPECT_EQ(counters.Sets, c.sets);
    EXPECT_EQ(counters.Capabilities, c.capabilities);
    EXPECT_EQ(counters.Ignored, c.ignored);
    if (c.gets == 1) {
      EXPECT_EQ(Spaced(outcome.reply.data(), 11), kBrightnessReply);
    }
    if (c.sets == 1) {
      EXPECT_EQ(sim::ReadVCPValue("m", 0x10).Value, 40);
    }
  }
}

// Two HDMI ports behind the PS190 converter: one answers the converter's own framing (the
// Odyssey G75F of the hardware report), the other only the standard framing.
std::string Ps190Scenario(const std::string& tag) {
  return R"json({"description": ")json" + tag + R"json(",
  "av_services": [
    {"entry_id": 8192, "location": "External", "monitor": "g75f", "framing": "ps190",
     "parent_properties": {"EPICProviderClass": "AppleDCPPS190"}},
    {"entry_id": 8193, "location": "External", "monitor": "other",
     "parent_properties": {"EPICProviderClass": "AppleDCPPS190"}}
  ],
  "monitors": {
    "g75f": {"vcp": {"0x10": {"current": 50, "maximum": 50}, "0x60": {"current": 18, "maximum": 18}}},
    "other": {"vcp": {"0x10": {"current": 1, "maximum": 2}}}
  }})json";
}

// "W 37 FFFFFFFF: 51 82 01 10 AC" for each transaction the monitor saw.
std::vector<std::string> Wire(const char* monitor) {
  std::vector<std::string> lines;
  for (const sim::BusTransaction& t : sim::ReadMonitorCounters(monitor).Value.Transactions) {
    char head[32];
    std::snprintf(head, sizeof head, "%c %02X %08X: ", t.Write ? 'W' : 'R', t.Chip, t.DataAddress);
    lines.push_back(head + Spaced(t.Bytes.data(), t.Bytes.size()));
  }
  return lines;
}

TEST_F(ExchangeTest, PS190FramingAndItsFallback) {
  constexpr uint64_t kPs190 = 8192;
  constexpr uint64_t kStandardOnly = 8193;
  const std::string nothing = "00 00 00 00 00 00 00 00 00 00 00";
  const struct {
    const char* name;
    ExchangeCall call;
    const char* monitor;
    std::vector<std::string> wire;
  } cases[] = {
      {"Get VCP 0x10 in the converter's framing",
       AVService(kPs190, kGetBrightness, 11),
       "g75f",
       {"W 37 FFFFFFFF: 51 82 01 10 AC", "R 37 FFFFFFFF: 6E 88 02 00 10 00 00 32 00 32 A4"}},
      {"Get VCP 0x60 in the converter's framing",
       AVService(kPs190, Hex("51 82 01 60 DC"), 11),
       "g75f",
       {"W 37 FFFFFFFF: 51 82 01 60 DC", "R 37 FFFFFFFF: 6E 88 02 00 60 00 00 12 00 12 D4"}},
      {"Set VCP in the converter's framing",
       AVService(kPs190, kSetBrightness40, 0),
       "g75f",
       {"W 37 FFFFFFFF: 51 84 03 10 00 28 80"}},
      {"the standard framing gets no reply there",
       AVService(kPs190, kGetBrightness, 11, 0, 0x37, LUMRA_EXCHANGE_OTHER_FRAMING),
       "g75f",
       {"W 37 00000051: 82 01 10 FD", "R 37 00000000: " + nothing}},
      {"a port that answers only the standard framing: first attempt",
       AVService(kStandardOnly, kGetBrightness, 11),
       "other",
       {"W 37 FFFFFFFF: 51 82 01 10 AC", "R 37 FFFFFFFF: 6E 80 BE 00 00 00 00 00 00 00 00"}},
      {"... and the next one in the standard framing",
       AVService(kStandardOnly, kGetBrightness, 11, 0, 0x37, LUMRA_EXCHANGE_OTHER_FRAMING),
       "other",
       {"W 37 00000051: 82 01 10 FD", "R 37 00000000: 6E 88 02 00 10 00 00 02 00 01 A7"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(Ps190Scenario(c.name));
    const ExchangeOutcome outcome = Exchange(c.call);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(Wire(c.monitor), c.wire);
    if (c.call.capacity != 0) {
      EXPECT_EQ(Spaced(outcome.reply.data(), 11), c.wire.back().substr(15)) << "delivered";
    }
  }
  EXPECT_EQ(sim::ReadVCPValue("g75f", 0x10).Value, 50);
}

// A Set VCP from the alternate source 0x50 on every path: only the source byte and the
// checksum differ from a standard write, and a monitor with the alternate input control acts on it.
TEST_F(ExchangeTest, AlternateSourceTravelsOnEveryPath) {
  const Bytes hdmi1 = Hex("50 84 03 F4 00 90 DD");
  const std::string scenario = R"json(,
  "framebuffers": [{"entry_id": 256, "path": "IOService:/t/fb256", "buses": [{"monitor": "lg"}]}],
  "av_services": [
    {"entry_id": 4096, "location": "External", "monitor": "lg"},
    {"entry_id": 4097, "location": "External", "monitor": "lg", "framing": "ps190",
     "parent_properties": {"EPICProviderClass": "AppleDCPPS190"}},
    {"entry_id": 4098, "location": "External", "monitor": "lg", "chip": "0xB7",
     "parent_properties": {"EPICProviderClass": "AppleDCPMCDP29XX"}}
  ],
  "monitors": {"lg": {"vcp": {"0x60": {"current": 15, "maximum": 3}},
                      "alternate_input": {"0x90": "0x11"}}}})json";
  const struct {
    const char* name;
    ExchangeCall call;
    const char* wire;
  } cases[] = {
      {"IOFramebuffer I2C", Framebuffer(256, hdmi1, 0), "W 37 00000000: 50 84 03 F4 00 90 DD"},
      {"IOAVService standard", AVService(4096, hdmi1, 0), "W 37 00000050: 84 03 F4 00 90 DD"},
      {"PS190", AVService(4097, hdmi1, 0), "W 37 FFFFFFFF: 50 84 03 F4 00 90 DD"},
      {"MCDP29xx", AVService(4098, hdmi1, 0, 0, 0xB7), "W B7 00000050: 84 03 F4 00 90 DD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(std::string(R"json({"description": ")json") + c.name + "\"" + scenario);
    EXPECT_EQ(Exchange(c.call).status, 0);
    EXPECT_EQ(Wire("lg"), std::vector<std::string>{c.wire});
    EXPECT_EQ(sim::ReadVCPValue("lg", 0x60).Value, 0x11);
  }
}

// The choice of framing for one attempt, and the environment's words for a forced one.
TEST(IOAVFraming, ChoiceFollowsThePortTheForcedValueAndTheFallback) {
  using enum IoavFraming;
  const struct {
    IoavPort port;
    std::optional<IoavFraming> forced;
    bool other;
    IoavFraming want;
  } cases[] = {
      {IoavPort::Plain, std::nullopt, false, Standard},
      {IoavPort::Plain, std::nullopt, true, Standard},
      {IoavPort::Mcdp29xx, std::nullopt, true, Standard},
      {IoavPort::Ps190, std::nullopt, false, Ps190},
      {IoavPort::Ps190, std::nullopt, true, Standard},
      {IoavPort::Plain, Ps190, false, Ps190},
      {IoavPort::Ps190, Standard, false, Standard},
      {IoavPort::Ps190, Ps190, true, Ps190},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseIoavFraming(c.port, c.forced, c.other), c.want)
        << static_cast<int>(c.port) << " forced " << c.forced.has_value() << " other " << c.other;
  }
  // Either value in any letter case.
  EXPECT_EQ(ParseIoavFraming("standard"), Standard);
  EXPECT_EQ(ParseIoavFraming("Standard"), Standard);
  EXPECT_EQ(ParseIoavFraming("ps190"), Ps190);
  EXPECT_EQ(ParseIoavFraming("PS190"), Ps190);
  for (const char* refused : {"", "mcdp29xx", "standard ", "ps 190"}) {
    EXPECT_EQ(ParseIoavFraming(refused), std::nullopt) << refused;
  }
}

TEST_F(ExchangeTest, ConverterChipDeliversTheAskedCapacity) {
  Use(ExchangeScenario("converter"));
  const ExchangeOutcome outcome = Exchange(AVService(kConverter, kGetBrightness, 8, 0, 0xB7));
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.reply_length, 8u);
  EXPECT_EQ(outcome.Delivered(), "6E 88 02 00 10 00 00 64");
  EXPECT_EQ(outcome.reply[8], kReplyFill);
  EXPECT_EQ(Counters("m").Reads, 1u);
}

// Waits are measured: lower bounds are firm, upper bounds loose.
TEST_F(ExchangeTest, WaitsFollowThePathAndTheOutcome) {
  const struct {
    const char* name;
    ExchangeCall call;
    const char* more;  // scenario keys
    const char* faults;
    int32_t status;
    double atLeast;
    double below;
  } cases[] = {
      {"framebuffer, write only: the delay",
       Framebuffer(kSingleBus, kSetBrightness40, 0, 120 * kMillisecond), "", "[]", 0, 120,
       120 + kSlackMilliseconds},
      {"framebuffer, with reply: the delay in the driver, then 50 ms",
       Framebuffer(kSingleBus, kGetBrightness, 32, 20 * kMillisecond), "", "[]", 0, 70,
       70 + kSlackMilliseconds},
      {"framebuffer, time base 125/3",
       Framebuffer(kSingleBus, kGetBrightness, 32, 10 * kMillisecond),
       R"(, "timebase": {"numer": 125, "denom": 3})", "[]", 0, 60, 60 + kSlackMilliseconds},
      {"framebuffer, failing time base",
       Framebuffer(kSingleBus, kGetBrightness, 32, 10 * kMillisecond),
       R"(, "timebase": {"fails": true})", "[]", 0, 60, 60 + kSlackMilliseconds},
      {"framebuffer, time base numerator 0",
       Framebuffer(kSingleBus, kGetBrightness, 32, 10 * kMillisecond),
       R"(, "timebase": {"numer": 0, "denom": 1})", "[]", 0, 60, 60 + kSlackMilliseconds},
      {"framebuffer, failure: no wait",
       Framebuffer(kAllBusesFail, kSetBrightness40, 0, 1000 * kMillisecond), "", "[]",
       kIOReturnNotResponding, 0, 500},
      {"IOAVService, write only: 10 ms and the delay",
       AVService(kExternal, kSetBrightness40, 0, 80 * kMillisecond), "", "[]", 0, 90,
       90 + kSlackMilliseconds},
      {"IOAVService, with reply: 10 ms, the delay, 50 ms",
       AVService(kExternal, kGetBrightness, 11, 40 * kMillisecond), "", "[]", 0, 100,
       100 + kSlackMilliseconds},
      {"IOAVService, chip 0xB7: at least 50 ms after the write",
       AVService(kConverter, kGetBrightness, 8, 0, 0xB7), "", "[]", 0, 110,
       110 + kSlackMilliseconds},
      {"IOAVService, chip 0xB7 with a longer delay",
       AVService(kConverter, kGetBrightness, 8, 100 * kMillisecond, 0xB7), "", "[]", 0, 160,
       160 + kSlackMilliseconds},
      {"IOAVService, a second write attempt waits 10 ms more",
       AVService(kExternal, kGetBrightness, 0), "",
       R"([{"request": "get", "fault": "busy", "count": 1}])", 0, 20, 20 + kSlackMilliseconds},
      {"IOAVService, failed writes: no delay",
       AVService(kExternal, kGetBrightness, 0, 1000 * kMillisecond), "",
       R"([{"request": "get", "fault": "busy"}])", kIOReturnBusy, 20, 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(ExchangeScenario(c.name, c.faults, c.more));
    const ExchangeOutcome outcome = Exchange(c.call);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_GE(outcome.milliseconds, c.atLeast);
    EXPECT_LT(outcome.milliseconds, c.below);
  }
}

// Asked to, the exchange returns without its trailing pause (the quiet time after its last
// transaction) and reports how long it is; the pauses inside the exchange are still slept. The
// pause is reported when slept too, and is 0 after a failure.
TEST_F(ExchangeTest, TheTrailingPauseCanBeLeftToTheCaller) {
  constexpr uint32_t kDefer = LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE;
  const auto deferred = [](ExchangeCall call) {
    call.flags = kDefer;
    return call;
  };
  const struct {
    const char* name;
    ExchangeCall call;
    const char* faults;
    int32_t status;
    double atLeast;
    double below;
    uint64_t trailing;
  } cases[] = {
      {"framebuffer, write only",
       deferred(Framebuffer(kSingleBus, kSetBrightness40, 0, 120 * kMillisecond)), "[]", 0, 0, 60,
       120 * kMillisecond},
      {"framebuffer, with reply: the reply delay is slept",
       deferred(Framebuffer(kSingleBus, kGetBrightness, 32, 20 * kMillisecond)), "[]", 0, 20, 65,
       50 * kMillisecond},
      {"framebuffer, not deferred", Framebuffer(kSingleBus, kGetBrightness, 32, 20 * kMillisecond),
       "[]", 0, 70, 70 + kSlackMilliseconds, 50 * kMillisecond},
      {"IOAVService, write only: 10 ms before the write is slept",
       deferred(AVService(kExternal, kSetBrightness40, 0, 80 * kMillisecond)), "[]", 0, 10, 60,
       80 * kMillisecond},
      {"IOAVService, with reply",
       deferred(AVService(kExternal, kGetBrightness, 11, 40 * kMillisecond)), "[]", 0, 50, 95,
       50 * kMillisecond},
      {"IOAVService, chip 0xB7, write only: at least 50 ms",
       deferred(AVService(kConverter, kSetBrightness40, 0, 0, 0xB7)), "[]", 0, 10, 60,
       50 * kMillisecond},
      {"framebuffer, failure",
       deferred(Framebuffer(kAllBusesFail, kSetBrightness40, 0, 1000 * kMillisecond)), "[]",
       kIOReturnNotResponding, 0, 500, 0},
      {"IOAVService, failed writes", deferred(AVService(kExternal, kGetBrightness, 11, 0)),
       R"([{"request": "get", "fault": "busy"}])", kIOReturnBusy, 20, 500, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(ExchangeScenario(c.name, c.faults));
    const ExchangeOutcome outcome = Exchange(c.call);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.trailing_pause_ns, c.trailing);
    EXPECT_GE(outcome.milliseconds, c.atLeast);
    EXPECT_LT(outcome.milliseconds, c.below);
  }
}

// The monitor state moves away between the write and the read, so only the read fails.
TEST_F(ExchangeTest, IOAVServiceReadFailureIsReportedAtTheReadStage) {
  Use(ExchangeScenario("read failure"));
  const std::filesystem::path state =
      std::filesystem::path(home_.Path()) / "Library/Caches/lumra/sim";
  std::thread saboteur([&state] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    std::filesystem::rename(state, state.string() + ".away");
    std::ofstream(state.string()) << "not a directory";
  });
  const ExchangeOutcome outcome =
      Exchange(AVService(kExternal, kGetBrightness, 11, 400 * kMillisecond));
  saboteur.join();
  EXPECT_EQ(outcome.status, kIOReturnError);
  EXPECT_EQ(outcome.stage, "IOAVServiceReadI2C");
  EXPECT_EQ(outcome.write_cycle, 0u);
  EXPECT_EQ(outcome.reply_length, kReplyLengthUnset);
  EXPECT_EQ(outcome.reply[0], kReplyFill);
}

TEST_F(ExchangeTest, BadArgumentsAndAbsentOutputs) {
  Use(ExchangeScenario("arguments"));
  uint8_t reply[16] = {};
  uint32_t length = kReplyLengthUnset;
  lumra_exchange_diagnostics diagnostics{};
  const struct {
    const char* name;
    const uint8_t* request;
    uint32_t requestLength;
    uint8_t* reply;
    uint32_t capacity;
    int32_t status;
  } cases[] = {
      {"no request", nullptr, 5, reply, 11, kIOReturnBadArgument},
      {"no reply buffer for a reply", kGetBrightness.data(), 5, nullptr, 11, kIOReturnBadArgument},
      {"no reply buffer, write only", kGetContrast.data(), 5, nullptr, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t status =
        lumra_exchange_ddcci(kExternal, LUMRA_BACKEND_IOAVSERVICE, 0x37, c.request, c.requestLength,
                             c.reply, c.capacity, &length, 0, &diagnostics);
    EXPECT_EQ(status, c.status);
    if (status != 0) {
      EXPECT_STREQ(diagnostics.stage, "validate-ioav-request");
    }
    ExpectNothingLeftAlive(c.name);
  }
  EXPECT_EQ(length, kReplyLengthUnset);

  // Without a reply length or diagnostics record both paths still deliver the reply.
  for (const uint32_t backend : {LUMRA_BACKEND_IOAVSERVICE, LUMRA_BACKEND_IOFRAMEBUFFER}) {
    SCOPED_TRACE(backend);
    std::fill(std::begin(reply), std::end(reply), kReplyFill);
    const uint64_t endpoint = backend == LUMRA_BACKEND_IOAVSERVICE ? kExternal : kSingleBus;
    EXPECT_EQ(lumra_exchange_ddcci(endpoint, backend, 0x37, kGetBrightness.data(), 5, reply, 11,
                                   nullptr, 0, nullptr),
              0);
    EXPECT_EQ(Spaced(reply, 11), kBrightnessReply);
    ExpectNothingLeftAlive("no outputs");
  }
}

// Two exchanges on one monitor without a lock: the second request lands while the first waits
// for its reply, so the first reads the second's answer, as on hardware.
TEST_F(ExchangeTest, InterleavedExchangesGetCrossedReplies) {
  Use(ExchangeScenario("crossed"));
  uint8_t firstReply[11] = {};
  uint32_t firstLength = 0;
  int32_t firstStatus = -1;
  std::thread first([&] {
    firstStatus = lumra_exchange_ddcci(kExternal, LUMRA_BACKEND_IOAVSERVICE, 0x37,
                                       kGetBrightness.data(), 5, firstReply, sizeof firstReply,
                                       &firstLength, 400 * kMillisecond, nullptr);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const int32_t secondStatus =
      lumra_exchange_ddcci(kSecondExternal, LUMRA_BACKEND_IOAVSERVICE, 0x37, kGetContrast.data(), 5,
                           nullptr, 0, nullptr, 0, nullptr);
  first.join();
  ExpectNothingLeftAlive("crossed exchanges");
  EXPECT_EQ(secondStatus, 0);
  EXPECT_EQ(firstStatus, 0);
  EXPECT_EQ(firstLength, 11u);
  EXPECT_EQ(Spaced(firstReply, 11), kContrastReply);
  const sim::MonitorCounters counters = Counters("m");
  EXPECT_EQ(counters.Gets, 2u);
  EXPECT_EQ(counters.Reads, 1u);
}

// The IOAVService entry points are looked up again after a failure, unlike CoreDisplay. The
// lookup state is per process, so this runs in a fresh child (threadsafe death-test style).
std::string IOAVLookupProblems() {
  std::string problems;
  const auto expect = [&problems](const char* frameworks, int32_t status, const char* stage) {
    const std::string scenario = ExchangeScenario(
        "ioav lookup", "[]", std::string(", \"frameworks\": {\"ioav\": ") + frameworks + "}");
    if (sim::UseScenarioText(scenario, "ioav.json")) {
      problems += "scenario refused\n";
      return;
    }
    uint8_t reply[11] = {};
    lumra_exchange_diagnostics diagnostics{};
    const int32_t got =
        lumra_exchange_ddcci(kExternal, LUMRA_BACKEND_IOAVSERVICE, 0x37, kGetBrightness.data(), 5,
                             reply, 11, nullptr, 0, &diagnostics);
    if (got != status || std::string(diagnostics.stage) != stage) {
      problems += std::string(frameworks) + ": status " + std::to_string(got) + " at " +
                  diagnostics.stage + "\n";
    }
    if (sim::LiveObjectCount() != 0)
      problems += "live objects " + sim::DescribeLiveObjects() + "\n";
  };
  expect("false", kIOReturnUnsupported, "load-ioav-symbols");
  expect(R"(["IOAVServiceWriteI2C"])", kIOReturnUnsupported, "load-ioav-symbols");
  expect(R"(["IOAVServiceCreateWithService", "IOAVServiceReadI2C"])", kIOReturnUnsupported,
         "load-ioav-symbols");
  expect("true", 0, "IOAVServiceReadI2C");
  // Once found, the entry points stay.
  expect("false", 0, "IOAVServiceReadI2C");
  return problems;
}

TEST_F(ExchangeTest, IOAVServiceLookupIsRetriedAfterAFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ExitWithProblems(IOAVLookupProblems()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lumra::native::testing

#endif  // !defined(__APPLE__)
