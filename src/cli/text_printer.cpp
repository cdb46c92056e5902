#include "cli/text_printer.hpp"

#include "cli/delta.hpp"
#include "cli/version.hpp"
#include "support/format.hpp"
#include "support/json.hpp"
#include "support/quote.hpp"

namespace lumra::cli {

std::string FormatDisplayMode(const std::optional<ddc::DisplayMode>& mode) {
  if (!mode || mode->Width == 0 || mode->Height == 0) return "-";
  std::string text = std::to_string(mode->Width) + "x" + std::to_string(mode->Height);
  // NaN compares false, so an unknown rate is left out like a zero one.
  if (mode->RefreshHz > 0) text += "@" + support::FormatPlainDecimal(mode->RefreshHz);
  return text;
}

std::string FormatConnectorType(std::string_view connectorType, const i18n::Catalog& catalog) {
  if (connectorType == "hdmi") return "HDMI";
  if (connectorType == "displayport") return "DisplayPort";
  if (connectorType == "dvi") return "DVI";
  if (connectorType == "vga") return "VGA";
  if (connectorType == "usb") return "USB";
  if (connectorType == "edp") return "eDP";
  if (connectorType == "lvds") return "LVDS";
  if (connectorType == "internal") return catalog.Text("connector_internal");
  if (connectorType == "virtual") return catalog.Text("connector_virtual");
  if (connectorType == "other") return catalog.Text("connector_other");
  return "-";
}

void TextPrinter::WriteWhole(std::ostream& stream, std::string_view text) {
  stream << text;
  stream.flush();
}

int TextPrinter::PrintUsage(std::string_view usage) {
  WriteWhole(out_, std::string(usage) + "\n");
  return 0;
}

int TextPrinter::PrintVersion() {
  WriteWhole(out_, "lumra " + std::string(kVersion) + "\n");
  return 0;
}

int TextPrinter::PrintMonitors(std::span<const ddc::Monitor> monitors) {
  if (monitors.empty()) {
    WriteWhole(out_, catalog_.Text("no_monitors") + "\n");
    return 0;
  }
  std::string text = catalog_.Text("monitor_header") + "\n";
  for (const ddc::Monitor& monitor : monitors) {
    text += support::Format("%d\t%s\t%s\t%s\t%s\t%s\n", monitor.Index,
                            support::OneLineField(monitor.ID), support::OneLineField(monitor.Name),
                            support::OneLineField(monitor.Backend),
                            FormatDisplayMode(monitor.CurrentMode),
                            FormatConnectorType(monitor.ConnectorType, catalog_));
  }
  WriteWhole(out_, text);
  return 0;
}

int TextPrinter::PrintFeatures() {
  std::string text = catalog_.Text("feature_header") + "\n";
  for (const ddc::Feature& feature : ddc::Features()) {
    text += support::Format("%s\t0x%02X\n", feature.Name, feature.Code);
  }
  WriteWhole(out_, text);
  return 0;
}

RenderedResult TextPrinter::RenderValue(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                        const ddc::VCPValue& value) const {
  switch (feature.Kind) {
    case ddc::ValueKind::Continuous:
      return {catalog_.Text("current_value", monitor.ID, value.Feature, value.Code, value.Current,
                            value.Maximum)};
    case ddc::ValueKind::NonContinuous:
      return {
          catalog_.Text("current_discrete", monitor.ID, value.Feature, value.Code, value.Current)};
    case ddc::ValueKind::Unknown:
      break;
  }
  return {catalog_.Text("current_unknown", monitor.ID, value.Feature, value.Code, value.Current,
                        value.Maximum)};
}

namespace {

// What the read-back found, as words after a written result; nothing when none was asked for.
std::string ReadBackSuffix(const i18n::Catalog& catalog, const Verification& check) {
  switch (check.Outcome) {
    case ReadBack::Confirmed:
      return catalog.Text("read_back", check.Value);
    case ReadBack::StoppedAnswering:
      return catalog.Text("stopped_answering");
    case ReadBack::NotAsked:
      break;
  }
  return {};
}

}  // namespace

RenderedResult TextPrinter::RenderSetResult(const ddc::Monitor& monitor,
                                            const ddc::Feature& feature,
                                            const SetOutcome& outcome) const {
  if (!outcome.Written) {
    return {catalog_.Text("set_unchanged", monitor.ID, feature.Name, feature.Code, outcome.Value)};
  }
  if (outcome.Check.Outcome == ReadBack::NotAsked) {
    return {catalog_.Text("write_ok", monitor.ID, feature.Name, feature.Code, outcome.Value)};
  }
  return {catalog_.Text("write_set", monitor.ID, feature.Name, feature.Code, outcome.Value) +
          ReadBackSuffix(catalog_, outcome.Check)};
}

RenderedResult TextPrinter::RenderAdjustResult(const ddc::Monitor& monitor,
                                               const ddc::Feature& feature,
                                               const ddc::VCPAdjustment& adjustment,
                                               const Verification& check) const {
  const std::uint16_t maximum = AdjustmentMaximum(adjustment.Previous.Maximum);
  if (!adjustment.Written) {
    return {catalog_.Text("adjust_unchanged", monitor.ID, feature.Name, feature.Code,
                          adjustment.Value, maximum)};
  }
  return {catalog_.Text("adjust_ok", monitor.ID, feature.Name, feature.Code,
                        adjustment.Previous.Current, adjustment.Value, maximum) +
          ReadBackSuffix(catalog_, check)};
}

RenderedResult TextPrinter::RenderToggleResult(const ddc::Monitor& monitor,
                                               const ddc::Feature& feature,
                                               const ddc::VCPAdjustment& adjustment,
                                               const Verification& check) const {
  if (!adjustment.Written) {
    return {catalog_.Text("toggle_unchanged", monitor.ID, feature.Name, feature.Code,
                          adjustment.Value)};
  }
  return {catalog_.Text("toggle_ok", monitor.ID, feature.Name, feature.Code,
                        adjustment.Previous.Current, adjustment.Value) +
          ReadBackSuffix(catalog_, check)};
}

RenderedResult TextPrinter::RenderSaveResult(const ddc::Monitor& monitor,
                                             const ddc::ProfileMonitor& saved,
                                             std::string_view file) const {
  return {catalog_.Text("profile_saved", monitor.ID, saved.Settings.size(),
                        support::OneLineField(file))};
}

RenderedResult TextPrinter::RenderRestoreResult(const ddc::Monitor& monitor,
                                                const RestoreOutcome& outcome) const {
  std::string lines;
  const auto add = [&lines](const std::string& line) {
    lines += (lines.empty() ? "" : "\n") + line;
  };
  for (const RestoredSetting& written : outcome.Written) {
    const ddc::ProfileSetting& setting = written.Setting;
    add(catalog_.Text("write_set", monitor.ID, setting.Feature.Name, setting.Feature.Code,
                      setting.Value) +
        ReadBackSuffix(catalog_, written.Check));
  }
  for (const ddc::ProfileSetting& skipped : outcome.Skipped) {
    add(catalog_.Text("restore_skipped", monitor.ID, skipped.Feature.Name, skipped.Feature.Code,
                      skipped.Value));
  }
  if (lines.empty() && outcome.Failed.empty()) add(catalog_.Text("restore_nothing", monitor.ID));
  return {lines};
}

RenderedResult TextPrinter::RenderCapabilities(const ddc::Monitor& monitor,
                                               std::string_view capabilityText, bool withID) const {
  RenderedResult rendered{withID ? support::OneLineField(monitor.ID) + "\t" : std::string()};
  rendered.Text += support::OneLineField(capabilityText);
  return rendered;
}

int TextPrinter::PrintResult(const RenderedResult& result) {
  WriteWhole(out_, result.Text + "\n");
  return 0;
}

int TextPrinter::PrintResults(std::span<const RenderedResult> results) {
  std::string text;
  // A monitor whose every setting failed has no line: its failures are reported apart.
  for (const RenderedResult& result : results) {
    if (!result.Text.empty()) text += result.Text + "\n";
  }
  WriteWhole(out_, text);
  return 0;
}

void TextPrinter::Report(std::string_view, std::string_view, std::string_view message,
                         std::string_view) {
  // A word the user typed may hold a line feed; the report stays one line.
  WriteWhole(err_, support::EscapeControls(message) + "\n");
}

}  // namespace lumra::cli
