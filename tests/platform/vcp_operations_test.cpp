#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ddc/errors.hpp"
#include "ddcci/errors.hpp"
#include "fake_native_bridge.hpp"
#include "platform/transport.hpp"
#include "temp_home.hpp"

namespace lumra::platform {
namespace {

using testing::ExchangeOutcome;
using testing::fakeNative;

constexpr auto kBusy = static_cast<std::int32_t>(0xE00002D5);
constexpr auto kNoDevice = static_cast<std::int32_t>(0xE00002C0);

ExchangeOutcome ok(ddcci::Bytes reply) { return {0, std::move(reply), -1, nullptr}; }
ExchangeOutcome failed(std::int32_t status) { return {status, {}, -1, "IOFramebuffer"}; }

class VCPOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::resetFakeNative();
    fakeNative().displays = {testing::externalDisplay(1, 0xE1, 0xA0C4, 0x12345678),
                             testing::externalDisplay(2, 0xE2, 0xA0C4, 0x87654321)};
    fakeNative().displays[1].chip_address = 0x38;
    ASSERT_FALSE(transport.List(ctx).Err);
  }

  testing::TempHome home;
  DarwinTransport transport{
      DarwinTransportOptions{testing::fakeBridge(), support::Duration(0), home.lockOptions()}};
  support::Context ctx;
};

TEST_F(VCPOperationsTest, ExchangeParameters) {
  fakeNative().outcomes = {ok(testing::vcpReply(0x10, 70)), ok({})};
  auto got = transport.GetVCP(ctx, "1", 0x10);
  ASSERT_FALSE(got.Err) << got.Err.Message();
  EXPECT_EQ(got.Value.Code, 0x10);
  EXPECT_EQ(got.Value.Feature, "");
  EXPECT_EQ(got.Value.Current, 70);
  EXPECT_EQ(got.Value.Maximum, 100);
  EXPECT_EQ(got.Value.Raw, (std::array<std::uint8_t, 4>{0, 100, 0, 70}));
  ASSERT_FALSE(transport.SetVCP(ctx, "darwin:10AC:A0C4:12345678", 0x10, 0x0132));
  fakeNative().outcomes = {ok({})};
  ASSERT_FALSE(transport.SaveSettings(ctx, "0"));

  const auto& calls = fakeNative().exchanges;
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].endpointID, 0xE2u);
  EXPECT_EQ(calls[0].chipAddress, 0x38u);
  EXPECT_EQ(calls[0].request, (ddcci::Bytes{0x51, 0x82, 0x01, 0x10, 0xAC}));
  EXPECT_TRUE(calls[0].replyBufferGiven);
  EXPECT_EQ(calls[0].replyCapacity, 11u);
  EXPECT_EQ(calls[0].delayNs, 40'000'000u);
  EXPECT_EQ(calls[1].endpointID, 0xE1u);
  EXPECT_EQ(calls[1].request, ddcci::BuildSetVCP(0x10, 0x0132));
  EXPECT_FALSE(calls[1].replyBufferGiven);
  EXPECT_EQ(calls[1].replyCapacity, 0u);
  EXPECT_EQ(calls[1].delayNs, 50'000'000u);
  // Storing the settings takes the monitor longer than taking a value.
  EXPECT_EQ(calls[2].endpointID, 0xE1u);
  EXPECT_EQ(calls[2].request, (ddcci::Bytes{0x51, 0x81, 0x0C, 0xB2}));
  EXPECT_FALSE(calls[2].replyBufferGiven);
  EXPECT_EQ(calls[2].delayNs, 200'000'000u);
}

