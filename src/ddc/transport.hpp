#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::ddc {

// The one interface between the front end and the hardware. Errors wrap the device-model or
// frame sentinels so ClassifyError can categorise them.
class Transport {
 public:
  virtual ~Transport() = default;

  // The monitor's whole capabilities string, assembled from its fragments.
  virtual support::Result<std::string> Capabilities(const support::Context& ctx,
                                                    std::string_view monitorID) = 0;
  // Releases the transport; called once at the end of the process.
  virtual support::Error Close() = 0;
  // Reads one feature; the value's Feature name is left empty.
  virtual support::Result<VCPValue> GetVCP(const support::Context& ctx, std::string_view monitorID,
                                           std::uint8_t code) = 0;
  // Discovers the monitors, in the order the list command prints them.
  virtual support::Result<std::vector<Monitor>> List(const support::Context& ctx) = 0;
  // Writes one feature; success means the command was sent, not that it was verified.
  virtual support::Error SetVCP(const support::Context& ctx, std::string_view monitorID,
                                std::uint8_t code, std::uint16_t value) = 0;
};

}  // namespace lumra::ddc
