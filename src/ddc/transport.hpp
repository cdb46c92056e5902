#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "ddcci/protocol.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::ddc {

// The value to write, computed from the value read.
using VCPUpdate = std::function<std::uint16_t(const VCPValue& read)>;

// What a read-modify-write did: the value read (its Feature name left empty), the value
// computed from it, and whether that value was sent (it is not when it equals the current one).
struct VCPAdjustment {
  VCPValue Previous;
  std::uint16_t Value = 0;
  bool Written = false;
};

// One write of several sent together: the code, the value and the host source address it
// carries (Feature::WriteSource).
struct VCPWrite {
  std::uint8_t Code = 0;
  std::uint16_t Value = 0;
  std::uint8_t Source = ddcci::kHostSourceAddress;
};

// The one interface between the front end and the hardware. Errors wrap the device-model or
// frame sentinels so ClassifyError can categorise them. After List, the device operations may
// be called from several threads at once, one per monitor.
class Transport {
 public:
  virtual ~Transport() = default;

  // Reads one feature, computes its new value with `update` and writes it when it differs
  // from the current one, so that no other process reaches the monitor between the read and
  // the write. Success means the write, if any, was sent.
  virtual support::Result<VCPAdjustment> AdjustVCP(const support::Context& ctx,
                                                   std::string_view monitorID, std::uint8_t code,
                                                   const VCPUpdate& update) = 0;
  // The monitor's whole capabilities string, assembled from its fragments.
  virtual support::Result<std::string> Capabilities(const support::Context& ctx,
                                                    std::string_view monitorID) = 0;
  // Releases the transport; called once at the end of the process.
  virtual support::Error Close() = 0;
  // Reads one feature; the value's Feature name is left empty.
  virtual support::Result<VCPValue> GetVCP(const support::Context& ctx, std::string_view monitorID,
                                           std::uint8_t code) = 0;
  // Reads each code in turn: one result per code, in order. A transport that can holds the
  // monitor for all of them, so that no other process comes between and the quiet time after
  // each read passes here instead of being handed to another process. By default, GetVCP each.
  virtual std::vector<support::Result<VCPValue>> GetVCPs(const support::Context& ctx,
                                                         std::string_view monitorID,
                                                         std::span<const std::uint8_t> codes);
  // Discovers the monitors, in the order the list command prints them.
  virtual support::Result<std::vector<Monitor>> List(const support::Context& ctx) = 0;
  // Sends Save Current Settings, which has the monitor store its current values in its
  // non-volatile memory; success means the command was sent.
  virtual support::Error SaveSettings(const support::Context& ctx, std::string_view monitorID) = 0;
  // Writes one feature from the host source address `source` (Feature::WriteSource); success
  // means the command was sent, not that it was verified.
  virtual support::Error SetVCP(const support::Context& ctx, std::string_view monitorID,
                                std::uint8_t code, std::uint16_t value,
                                std::uint8_t source = ddcci::kHostSourceAddress) = 0;
  // Writes each value in turn, holding the monitor as GetVCPs does, and stops at the first
  // failure: one result per write sent, so a list shorter than `writes` ends with the failure
  // that stopped it. By default, SetVCP each.
  virtual std::vector<support::Error> SetVCPs(const support::Context& ctx,
                                              std::string_view monitorID,
                                              std::span<const VCPWrite> writes);
};

}  // namespace lumra::ddc
