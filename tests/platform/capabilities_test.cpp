#include "platform/capabilities.hpp"

#include <gtest/gtest.h>

#include "ddc/errors.hpp"

namespace lumra::platform {
namespace {

// Hands out scripted fragments in order, then fails, and records the offsets asked for.
struct ScriptedReader {
  std::vector<ddcci::Bytes> fragments;
  std::vector<std::uint16_t> offsets;

  support::Result<ddcci::Bytes> operator()(std::uint16_t offset) {
    offsets.push_back(offset);
    if (offsets.size() > fragments.size()) return {{}, support::Error::New("read past script")};
    return {fragments[offsets.size() - 1], {}};
  }
};

ddcci::Bytes bytes(const std::string& text) { return ddcci::Bytes(text.begin(), text.end()); }

TEST(ReadCapabilitiesFragmentsTest, Assembly) {
  const std::string full(32, 'x');
  const struct {
    const char* name;
    std::vector<ddcci::Bytes> fragments;
    std::string want;
    std::vector<std::uint16_t> wantOffsets;
  } cases[] = {
      {"empty first fragment", {{}}, "", {0}},
      {"zero byte ends the string", {{0x41, 0x42, 0x00, 0x43, 0x44}}, "AB", {0}},
      {"full fragments then empty", {bytes(full), bytes(full), {}}, full + full, {0, 32, 64}},
      {"short fragments advance by their length",
       {bytes("(prot"), bytes("(mon)"), {}},
       "(prot(mon)",
       {0, 5, 10}},
      {"bytes pass unconverted", {{0xE4, 0xB8, 0xAD, 0xFF}, {}}, "\xE4\xB8\xAD\xFF", {0, 4}},
  };
  for (const auto& c : cases) {
    ScriptedReader reader{c.fragments, {}};
    auto got = ReadCapabilitiesFragments(support::Context(), std::ref(reader));
    EXPECT_FALSE(got.Err) << c.name << ": " << got.Err.Message();
    EXPECT_EQ(got.Value, c.want) << c.name;
    EXPECT_EQ(reader.offsets, c.wantOffsets) << c.name;
  }
}

// 2048 fragments of 32 bytes fill 64 KiB; what the last one holds decides.
TEST(ReadCapabilitiesFragmentsTest, SixtyFourKiBLimit) {
  const ddcci::Bytes full(32, 'c');
  ddcci::Bytes endsAtLimit(full);
  endsAtLimit.push_back(0x00);
  ddcci::Bytes onePast(33, 'c');
  onePast.push_back(0x00);
  const struct {
    const char* name;
    ddcci::Bytes last;
    bool ok;
  } cases[] = {
      {"limit reached without terminator", full, false},
      {"zero byte exactly at the limit", endsAtLimit, true},
      {"zero byte one past the limit", onePast, false},
  };
  for (const auto& c : cases) {
    ScriptedReader reader{std::vector<ddcci::Bytes>(2047, full), {}};
    reader.fragments.push_back(c.last);
    reader.fragments.push_back({});
    auto got = ReadCapabilitiesFragments(support::Context(), std::ref(reader));
    EXPECT_EQ(reader.offsets.size(), 2048u) << c.name;
    EXPECT_EQ(got.Value.size(), c.ok ? 65536u : 0u) << c.name;
    EXPECT_EQ(got.Err.Message(), c.ok ? ""
                                      : "monitor protocol response is invalid: "
                                        "capabilities string exceeds 64 KiB")
        << c.name;
    EXPECT_EQ(support::Is(got.Err, ddc::kErrProtocol), !c.ok) << c.name;
  }
}

TEST(ReadCapabilitiesFragmentsTest, ReaderErrorAndContextEnd) {
  ScriptedReader reader{{bytes("abc")}, {}};
  auto got = ReadCapabilitiesFragments(support::Context(), std::ref(reader));
  EXPECT_EQ(got.Err.Message(), "read past script");
  EXPECT_TRUE(got.Value.empty()) << "a partial string is discarded";

  auto cancellable = support::Context::WithCancel(support::Context());
  support::CancelHandle& cancel = cancellable.second;
  int calls = 0;
  got = ReadCapabilitiesFragments(cancellable.first, [&](std::uint16_t) {
    ++calls;
    cancel.Cancel();
    return support::Result<ddcci::Bytes>{bytes("abc"), {}};
  });
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(got.Err.SameAs(support::ErrCanceled()));
}

}  // namespace
}  // namespace lumra::platform
