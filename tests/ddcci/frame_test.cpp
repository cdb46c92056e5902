#include "ddcci/frame.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ddcci/errors.hpp"
#include "support/format.hpp"

namespace lumra::ddcci {
namespace {

// "6E 80 BE" → {0x6E, 0x80, 0xBE}.
Bytes Hex(const std::string& text) {
  Bytes out;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  return out;
}

std::string Spaced(const Bytes& bytes) { return support::Format("% X", bytes); }

const Bytes kBrightnessReply = Hex("6E 88 02 00 10 00 00 64 00 32 F2");

// Builds a well-formed reply around a payload, checksum included.
Bytes Reply(const Bytes& payload) {
  Bytes frame;
  // Reserved up front: GCC 12 at -O2 misreads an insert that grows a two-byte vector.
  frame.reserve(payload.size() + 3);
  frame.push_back(kDisplayWriteAddress);
  frame.push_back(static_cast<std::uint8_t>(kProtocolFlag | payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(Checksum(kHostVirtualAddress, frame));
  return frame;
}

TEST(BuildRequestTest, FramesAreByteExact) {
  const struct {
    const char* name;
    Bytes frame;
    const char* want;
  } cases[] = {
      {"get brightness", BuildGetVCP(0x10), "51 82 01 10 AC"},
      {"set brightness 50", BuildSetVCP(0x10, 50), "51 84 03 10 00 32 9A"},
      {"set high byte first", BuildSetVCP(0x10, 0x1234), "51 84 03 10 12 34 8E"},
      // The checksum covers the source byte as sent, whichever it is.
      {"set from the alternate source", BuildSetVCP(0xF4, 0x90, kAlternateSourceAddress),
       "50 84 03 F4 00 90 DD"},
      {"capabilities at 0", BuildCapabilitiesRequest(0), "51 83 F3 00 00 4F"},
      {"capabilities at 32", BuildCapabilitiesRequest(32), "51 83 F3 00 20 6F"},
      {"capabilities at 0x0120", BuildCapabilitiesRequest(0x0120), "51 83 F3 01 20 6E"},
      {"save current settings", BuildSaveSettings(), "51 81 0C B2"},
      {"empty payload", BuildRequest({}), "51 80 BF"},
  };
  for (const auto& c : cases) EXPECT_EQ(Spaced(c.frame), c.want) << c.name;
}

TEST(BuildRequestTest, ChecksumSeedsWithInitialByte) {
  EXPECT_EQ(Checksum(0x6E, {}), 0x6E);
  EXPECT_EQ(Checksum(0x50, Hex("6E 80")), 0xBE);
}

TEST(ParseVCPReplyTest, DecodesValidReply) {
  Bytes withTrailer = kBrightnessReply;
  withTrailer.push_back(0xFF);
  for (const Bytes& reply : {kBrightnessReply, withTrailer}) {
    const auto [value, err] = ParseVCPReply(reply, 0x10);
    ASSERT_FALSE(err) << err.Message();
    EXPECT_EQ(value.Current, 50);
    EXPECT_EQ(value.Maximum, 100);
    EXPECT_FALSE(value.Momentary);
    EXPECT_EQ(value.Raw, (std::array<std::uint8_t, 4>{0x00, 0x64, 0x00, 0x32}));
  }
}

TEST(ParseVCPReplyTest, DecodesBigEndianAndMomentary) {
  const auto [value, err] = ParseVCPReply(Reply(Hex("02 00 D6 01 AB CD 12 34")), 0xD6);
  ASSERT_FALSE(err) << err.Message();
  EXPECT_EQ(value.Maximum, 0xABCD);
  EXPECT_EQ(value.Current, 0x1234);
  EXPECT_TRUE(value.Momentary);
  EXPECT_EQ(value.Raw, (std::array<std::uint8_t, 4>{0xAB, 0xCD, 0x12, 0x34}));
}

struct FailureCase {
  const char* name;
  Bytes reply;
  std::uint8_t code;
  const support::Error* sentinel;
  std::string message;
  bool bare;  // the sentinel itself, not a wrapping error
};

TEST(ParseVCPReplyTest, RejectsBadReplies) {
  Bytes bad = kBrightnessReply;
  bad[0] = 0x6F;
  const FailureCase cases[] = {
      {"empty",
       {},
       0x10,
       &kErrInvalidLength,
       "DDC/CI reply has invalid length: reply is too short: 0",
       false},
      {"two bytes", Hex("6E 88"), 0x10, &kErrInvalidLength,
       "DDC/CI reply has invalid length: reply is too short: 2", false},
      {"wrong source", bad, 0x10, &kErrMalformedSource,
       "DDC/CI reply has malformed source: 0x6F in 6F 88 02 00 10 00 00 64 00 32 F2", false},
      {"no protocol flag", Hex("6E 08 02 00 10 00 00 64 00 32 72"), 0x10, &kErrInvalidProtocolFlag,
       "DDC/CI reply has invalid protocol flag: 0x08", false},
      {"truncated", Hex("6E 88 02 00 10 00 00 64 00 32"), 0x10, &kErrInvalidLength,
       "DDC/CI reply has invalid length: got 10 bytes, want 11", false},
      {"announces more than any reply", Hex("6E FF 00"), 0x10, &kErrInvalidLength,
       "DDC/CI reply has invalid length: got 3 bytes, want 130", false},
      {"null message", Hex("6E 80 BE"), 0x10, &kErrNullReply, "DDC/CI null response", true},
      {"null message bad checksum", Hex("6E 80 BF"), 0x10, &kErrChecksum,
       "DDC/CI checksum mismatch", true},
      {"bad checksum", Hex("6E 88 02 00 10 00 00 64 00 32 F3"), 0x10, &kErrChecksum,
       "DDC/CI checksum mismatch", true},
      {"payload of 7", Reply(Hex("02 00 10 00 00 64 00")), 0x10, &kErrUnexpectedOpcode,
       "DDC/CI reply has unexpected opcode: Get VCP payload 02 00 10 00 00 64 00", false},
      {"payload of 9", Reply(Hex("02 00 10 00 00 64 00 32 00")), 0x10, &kErrUnexpectedOpcode,
       "DDC/CI reply has unexpected opcode: Get VCP payload 02 00 10 00 00 64 00 32 00", false},
      {"wrong opcode", Reply(Hex("E3 00 10 00 00 64 00 32")), 0x10, &kErrUnexpectedOpcode,
       "DDC/CI reply has unexpected opcode: Get VCP payload E3 00 10 00 00 64 00 32", false},
      {"code mismatch", Reply(Hex("02 00 12 00 00 64 00 32")), 0x10, &kErrVCPCodeMismatch,
       "DDC/CI reply VCP code mismatch: got 0x12, want 0x10", false},
      {"mismatch before unsupported", Reply(Hex("02 01 12 00 00 00 00 00")), 0x10,
       &kErrVCPCodeMismatch, "DDC/CI reply VCP code mismatch: got 0x12, want 0x10", false},
      {"unsupported", Reply(Hex("02 01 10 00 00 00 00 00")), 0x10, &kErrUnsupportedVCP,
       "DDC/CI VCP feature is unsupported", true},
      {"result code 2", Reply(Hex("02 02 10 00 00 64 00 32")), 0x10, &kErrUnexpectedResult,
       "DDC/CI reply has unexpected result code: 0x02", false},
  };
  for (const auto& c : cases) {
    const auto [value, err] = ParseVCPReply(c.reply, c.code);
    ASSERT_TRUE(err) << c.name;
    EXPECT_EQ(err.Message(), c.message) << c.name;
    EXPECT_TRUE(support::Is(err, *c.sentinel)) << c.name;
    EXPECT_EQ(err.SameAs(*c.sentinel), c.bare) << c.name;
    EXPECT_EQ(value.Current, 0) << c.name;
    EXPECT_EQ(value.Maximum, 0) << c.name;
    EXPECT_FALSE(value.Momentary) << c.name;
    EXPECT_EQ(value.Raw, (std::array<std::uint8_t, 4>{})) << c.name;
  }
}

TEST(ParseCapabilitiesReplyTest, DecodesOffsetAndCopiesFragment) {
  Bytes reply = Reply(Hex("E3 01 20 28 76 63 70"));
  reply.push_back(0x00);  // trailing bytes after the checksum are ignored
  const auto [fragment, err] = ParseCapabilitiesReply(reply);
  ASSERT_FALSE(err) << err.Message();
  EXPECT_EQ(fragment.Offset, 0x0120);
  EXPECT_EQ(Spaced(fragment.Fragment), "28 76 63 70");
  reply[5] = 0x00;  // the fragment must not alias the reply buffer
  EXPECT_EQ(Spaced(fragment.Fragment), "28 76 63 70");
}

TEST(ParseCapabilitiesReplyTest, EmptyFragmentMarksTheEnd) {
  const auto [fragment, err] = ParseCapabilitiesReply(Reply(Hex("E3 00 00")));
  ASSERT_FALSE(err) << err.Message();
  EXPECT_EQ(fragment.Offset, 0);
  EXPECT_TRUE(fragment.Fragment.empty());
}

TEST(ParseCapabilitiesReplyTest, RejectsBadReplies) {
  const FailureCase cases[] = {
      {"short header", Reply(Hex("E3 00")), 0, &kErrUnexpectedOpcode,
       "DDC/CI reply has unexpected opcode: capabilities payload E3 00", false},
      {"wrong opcode", Reply(Hex("02 00 00 41")), 0, &kErrUnexpectedOpcode,
       "DDC/CI reply has unexpected opcode: capabilities payload 02 00 00 41", false},
      {"null message", Hex("6E 80 BE"), 0, &kErrNullReply, "DDC/CI null response", true},
      {"bad checksum", Hex("6E 83 E3 00 00 00"), 0, &kErrChecksum, "DDC/CI checksum mismatch",
       true},
  };
  for (const auto& c : cases) {
    const auto [fragment, err] = ParseCapabilitiesReply(c.reply);
    ASSERT_TRUE(err) << c.name;
    EXPECT_EQ(err.Message(), c.message) << c.name;
    EXPECT_TRUE(support::Is(err, *c.sentinel)) << c.name;
    EXPECT_EQ(err.SameAs(*c.sentinel), c.bare) << c.name;
    EXPECT_EQ(fragment.Offset, 0) << c.name;
    EXPECT_TRUE(fragment.Fragment.empty()) << c.name;
  }
}

// Every prefix of a valid reply fails cleanly without reading past what was received.
TEST(ParseReplyTest, EveryTruncationFails) {
  for (std::size_t size = 0; size < kBrightnessReply.size(); ++size) {
    const Bytes prefix(kBrightnessReply.begin(),
                       kBrightnessReply.begin() + static_cast<long>(size));
    const auto [value, err] = ParseVCPReply(prefix, 0x10);
    EXPECT_TRUE(support::Is(err, kErrInvalidLength)) << size;
  }
}

}  // namespace
}  // namespace lumra::ddcci
