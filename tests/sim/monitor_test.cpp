// The simulated monitor's frame handling, byte for byte, and its injected faults, checked
// against the project's own DDC/CI reply parser.
#include "sim/world/monitor.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ddcci/errors.hpp"
#include "ddcci/frame.hpp"
#include "sim_test_support.hpp"
#include "support/error.hpp"

namespace lumra::sim::testing {
namespace {

MonitorSpec Monitor() {
  MonitorSpec spec;
  spec.Vcp[0x10] = VcpSpec{50, 100, false};
  spec.Vcp[0x05] = VcpSpec{0, 1, true};
  spec.Capabilities = "(prot(monitor)vcp(10))";  // 22 bytes
  spec.FragmentSize = 8;
  return spec;
}

// Writes one frame and reads the reply.
std::string Exchange(const MonitorSpec& spec, MonitorRecord& record, const std::string& frame,
                     ChecksumRule rule = ChecksumRule::Standard) {
  EXPECT_EQ(ReceiveWrite(spec, record, Hex(frame), rule), 0);
  return Spaced(AnswerRead(record));
}

TEST(MonitorTest, RepliesByteForByte) {
  const struct {
    const char* request;
    const char* reply;
  } cases[] = {
      {"51 82 01 10 AC", "6E 88 02 00 10 00 00 64 00 32 F2"},              // brightness 50 of 100
      {"51 82 01 12 AE", "6E 88 02 01 12 00 00 00 00 00 A7"},              // a code it lacks
      {"51 82 01 05 B9", "6E 88 02 00 05 01 00 01 00 00 B1"},              // momentary type
      {"51 83 F3 00 00 4F", "6E 8B E3 00 00 28 70 72 6F 74 28 6D 6F 4D"},  // "(prot(mo"
      {"51 83 F3 00 16 59", "6E 83 E3 00 16 48"},                          // past the end: empty
      {"51 82 01 10 AD", "6E 80 BE"},                                      // bad checksum: ignored
      {"51 02 01 10 2C", "6E 80 BE"},                                      // no protocol flag
      {"50 82 01 10 AD", "6E 80 BE"},                                      // wrong source
      {"51 84 03 10", "6E 80 BE"},                                         // shorter than announced
      {"51 81 0C B2", "6E 80 BE"},  // save settings: no reply
  };
  for (const auto& c : cases) {
    MonitorRecord record;
    EXPECT_EQ(Exchange(Monitor(), record, c.request), c.reply) << c.request;
  }
}

TEST(MonitorTest, CapabilitiesComeInFragmentsThatReassembleTheString) {
  const MonitorSpec spec = Monitor();
  MonitorRecord record;
  std::string text;
  for (std::uint16_t offset = 0;;) {
    const auto reply = Hex(Exchange(spec, record, Spaced(ddcci::BuildCapabilitiesRequest(offset))));
    const auto fragment = ddcci::ParseCapabilitiesReply(reply);
    ASSERT_FALSE(fragment.Err) << fragment.Err.Message();
    ASSERT_EQ(fragment.Value.Offset, offset);
    if (fragment.Value.Fragment.empty()) break;
    EXPECT_LE(fragment.Value.Fragment.size(), 8u);
    text.append(fragment.Value.Fragment.begin(), fragment.Value.Fragment.end());
    offset = static_cast<std::uint16_t>(offset + fragment.Value.Fragment.size());
  }
  EXPECT_EQ(text, spec.Capabilities);
  EXPECT_EQ(record.Counters.Capabilities, 4u);  // 8 + 8 + 6 bytes, then the empty fragment
}

TEST(MonitorTest, SetStoresTheValueAndLeavesNoReply) {
  const MonitorSpec spec = Monitor();
  MonitorRecord record;
  EXPECT_EQ(Exchange(spec, record, "51 84 03 10 12 34 8E"), "6E 80 BE");
  EXPECT_EQ(CurrentValue(spec, record, 0x10), 0x1234);
  EXPECT_EQ(Exchange(spec, record, "51 82 01 10 AC"), "6E 88 02 00 10 00 00 64 12 34 E6");
  // A set of a code the monitor lacks changes nothing.
  EXPECT_EQ(Exchange(spec, record, Spaced(ddcci::BuildSetVCP(0x99, 7))), "6E 80 BE");
  EXPECT_FALSE(record.Values.contains(0x99));
  EXPECT_EQ(record.Counters.Sets, 2u);
  EXPECT_EQ(record.Counters.Gets, 1u);
}

// Source 0x50 is heard only by a monitor with the alternate input control, and then only for a
// Set VCP 0xF4 whose value it maps; everything else from there is ignored.
TEST(MonitorTest, AlternateInputControl) {
  MonitorSpec lg;
  lg.Vcp[0x60] = VcpSpec{0x0F, 3, false};
  lg.AlternateInput = {{0x90, 0x11}, {0xD2, 0x1B}};
  MonitorSpec plain;
  plain.Vcp[0x60] = VcpSpec{0x0F, 3, false};
  const struct {
    const char* name;
    const MonitorSpec& spec;
    const char* frame;
    std::uint16_t input;
    std::uint64_t sets, ignored;
  } cases[] = {
      {"hdmi1", lg, "50 84 03 F4 00 90 DD", 0x11, 1, 0},
      {"a value it does not map", lg, "50 84 03 F4 00 91 DC", 0x0F, 1, 0},
      {"a read from 0x50", lg, "50 82 01 60 DD", 0x0F, 0, 1},
      {"another code from 0x50", lg, "50 84 03 60 00 11 C8", 0x0F, 0, 1},
      {"a checksum from 0x51", lg, "50 84 03 F4 00 90 DC", 0x0F, 0, 1},
      {"a monitor without the control", plain, "50 84 03 F4 00 90 DD", 0x0F, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorRecord record;
    EXPECT_EQ(Exchange(c.spec, record, c.frame), "6E 80 BE");
    EXPECT_EQ(CurrentValue(c.spec, record, 0x60), c.input);
    EXPECT_EQ(record.Counters.Sets, c.sets);
    EXPECT_EQ(record.Counters.Ignored, c.ignored);
  }
}

// A read answers the latest request and keeps answering it until the next write.
TEST(MonitorTest, ReadsAnswerTheLatestRequest) {
  const MonitorSpec spec = Monitor();
  MonitorRecord record;
  ASSERT_EQ(ReceiveWrite(spec, record, Hex("51 82 01 10 AC"), ChecksumRule::Standard), 0);
  ASSERT_EQ(ReceiveWrite(spec, record, Hex("51 82 01 05 B9"), ChecksumRule::Standard), 0);
  EXPECT_EQ(Spaced(AnswerRead(record)), "6E 88 02 00 05 01 00 01 00 00 B1");
  EXPECT_EQ(Spaced(AnswerRead(record)), "6E 88 02 00 05 01 00 01 00 00 B1");
  EXPECT_EQ(Spaced(record.LastRequest), "51 82 01 05 B9");
  EXPECT_EQ(record.Counters.Writes, 2u);
  EXPECT_EQ(record.Counters.Reads, 2u);
}

TEST(MonitorTest, GetChecksumRuleOfTheDisplayChip) {
  const MonitorSpec spec = Monitor();
  const struct {
    const char* request;
    ChecksumRule rule;
    bool answered;
  } cases[] = {
      {"51 82 01 10 FD", ChecksumRule::GetVcpSkipsSource, true},   // 0x6E ^ 82 01 10
      {"51 82 01 10 AC", ChecksumRule::GetVcpSkipsSource, false},  // the standard one is refused
      {"51 82 01 10 FD", ChecksumRule::Standard, false},
      {"51 83 F3 00 00 4F", ChecksumRule::GetVcpSkipsSource, true},  // others stay standard
  };
  for (const auto& c : cases) {
    MonitorRecord record;
    const std::string reply = Exchange(spec, record, c.request, c.rule);
    EXPECT_EQ(reply != "6E 80 BE", c.answered) << c.request;
  }
}

TEST(MonitorTest, FrameFaultsSurfaceAsTheMatchingParseErrors) {
  const struct {
    FaultKind kind;
    const support::Error* want;
  } cases[] = {
      {FaultKind::Checksum, &ddcci::kErrChecksum},
      {FaultKind::NullReply, &ddcci::kErrNullReply},
      {FaultKind::MalformedSource, &ddcci::kErrMalformedSource},
      {FaultKind::ProtocolFlag, &ddcci::kErrInvalidProtocolFlag},
      {FaultKind::ShortReply, &ddcci::kErrInvalidLength},
      {FaultKind::WrongCode, &ddcci::kErrVCPCodeMismatch},
      {FaultKind::UnexpectedResult, &ddcci::kErrUnexpectedResult},
  };
  for (const auto& c : cases) {
    MonitorSpec spec = Monitor();
    spec.Faults.push_back(FaultSpec{RequestKind::Get, 0x10, c.kind, 0, 1});
    MonitorRecord record;
    const auto reply = Hex(Exchange(spec, record, "51 82 01 10 AC"));
    const auto parsed = ddcci::ParseVCPReply(reply, 0x10);
    EXPECT_TRUE(support::Is(parsed.Err, *c.want)) << Spaced(reply) << ": " << parsed.Err.Message();
    // The count is used up: the next exchange is clean.
    EXPECT_EQ(Exchange(spec, record, "51 82 01 10 AC"), "6E 88 02 00 10 00 00 64 00 32 F2");
    EXPECT_EQ(record.Counters.Faults, 1u);
  }
}

// Faults seen on real desks: a port that loses writes, and a monitor whose first Get VCP after
// a Set VCP reads all zeros.
TEST(MonitorTest, DroppedWritesAndZerosAfterASet) {
  const char* const get = "51 82 01 10 AC";
  const char* const set40 = "51 84 03 10 00 28 80";
  const char* const value40 = "6E 88 02 00 10 00 00 64 00 28 E8";
  const std::string zeros = "00 00 00 00 00 00 00 00 00 00 00";
  const struct {
    const char* name;
    FaultSpec fault;
    std::vector<std::pair<const char*, std::string>> exchanges;  // request, reply read after it
    std::uint16_t value;
  } cases[] = {
      {"dropped set",
       FaultSpec{RequestKind::Set, {}, FaultKind::DroppedWrite, 0, 1},
       {{set40, "6E 80 BE"},
        {get, "6E 88 02 00 10 00 00 64 00 32 F2"},
        {set40, "6E 80 BE"},
        {get, value40}},
       40},
      {"dropped get",
       FaultSpec{RequestKind::Get, {}, FaultKind::DroppedWrite, 0, {}},
       {{get, "6E 80 BE"}},
       50},
      {"zeros after a set, once per set",
       FaultSpec{RequestKind::Get, {}, FaultKind::ZeroReplyAfterSet, 0, {}},
       {{get, "6E 88 02 00 10 00 00 64 00 32 F2"},
        {set40, "6E 80 BE"},
        {get, zeros},
        {get, value40}},
       40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorSpec spec = Monitor();
    spec.Faults.push_back(c.fault);
    MonitorRecord record;
    for (const auto& [request, reply] : c.exchanges) {
      EXPECT_EQ(Exchange(spec, record, request), reply) << request;
    }
    EXPECT_EQ(CurrentValue(spec, record, 0x10), c.value);
  }
}

// Save Current Settings stores the values set so far; a monitor that forgets unsaved values
// returns to them when it is turned on after being off, and to the scenario's for codes never
// saved.
TEST(MonitorTest, SavedValuesOutliveAPowerCycle) {
  const std::string save = Spaced(ddcci::BuildSaveSettings());
  const auto set = [](std::uint8_t code, std::uint16_t value) {
    return Spaced(ddcci::BuildSetVCP(code, value));
  };
  const struct {
    const char* name;
    bool forgets;
    std::vector<std::string> requests;
    std::uint16_t brightness;
    std::uint64_t saves;
  } cases[] = {
      {"off and on", true, {set(0x10, 40), save, set(0x10, 30), set(0xD6, 4), set(0xD6, 1)}, 40, 1},
      {"never saved", true, {set(0x10, 30), set(0xD6, 5), set(0xD6, 1)}, 50, 0},
      {"standby keeps", true, {set(0x10, 30), set(0xD6, 2), set(0xD6, 1)}, 30, 0},
      {"still off", true, {set(0x10, 30), set(0xD6, 4)}, 30, 0},
      {"a monitor that keeps", false, {set(0x10, 30), set(0xD6, 4), set(0xD6, 1)}, 30, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorSpec spec = Monitor();
    spec.Vcp[0xD6] = VcpSpec{1, 5, false};
    spec.ForgetsUnsaved = c.forgets;
    MonitorRecord record;
    for (const std::string& request : c.requests)
      EXPECT_EQ(Exchange(spec, record, request), "6E 80 BE");
    EXPECT_EQ(CurrentValue(spec, record, 0x10), c.brightness);
    EXPECT_EQ(record.Counters.Saves, c.saves);
    EXPECT_EQ(record.Counters.Ignored, 0u);
  }
}

TEST(MonitorTest, FaultsMatchByKindAndCode) {
  MonitorSpec spec = Monitor();
  spec.Faults.push_back(FaultSpec{RequestKind::Get, 0x05, FaultKind::Status, kIOReturnBusy, {}});
  spec.Faults.push_back(FaultSpec{RequestKind::Capabilities, {}, FaultKind::OffsetMismatch, 0, 1});
  spec.Faults.push_back(FaultSpec{RequestKind::Set, {}, FaultKind::Checksum, 0, 1});
  MonitorRecord record;
  // Every get of 0x05 fails, without a count; gets of 0x10 are untouched.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ReceiveWrite(spec, record, Hex("51 82 01 05 B9"), ChecksumRule::Standard),
              kIOReturnBusy);
  }
  EXPECT_EQ(Exchange(spec, record, "51 82 01 10 AC"), "6E 88 02 00 10 00 00 64 00 32 F2");
  EXPECT_EQ(Exchange(spec, record, "51 83 F3 00 08 47"),
            "6E 8B E3 00 09 6E 69 74 6F 72 29 76 63 0D");
  // A garbled set is dropped; the next one lands.
  EXPECT_EQ(Exchange(spec, record, Spaced(ddcci::BuildSetVCP(0x10, 7))), "6E 80 BE");
  EXPECT_EQ(CurrentValue(spec, record, 0x10), 50);
  EXPECT_EQ(Exchange(spec, record, Spaced(ddcci::BuildSetVCP(0x10, 8))), "6E 80 BE");
  EXPECT_EQ(CurrentValue(spec, record, 0x10), 8);
  EXPECT_EQ(record.Counters.Faults, 5u);
  EXPECT_EQ(record.FaultsUsed[0], 3u);
}

}  // namespace
}  // namespace lumra::sim::testing
