#include "cli/json_printer.hpp"

#include "cli/json_records.hpp"
#include "cli/version.hpp"

namespace lumra::cli {

using support::JSONWriter;

namespace {

RenderedResult Rendered(const JSONWriter& writer) { return {writer.Text(), writer.Failed()}; }

}  // namespace

int WriteJSONLine(std::ostream& out, const JSONWriter& encoded) {
  if (encoded.Failed()) return 1;
  std::string text = encoded.Text();
  text += '\n';
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  return out ? 0 : 1;
}

int JSONPrinter::PrintUsage(std::string_view usage) {
  JSONWriter writer;
  WriteTextRecord(writer, "usage", usage);
  return WriteJSONLine(out_, writer);
}

int JSONPrinter::PrintVersion() {
  JSONWriter writer;
  WriteTextRecord(writer, "version", kVersion);
  return WriteJSONLine(out_, writer);
}

int JSONPrinter::PrintMonitors(std::span<const ddc::Monitor> monitors) {
  JSONWriter writer;
  writer.BeginArray();
  for (const ddc::Monitor& monitor : monitors) WriteMonitorJSON(writer, monitor);
  writer.EndArray();
  return WriteJSONLine(out_, writer);
}

int JSONPrinter::PrintFeatures() {
  JSONWriter writer;
  writer.BeginArray();
  for (const ddc::Feature& feature : ddc::Features()) WriteFeatureJSON(writer, feature);
  writer.EndArray();
  return WriteJSONLine(out_, writer);
}

RenderedResult JSONPrinter::RenderValue(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                        const ddc::VCPValue& value) const {
  JSONWriter writer;
  WriteValueRecord(writer, monitor, feature, value);
  return Rendered(writer);
}

RenderedResult JSONPrinter::RenderSetResult(const ddc::Monitor& monitor,
                                            const ddc::Feature& feature,
                                            const SetOutcome& outcome) const {
  JSONWriter writer;
  WriteSetRecord(writer, monitor, feature, outcome);
  return Rendered(writer);
}

RenderedResult JSONPrinter::RenderAdjustResult(const ddc::Monitor& monitor,
                                               const ddc::Feature& feature,
                                               const ddc::VCPAdjustment& adjustment,
                                               const Verification& check) const {
  JSONWriter writer;
  WriteAdjustRecord(writer, monitor, feature, adjustment, check, true);
  return Rendered(writer);
}

RenderedResult JSONPrinter::RenderToggleResult(const ddc::Monitor& monitor,
                                               const ddc::Feature& feature,
                                               const ddc::VCPAdjustment& adjustment,
                                               const Verification& check) const {
  JSONWriter writer;
  WriteAdjustRecord(writer, monitor, feature, adjustment, check, false);
  return Rendered(writer);
}

RenderedResult JSONPrinter::RenderSaveResult(const ddc::Monitor& monitor,
                                             const ddc::ProfileMonitor& saved,
                                             std::string_view file) const {
  JSONWriter writer;
  WriteSaveRecord(writer, monitor, saved, file);
  return Rendered(writer);
}

RenderedResult JSONPrinter::RenderRestoreResult(const ddc::Monitor& monitor,
                                                const RestoreOutcome& outcome) const {
  JSONWriter writer;
  WriteRestoreRecord(writer, monitor, outcome);
  return Rendered(writer);
}

// Each object names its monitor, so the ID is never needed before it.
RenderedResult JSONPrinter::RenderCapabilities(const ddc::Monitor& monitor,
                                               std::string_view capabilityText, bool) const {
  return Rendered(CapabilitiesRecord(monitor, capabilityText));
}

int JSONPrinter::PrintResult(const RenderedResult& result) {
  if (result.Failed) return 1;
  JSONWriter writer;
  writer.Encoded(result.Text);
  return WriteJSONLine(out_, writer);
}

int JSONPrinter::PrintResults(std::span<const RenderedResult> results) {
  JSONWriter writer;
  writer.BeginArray();
  bool encoded = true;
  for (const RenderedResult& result : results) {
    encoded = encoded && !result.Failed;
    if (!result.Failed) writer.Encoded(result.Text);
  }
  writer.EndArray();
  const int status = WriteJSONLine(out_, writer);
  return encoded ? status : 1;
}

void JSONPrinter::Report(std::string_view category, std::string_view kind, std::string_view message,
                         std::string_view monitor) {
  JSONWriter writer(/*escapeHTML=*/true);
  WriteErrorRecord(writer, category, message, kind, monitor);
  err_ << writer.Text() << '\n';
  err_.flush();
}

}  // namespace lumra::cli
