#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ddc/transport.hpp"
#include "support/format.hpp"

namespace lumra::testing {

// A scripted Transport that records every call, so tests can assert what reached the device.
class FakeTransport : public ddc::Transport {
 public:
  std::vector<ddc::Monitor> monitors;
  support::Error listError;
  ddc::VCPValue value;
  support::Error getError;
  support::Error setError;
  support::Error saveError;
  std::string capabilities;
  support::Error capabilitiesError;
  support::Error closeError;

  std::vector<std::string> calls;
  std::vector<support::Context> contexts;

  // Reads `value` (or fails with getError), then records the write of the computed value,
  // when it differs, in the same call entry (failing with setError).
  support::Result<ddc::VCPAdjustment> AdjustVCP(const support::Context& ctx,
                                                std::string_view monitorID, std::uint8_t code,
                                                const ddc::VCPUpdate& update) override {
    std::string call = support::Format("AdjustVCP %s 0x%02X", monitorID, code);
    if (getError) {
      record(ctx, std::move(call));
      return {{}, getError};
    }
    ddc::VCPAdjustment adjustment{value, 0, false};
    adjustment.Previous.Code = code;
    adjustment.Value = update(adjustment.Previous);
    adjustment.Written = adjustment.Value != value.Current;
    if (adjustment.Written) call += support::Format(" write %d", adjustment.Value);
    record(ctx, std::move(call));
    if (adjustment.Written && setError) return {{}, setError};
    return {adjustment, {}};
  }
  support::Result<std::string> Capabilities(const support::Context& ctx,
                                            std::string_view monitorID) override {
    record(ctx, support::Format("Capabilities %s", monitorID));
    return {capabilities, capabilitiesError};
  }
  support::Error Close() override {
    calls.push_back("Close");
    return closeError;
  }
  support::Result<ddc::VCPValue> GetVCP(const support::Context& ctx, std::string_view monitorID,
                                        std::uint8_t code) override {
    record(ctx, support::Format("GetVCP %s 0x%02X", monitorID, code));
    ddc::VCPValue read = value;
    read.Code = code;
    return {read, getError};
  }
  support::Result<std::vector<ddc::Monitor>> List(const support::Context& ctx) override {
    record(ctx, "List");
    return {monitors, listError};
  }
  support::Error SaveSettings(const support::Context& ctx, std::string_view monitorID) override {
    record(ctx, support::Format("SaveSettings %s", monitorID));
    return saveError;
  }
  support::Error SetVCP(const support::Context& ctx, std::string_view monitorID, std::uint8_t code,
                        std::uint16_t written,
                        std::uint8_t source = ddcci::kHostSourceAddress) override {
    std::string call = support::Format("SetVCP %s 0x%02X %d", monitorID, code, written);
    // Only a write from another source address says so, so the usual record stays short.
    if (source != ddcci::kHostSourceAddress) call += support::Format(" from 0x%02X", source);
    record(ctx, std::move(call));
    return setError;
  }

 private:
  // Calls for several monitors may come from several threads.
  void record(const support::Context& ctx, std::string call) {
    const std::lock_guard lock(mutex_);
    calls.push_back(std::move(call));
    contexts.push_back(ctx);
  }
  std::mutex mutex_;
};

// Two monitors: index 0 with every field, index 1 with only the mandatory ones.
inline std::vector<ddc::Monitor> sampleMonitors() {
  ddc::Monitor first;
  first.ID = "darwin:10AC:A0C4:12345678";
  first.Index = 0;
  first.Name = "Acme View 27";
  first.Manufacturer = "ACM";
  first.Model = "A0C4";
  first.Serial = "12345678";
  first.Connector = "dispext0";
  first.ConnectorType = "hdmi";
  first.CurrentMode = ddc::DisplayMode{2560, 1440, 59.951, 1280, 720};
  first.Backend = "iofb-i2c";
  first.Path = "IOService:/fb0";

  ddc::Monitor second;
  second.ID = "path:0123456789ab";
  second.Index = 1;
  second.Name = "Side <&> Screen";
  second.Backend = "iofb-i2c";
  return {first, second};
}

}  // namespace lumra::testing