TEST_F(VCPOperationsTest, GetVCPRetriesAndFailures) {
  const struct {
    const char* name;
    std::deque<ExchangeOutcome> outcomes;
    std::size_t wantExchanges;
    const char* want;
  } cases[] = {
      {"busy twice then success",
       {failed(kBusy), failed(kBusy), ok(testing::vcpReply(0x10, 1))},
       3,
       ""},
      {"busy three times",
       {failed(kBusy), failed(kBusy), failed(kBusy)},
       3,
       "DDC/CI failed after 3 attempts: monitor transport is busy: IOKit DDC/CI transaction "
       "failed: 0xE00002D5 (stage=IOFramebuffer, write_cycle=0, chip=0x37, command=0x01)"},
      {"no device is not retried; a null stage reads as empty",
       {{kNoDevice, {}, -1, nullptr}},
       1,
       "monitor not found: IOKit DDC/CI transaction failed: 0xE00002C0 (stage=, "
       "write_cycle=0, chip=0x37, command=0x01)"},
      {"unsupported code is not retried",
       {ok(testing::vcpReply(0x10, 0, 1))},
       1,
       "DDC/CI VCP feature is unsupported"},
      {"garbled replies are retried",
       {ok({0x6E}), ok({}), ok(testing::vcpReply(0x12, 1))},
       3,
       "DDC/CI failed after 3 attempts: DDC/CI reply VCP code mismatch: got 0x12, want 0x10"},
  };
  for (const auto& c : cases) {
    fakeNative().exchanges.clear();
    fakeNative().outcomes = c.outcomes;
    auto got = transport.GetVCP(ctx, "0", 0x10);
    EXPECT_EQ(fakeNative().exchanges.size(), c.wantExchanges) << c.name;
    EXPECT_EQ(got.Err.Message(), c.want) << c.name;
    EXPECT_EQ(got.Value.Code, got.Err ? 0 : 0x10) << c.name;
  }
}

TEST_F(VCPOperationsTest, ReplyLengthAboveCapacityIsClamped) {
  // The frame claims 40 payload bytes; only the 38 stored bytes may be looked at.
  ddcci::Bytes claimsMore = testing::capabilitiesReply(0, std::string(32, 'a'));
  claimsMore[1] = 0x80 | 40;
  fakeNative().respond = [&](const testing::ExchangeCall&) {
    return ExchangeOutcome{0, claimsMore, 4096, nullptr};
  };
  auto got = transport.Capabilities(ctx, "0");
  EXPECT_TRUE(support::Is(got.Err, ddcci::kErrInvalidLength));
  EXPECT_NE(got.Err.Message().find("got 38 bytes, want 43"), std::string::npos)
      << got.Err.Message();
}

TEST_F(VCPOperationsTest, CapabilitiesFragments) {
  const std::string text = "(prot(monitor)type(lcd)vcp(10 12 14 60)mccs_ver(2.2))";
  fakeNative().respond = [&](const testing::ExchangeCall& call) {
    const auto offset = static_cast<std::uint16_t>(call.request[3] << 8 | call.request[4]);
    const std::string fragment = text.substr(std::min<std::size_t>(offset, text.size()), 32);
    return ok(testing::capabilitiesReply(offset, fragment));
  };
  auto got = transport.Capabilities(ctx, "0");
  ASSERT_FALSE(got.Err) << got.Err.Message();
  EXPECT_EQ(got.Value, text);
  const auto& calls = fakeNative().exchanges;
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].request, ddcci::BuildCapabilitiesRequest(std::uint16_t(text.size())));
  EXPECT_EQ(calls[0].replyCapacity, 38u);
  EXPECT_EQ(calls[0].delayNs, 50'000'000u);

  // A monitor answering the wrong offset fails each attempt.
  fakeNative().exchanges.clear();
  fakeNative().respond = [](const testing::ExchangeCall&) {
    return ok(testing::capabilitiesReply(32, "late"));
  };
  got = transport.Capabilities(ctx, "0");
  EXPECT_EQ(got.Err.Message(),
            "DDC/CI failed after 3 attempts: DDC/CI capabilities offset mismatch: got 32, want 0");
  EXPECT_EQ(fakeNative().exchanges.size(), 3u);

  // Each fragment has its own budget of three attempts.
  fakeNative().respond = nullptr;
  fakeNative().outcomes = {failed(kBusy), failed(kBusy), ok(testing::capabilitiesReply(0, "ab")),
                           failed(kBusy), failed(kBusy), ok(testing::capabilitiesReply(2, ""))};
  got = transport.Capabilities(ctx, "0");
  EXPECT_FALSE(got.Err) << got.Err.Message();
  EXPECT_EQ(got.Value, "ab");
}

