#include "capabilities/vcp_codes.hpp"

#include <gtest/gtest.h>

#include "capabilities/parser.hpp"

namespace lumra::capabilities {
namespace {

TEST(ListedVCPCodes, ReadsTheVCPGroup) {
  using Codes = std::vector<std::uint8_t>;
  const struct {
    const char* text;
    std::optional<Codes> codes;
  } cases[] = {
      {"(prot(monitor)vcp(10 12 14(05 06) 60(0F 11) DF)mccs_ver(2.2))",
       Codes{0x10, 0x12, 0x14, 0x60, 0xDF}},
      {"(VCP(10 10 1a))", Codes{0x10, 0x1A}},
      {"(prot(monitor)vcp())", Codes{}},
      {"(prot(monitor)type(lcd))", std::nullopt},
      {"(vcp(10 1G))", std::nullopt},
      {"(vcp(100))", std::nullopt},
      // A "vcp" inside another group is not the monitor's list.
      {"(cmds(vcp(10)))", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto document = Parse(c.text);
    ASSERT_FALSE(document.Err) << c.text;
    EXPECT_EQ(ListedVCPCodes(document.Value), c.codes) << c.text;
  }
}

}  // namespace
}  // namespace lumra::capabilities
