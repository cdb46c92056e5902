#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/printer.hpp"

namespace lumra::cli {

std::string FormatDisplayMode(const std::optional<ddc::DisplayMode>& mode);
std::string FormatConnectorType(std::string_view connectorType, const i18n::Catalog& catalog);

// Results and reports as lines of text in the catalog's language.
class TextPrinter final : public Printer {
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

 private:
  // Writes `text` and flushes it, so it reaches the descriptor in one write.
  static void WriteWhole(std::ostream& stream, std::string_view text);
};

}  // namespace lumra::cli
