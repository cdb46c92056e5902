#include "support/format.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace lumra::support {
namespace {

struct Case {
  std::string got;
  std::string want;
};

TEST(Format, Verbs) {
  const std::vector<std::uint8_t> frame = {0x6F, 0x88, 0x02};
  const std::vector<std::uint8_t> empty;
  const Error err = Error::New("monitor not found: 3");
  const Case cases[] = {
      {Format("%s and %s", "text", std::string("more")), "text and more"},
      {Format("%d", 42), "42"},
      {Format("%d", -7), "-7"},
      {Format("%d", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
      {Format("%d", std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
      {Format("%04d", -5), "-005"},
      {Format("%3d|", 7), "  7|"},
      {Format("0x%02X", 5), "0x05"},
      {Format("0x%02X", 16u), "0x10"},
      {Format("0x%02X", 427), "0x1AB"},
      {Format("%04X:%04X", 0x10AC, 0xA0C4), "10AC:A0C4"},
      {Format("%04X", std::uint16_t{0x1A}), "001A"},
      {Format("%08X", 0x12345u), "00012345"},
      {Format("%016X", std::uint64_t{0xABCDEF}), "0000000000ABCDEF"},
      {Format("%016X", std::numeric_limits<std::uint64_t>::max()), "FFFFFFFFFFFFFFFF"},
      {Format("%016x", std::uint64_t{0xABCDEF}), "0000000000abcdef"},
      {Format("%x", 255), "ff"},
      {Format("%X", 0), "0"},
      {Format("% X", frame), "6F 88 02"},
      {Format("%X", frame), "6F8802"},
      {Format("% x", frame), "6f 88 02"},
      {Format("[% X]", empty), "[]"},
      {Format("%s", err), "monitor not found: 3"},
      {Format("%v", err), "monitor not found: 3"},
      {Format("%q", "a\"b\\c\n"), "\"a\\\"b\\\\c\\n\""},
      {Format("%q", ""), "\"\""},
      {Format("100%%"), "100%"},
      {Format("no verbs"), "no verbs"},
      {Format("%s %d", "only"), "only %!d(MISSING)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.want);
  }
}

TEST(Format, ByteSpanAndSmallIntegers) {
  const std::uint8_t raw[] = {0x00, 0xFF, 0x0A};
  EXPECT_EQ(Format("% X", std::span<const std::uint8_t>(raw)), "00 FF 0A");
  EXPECT_EQ(Format("0x%02X", std::uint8_t{0x6E}), "0x6E");
  EXPECT_EQ(Format("%d", std::int8_t{-128}), "-128");
}

}  // namespace
}  // namespace lumra::support
