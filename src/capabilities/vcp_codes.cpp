#include "capabilities/vcp_codes.hpp"

#include <algorithm>
#include <string_view>

#include "support/hex.hpp"

namespace lumra::capabilities {

namespace {

std::optional<std::uint8_t> HexCode(std::string_view token) {
  if (token.size() != 2) return std::nullopt;
  const int high = support::HexDigitValue(token[0]);
  const int low = support::HexDigitValue(token[1]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<std::uint8_t>(high << 4 | low);
}

bool IsVCPGroup(const Node& node) {
  return node.Name.size() == 3 && (node.Name[0] | 0x20) == 'v' && (node.Name[1] | 0x20) == 'c' &&
         (node.Name[2] | 0x20) == 'p';
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ListedVCPCodes(const Document& document) {
  const auto group = std::find_if(document.Children.begin(), document.Children.end(),
                                  [](const auto& child) { return IsVCPGroup(*child); });
  if (group == document.Children.end()) return std::nullopt;
  std::vector<std::uint8_t> codes;
  for (const Item& item : (*group)->Items) {
    const auto code = HexCode(item.Kind == "node" ? std::string_view(item.Node->Name)
                                                  : std::string_view(item.Token));
    if (!code) return std::nullopt;
    if (std::find(codes.begin(), codes.end(), *code) == codes.end()) codes.push_back(*code);
  }
  return codes;
}

}  // namespace lumra::capabilities