// Several reads or writes go out in order; a failed read leaves the others, a failed write stops
// the ones after it.
TEST_F(VCPOperationsTest, SeveralReadsAndWritesInOneCall) {
  fakeNative().exchanges.clear();
  fakeNative().outcomes = {ok(testing::vcpReply(0x10, 70)), ok(testing::vcpReply(0x12, 0, 1)),
                           ok(testing::vcpReply(0x14, 5))};
  const std::uint8_t codes[] = {0x10, 0x12, 0x14};
  const auto reads = transport.GetVCPs(ctx, "0", codes);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0].Value.Current, 70);
  EXPECT_EQ(reads[1].Err.Message(), "DDC/CI VCP feature is unsupported");
  EXPECT_EQ(reads[2].Value.Current, 5);

  fakeNative().exchanges.clear();
  fakeNative().outcomes = {ok({}), failed(kNoDevice)};
  const ddc::VCPWrite writes[] = {{0x10, 1}, {0x12, 2}, {0x14, 3}};
  const auto sent = transport.SetVCPs(ctx, "0", writes);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_FALSE(sent[0]);
  EXPECT_TRUE(sent[1]);
  std::vector<ddcci::Bytes> requests;
  for (const auto& call : fakeNative().exchanges) requests.push_back(call.request);
  EXPECT_EQ(requests,
            (std::vector<ddcci::Bytes>{ddcci::BuildSetVCP(0x10, 1), ddcci::BuildSetVCP(0x12, 2)}));
}

// One lock hold for the read and the write: no other open file can take the lock while the
// new value is computed, and nothing is written after a failed read.
TEST_F(VCPOperationsTest, AdjustReadsAndWritesUnderOneLock) {
  const std::string lockPath = home.locks() + "/ddc-00000000000000e1.lock";
  const struct {
    const char* name;
    std::deque<ExchangeOutcome> outcomes;
    std::uint16_t next;
    std::vector<ddcci::Bytes> requests;
    const char* want;
  } cases[] = {
      {"read then write",
       {ok(testing::vcpReply(0x10, 70)), ok({})},
       80,
       {ddcci::BuildGetVCP(0x10), ddcci::BuildSetVCP(0x10, 80)},
       ""},
      {"unchanged value is not written",
       {ok(testing::vcpReply(0x10, 70))},
       70,
       {ddcci::BuildGetVCP(0x10)},
       ""},
      {"failed read writes nothing",
       {ok(testing::vcpReply(0x10, 0, 1))},
       80,
       {ddcci::BuildGetVCP(0x10)},
       "DDC/CI VCP feature is unsupported"},
      {"failed write after a good read",
       {ok(testing::vcpReply(0x10, 70)), failed(kNoDevice)},
       80,
       {ddcci::BuildGetVCP(0x10), ddcci::BuildSetVCP(0x10, 80)},
       "monitor not found: IOKit DDC/CI transaction failed: 0xE00002C0 (stage=IOFramebuffer, "
       "write_cycle=0, chip=0x37, command=0x03)"},
  };
  for (const auto& c : cases) {
    fakeNative().exchanges.clear();
    fakeNative().outcomes = c.outcomes;
    bool lockedElsewhere = false;
    auto adjusted = transport.AdjustVCP(ctx, "0", 0x10, [&](const ddc::VCPValue& read) {
      const int fd = ::open(lockPath.c_str(), O_RDWR);
      lockedElsewhere = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
      if (fd >= 0) ::close(fd);
      EXPECT_EQ(read.Current, 70) << c.name;
      return c.next;
    });
    EXPECT_EQ(adjusted.Err.Message(), c.want) << c.name;
    std::vector<ddcci::Bytes> requests;
    for (const auto& call : fakeNative().exchanges) requests.push_back(call.request);
    EXPECT_EQ(requests, c.requests) << c.name;
    if (adjusted.Err) continue;
    EXPECT_TRUE(lockedElsewhere) << c.name;
    EXPECT_EQ(adjusted.Value.Previous.Code, 0x10) << c.name;
    EXPECT_EQ(adjusted.Value.Previous.Current, 70) << c.name;
    EXPECT_EQ(adjusted.Value.Value, c.next) << c.name;
    EXPECT_EQ(adjusted.Value.Written, c.next != 70) << c.name;
  }
}

