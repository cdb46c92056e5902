#pragma once

#include <ostream>

#include "cli/printer.hpp"
#include "support/json.hpp"

namespace lumra::cli {

// Writes an encoded JSON value and a line feed in one write. 1 when encoding or writing
// failed (nothing is written for an encoding failure), 0 otherwise.
int WriteJSONLine(std::ostream& out, const support::JSONWriter& encoded);

// Results and reports as one JSON document each (cli/json_records writes them).
class JSONPrinter final : public Printer {
 public:
  using Printer::Printer;

  int PrintUsage(std::string_view usage) override;
  int PrintVersion() override;
  int PrintMonitors(std::span<const ddc::Monitor> monitors) override;
  int PrintFeatures() override;
  RenderedResult RenderValue(const ddc::Monitor& monitor, const ddc::Feature& feature,
                             const ddc::VCPValue& value) const override;
  RenderedResult RenderSetResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                 const SetOutcome& outcome) const override;
  RenderedResult RenderAdjustResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                    const ddc::VCPAdjustment& adjustment,
                                    const Verification& check) const override;
  RenderedResult RenderToggleResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                    const ddc::VCPAdjustment& adjustment,
                                    const Verification& check) const override;
  RenderedResult RenderCapabilities(const ddc::Monitor& monitor, std::string_view capabilityText,
                                    bool withID) const override;
  RenderedResult RenderSaveResult(const ddc::Monitor& monitor, const ddc::ProfileMonitor& saved,
                                  std::string_view file) const override;
  RenderedResult RenderRestoreResult(const ddc::Monitor& monitor,
                                     const RestoreOutcome& outcome) const override;
  int PrintResult(const RenderedResult& result) override;
  int PrintResults(std::span<const RenderedResult> results) override;

 protected:
  void Report(std::string_view category, std::string_view kind, std::string_view message,
              std::string_view monitor) override;
};

}  // namespace lumra::cli
