#include "ddc/transport.hpp"

namespace lumra::ddc {

std::vector<support::Result<VCPValue>> Transport::GetVCPs(const support::Context& ctx,
                                                          std::string_view monitorID,
                                                          std::span<const std::uint8_t> codes) {
  std::vector<support::Result<VCPValue>> results;
  for (const std::uint8_t code : codes) results.push_back(GetVCP(ctx, monitorID, code));
  return results;
}

std::vector<support::Error> Transport::SetVCPs(const support::Context& ctx,
                                               std::string_view monitorID,
                                               std::span<const VCPWrite> writes) {
  std::vector<support::Error> results;
  for (const VCPWrite& write : writes) {
    results.push_back(SetVCP(ctx, monitorID, write.Code, write.Value, write.Source));
    if (results.back()) break;
  }
  return results;
}

}  // namespace lumra::ddc