// The quiet time after an exchange: the transport asks the bridge to leave each trailing pause
// to it and waits it out before the next exchange; a failed attempt sleeps it at once (so
// retries keep their spacing); only an operation that ends in success hands it to the lock.
TEST_F(VCPOperationsTest, QuietTimeIsHandedOverAfterSuccessOnly) {
  using namespace std::chrono_literals;
  static std::vector<support::Duration> handedOver;
  EndpointLockOptions lock = home.lockOptions();
  lock.HandOver = [](int, std::uint64_t until) {
    handedOver.push_back(support::Duration(until - MonotonicNanoseconds()));
    return true;
  };
  DarwinTransport quiet{DarwinTransportOptions{testing::fakeBridge(), support::Duration(0), lock}};
  ASSERT_FALSE(quiet.List(ctx).Err);
  const auto pause = [](ExchangeOutcome outcome) {
    outcome.trailingPauseNs = 60'000'000;
    return outcome;
  };
  ddcci::Bytes garbled = testing::vcpReply(0x10, 70);
  garbled.back() ^= 0xFF;
  const struct {
    const char* name;
    std::function<support::Error()> operation;
    std::deque<ExchangeOutcome> outcomes;
    bool succeeds;
  } cases[] = {
      {"get",
       [&] { return quiet.GetVCP(ctx, "0", 0x10).Err; },
       {pause(ok(testing::vcpReply(0x10, 70)))},
       true},
      {"set", [&] { return quiet.SetVCP(ctx, "0", 0x10, 5); }, {pause(ok({}))}, true},
      {"get after a garbled reply",
       [&] { return quiet.GetVCP(ctx, "0", 0x10).Err; },
       {pause(ok(garbled)), pause(ok(testing::vcpReply(0x10, 70)))},
       true},
      {"capabilities in two fragments",
       [&] { return quiet.Capabilities(ctx, "0").Err; },
       {pause(ok(testing::capabilitiesReply(0, "ab"))),
        pause(ok(testing::capabilitiesReply(2, "")))},
       true},
      {"get of an unsupported code",
       [&] { return quiet.GetVCP(ctx, "0", 0x10).Err; },
       {pause(ok(testing::vcpReply(0x10, 0, 1)))},
       false},
      {"failed exchange",
       [&] { return quiet.SetVCP(ctx, "0", 0x10, 5); },
       {failed(kNoDevice)},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    handedOver.clear();
    fakeNative().exchanges.clear();
    fakeNative().outcomes = c.outcomes;
    const auto start = support::Clock::now();
    EXPECT_EQ(!c.operation(), c.succeeds);
    const auto elapsed = support::Clock::now() - start;

    const auto& calls = fakeNative().exchanges;
    ASSERT_EQ(calls.size(), c.outcomes.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].flags & LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE,
                LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE);
    }
    for (std::size_t i = 1; i < calls.size(); ++i) {
      EXPECT_GE(calls[i].at - calls[i - 1].at, 60ms) << "exchange " << i;
    }
    const bool owes = c.outcomes.back().status == 0;
    if (c.succeeds) {
      ASSERT_EQ(handedOver.size(), 1u);
      EXPECT_GT(handedOver[0], 30ms);
      EXPECT_LE(handedOver[0], 60ms);
      EXPECT_LT(elapsed - (calls.back().at - calls.front().at), 30ms) << "slept the last pause";
    } else {
      EXPECT_TRUE(handedOver.empty());
      EXPECT_EQ(elapsed >= 60ms, owes);
    }
  }
}

// A read whose reply is no valid frame asks the next attempt for the port's other framing; a
// failed exchange or a write says nothing about the framing and keeps it.
TEST_F(VCPOperationsTest, ReadsWithoutAValidReplySwitchTheNextAttemptsFraming) {
  ddcci::Bytes zeros(11, 0);
  const struct {
    const char* name;
    std::function<support::Error()> operation;
    std::deque<ExchangeOutcome> outcomes;
    std::vector<bool> otherFraming;
  } cases[] = {
      {"get: zeros, zeros, reply",
       [&] { return transport.GetVCP(ctx, "0", 0x10).Err; },
       {ok(zeros), ok(zeros), ok(testing::vcpReply(0x10, 70))},
       {false, true, false}},
      {"get: busy, reply",
       [&] { return transport.GetVCP(ctx, "0", 0x10).Err; },
       {failed(kBusy), ok(testing::vcpReply(0x10, 70))},
       {false, false}},
      {"capabilities: zeros, last fragment",
       [&] { return transport.Capabilities(ctx, "0").Err; },
       {ok(ddcci::Bytes(38, 0)), ok(testing::capabilitiesReply(0, ""))},
       {false, true}},
      {"set: busy, accepted",
       [&] { return transport.SetVCP(ctx, "0", 0x10, 5); },
       {failed(kBusy), ok({})},
       {false, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fakeNative().exchanges.clear();
    fakeNative().outcomes = c.outcomes;
    EXPECT_FALSE(c.operation());
    const auto& calls = fakeNative().exchanges;
    ASSERT_EQ(calls.size(), c.otherFraming.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ((calls[i].flags & LUMRA_EXCHANGE_OTHER_FRAMING) != 0, c.otherFraming[i])
          << "attempt " << i + 1;
    }
  }
}

// A port with two framings starts each read and sends each write in the framing that last
// answered, kept in a file beside its lock; a write with none known reads once first, and a read
// that gets no valid reply in either framing forgets it.
TEST_F(VCPOperationsTest, APortWithTwoFramingsRemembersTheOneThatAnswered) {
  fakeNative().displays[0].port_flags = LUMRA_PORT_TWO_FRAMINGS;
  ASSERT_FALSE(transport.List(ctx).Err);
  const std::string port = "darwin:10AC:A0C4:12345678";
  const std::string file = home.locks() + "/ddc-00000000000000e1.framing";
  const ddcci::Bytes zeros(11, 0);
  const auto set = [&] { return transport.SetVCP(ctx, port, 0x10, 5); };
  const auto get = [&] { return transport.GetVCP(ctx, port, 0x10).Err; };
  const struct {
    const char* name;
    const char* before;  // null: no file
    std::function<support::Error()> operation;
    std::deque<ExchangeOutcome> outcomes;
    std::vector<bool> otherFraming;
    const char* after;
  } cases[] = {
      {"set: settles with one read",
       nullptr,
       set,
       {ok(zeros), ok(testing::vcpReply(0x10, 70)), ok({})},
       {false, true, true},
       "standard\n"},
      {"set: remembered", "standard\n", set, {ok({})}, {true}, "standard\n"},
      {"set: garbage is nothing",
       "standard",
       set,
       {ok(testing::vcpReply(0x10, 70)), ok({})},
       {false, false},
       "ps190\n"},
      {"set: unsupported code answers",
       nullptr,
       set,
       {ok(testing::vcpReply(0x10, 0, 1)), ok({})},
       {false, false},
       "ps190\n"},
      {"get: remembered stopped answering",
       "standard\n",
       get,
       {ok(zeros), ok(testing::vcpReply(0x10, 70))},
       {true, false},
       "ps190\n"},
      {"get: nothing answers",
       "ps190\n",
       get,
       {ok(zeros), ok(zeros), ok(zeros)},
       {false, true, false},
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(file);
    if (c.before != nullptr) {
      std::filesystem::create_directories(home.locks());
      std::ofstream(file) << c.before;
    }
    fakeNative().exchanges.clear();
    fakeNative().outcomes = c.outcomes;
    static_cast<void>(c.operation());
    const auto& calls = fakeNative().exchanges;
    ASSERT_EQ(calls.size(), c.otherFraming.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ((calls[i].flags & LUMRA_EXCHANGE_OTHER_FRAMING) != 0, c.otherFraming[i])
          << "exchange " << i + 1;
    }
    std::ifstream remembered(file);
    std::stringstream text;
    text << remembered.rdbuf();
    EXPECT_EQ(remembered.is_open() ? text.str() : "(none)",
              c.after != nullptr ? c.after : "(none)");
  }
  // A port with one framing leaves no file.
  fakeNative().outcomes = {ok({})};
  EXPECT_FALSE(transport.SetVCP(ctx, "darwin:10AC:A0C4:87654321", 0x10, 5));
  for (const auto& entry : std::filesystem::directory_iterator(home.locks())) {
    EXPECT_NE(entry.path().extension(), ".framing") << entry.path();
  }
}

TEST_F(VCPOperationsTest, SelectorsAndContextOrder) {
  auto [ended, cancel] = support::Context::WithCancel(ctx);
  cancel.Cancel();
  const std::string notFound = "monitor not found: nope";
  EXPECT_TRUE(transport.SetVCP(ended, "nope", 0x10, 1).SameAs(support::ErrCanceled()));
  EXPECT_TRUE(transport.AdjustVCP(ended, "nope", 0x10, [](const ddc::VCPValue&) { return 1; })
                  .Err.SameAs(support::ErrCanceled()));
  EXPECT_EQ(transport.GetVCP(ended, "nope", 0x10).Err.Message(), notFound);
  EXPECT_EQ(transport.Capabilities(ended, "nope").Err.Message(), notFound);

  // A known monitor with a free lock: the lock is taken and given back, no exchange is made.
  EXPECT_TRUE(transport.GetVCP(ended, "0", 0x10).Err.SameAs(support::ErrCanceled()));
  EXPECT_TRUE(transport.Capabilities(ended, "0").Err.SameAs(support::ErrCanceled()));
  EXPECT_TRUE(fakeNative().exchanges.empty());
  const int fd = ::open((home.locks() + "/ddc-00000000000000e1.lock").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ::close(fd);

  DarwinTransport noHome{DarwinTransportOptions{
      testing::fakeBridge(), {}, EndpointLockOptions{[](std::string_view) { return ""; }, {}}}};
  ASSERT_FALSE(noHome.List(ctx).Err);
  EXPECT_EQ(noHome.GetVCP(ctx, "0", 0x10).Err.Message(),
            "resolve user cache directory: $HOME is not defined");
}

TEST_F(VCPOperationsTest, CloseEmptiesTheCache) {
  EXPECT_FALSE(transport.Close());
  for (const char* selector : {"0", "darwin:10AC:A0C4:12345678"}) {
    const std::string want = std::string("monitor not found: ") + selector;
    EXPECT_EQ(transport.GetVCP(ctx, selector, 0x10).Err.Message(), want);
    EXPECT_EQ(transport.SetVCP(ctx, selector, 0x10, 1).Message(), want);
    EXPECT_EQ(transport.Capabilities(ctx, selector).Err.Message(), want);
  }
  EXPECT_TRUE(fakeNative().exchanges.empty());
}

// Twins without location or endpoint must each be reachable by the ID that List gave them.
TEST_F(VCPOperationsTest, TwinsAreReachedByTheirOwnIdentifier) {
  fakeNative().displays[0].serial_number = fakeNative().displays[1].serial_number = 0;
  fakeNative().displays[0].endpoint_id = fakeNative().displays[1].endpoint_id = 0;
  auto listed = transport.List(ctx);
  ASSERT_FALSE(listed.Err);
  ASSERT_EQ(listed.Value[1].ID, "darwin:10AC:A0C4:00000000#1");
  ASSERT_FALSE(transport.SetVCP(ctx, listed.Value[1].ID, 0xD6, 4));
  ASSERT_FALSE(transport.SetVCP(ctx, listed.Value[0].ID, 0xD6, 4));
  ASSERT_EQ(fakeNative().exchanges.size(), 2u);
  EXPECT_EQ(fakeNative().exchanges[0].chipAddress, 0x38u);
  EXPECT_EQ(fakeNative().exchanges[1].chipAddress, 0x37u);
}

}  // namespace
}  // namespace lumra::platform
