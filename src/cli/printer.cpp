#include "cli/printer.hpp"

#include <algorithm>

#include "cli/json_printer.hpp"
#include "cli/text_printer.hpp"
#include "ddc/errors.hpp"

namespace lumra::cli {

namespace {

constexpr int kUsageStatus = 2;
constexpr int kRuntimeStatus = 1;
constexpr std::string_view kUsageCategory = "invalid-argument";
constexpr std::string_view kUsageKind = "usage";
constexpr std::string_view kRuntimeKind = "runtime";
constexpr std::string_view kNoteKind = "note";

}  // namespace

int Printer::Refuse(std::string_view key, std::string_view argument) {
  Report(kUsageCategory, kUsageKind, catalog_.Text(key, argument), {});
  return kUsageStatus;
}

int Printer::UsageError(std::string_view command) { return Refuse("invalid_arguments", command); }

int Printer::TargetError(const support::Error& failure) {
  if (!support::Is(failure, ddc::kErrInvalidFeature)) return RuntimeError(failure);
  // The feature error reads "invalid feature: <word as typed>"; report the word itself.
  const std::string prefix = ddc::kErrInvalidFeature.Message() + ": ";
  std::string_view word = failure.Message();
  if (word.substr(0, prefix.size()) == prefix) word.remove_prefix(prefix.size());
  return Refuse("unknown_feature", word);
}

int Printer::RuntimeError(const support::Error& failure) {
  ReportFailure(catalog_.Text("operation_failed", failure), failure);
  return kRuntimeStatus;
}

int Printer::MonitorError(std::string_view monitorID, const support::Error& failure) {
  const support::Error named = support::Errorf("%s: %w", monitorID, failure);
  Report(ddc::ClassifyError(named), kRuntimeKind, catalog_.Text("operation_failed", named),
         monitorID);
  return kRuntimeStatus;
}

int Printer::AmbiguousNameError(std::string_view name, std::span<const std::string> matchedIDs) {
  std::string listed;
  for (const std::string& id : matchedIDs) listed += (listed.empty() ? "" : ", ") + id;
  Report(kUsageCategory, kRuntimeKind,
         catalog_.Text("ambiguous_monitor_name", name, matchedIDs.size(), listed), {});
  return kRuntimeStatus;
}

support::Error Printer::NotApplied(const ddc::Feature& feature, std::uint16_t written,
                                   std::uint16_t read) const {
  return support::Error::Wrapping(
      catalog_.Text("value_not_applied", feature.Name, feature.Code, written, read),
      {ddc::kErrNotApplied});
}

int Printer::PrintDocument(std::string_view document) {
  out_ << document;
  out_.flush();
  return out_ ? 0 : kRuntimeStatus;
}

void Printer::NoteLeftOut(std::string_view monitor, const ddc::Feature& feature,
                          const support::Error& failure) {
  Report(ddc::ClassifyError(failure), kNoteKind,
         catalog_.Text("setting_left_out", monitor, feature.Name, feature.Code, failure), monitor);
}

support::Error Printer::NotSaved(const support::Error& failure) const {
  return support::Error::Wrapping(catalog_.Text("settings_not_saved", failure), {failure});
}

void Printer::ReportFailure(std::string_view message, const support::Error& failure) {
  Report(ddc::ClassifyError(failure), kRuntimeKind, message, {});
}

std::unique_ptr<Printer> NewPrinter(bool json, std::ostream& out, std::ostream& err,
                                    const i18n::Catalog& catalog) {
  if (json) return std::make_unique<JSONPrinter>(out, err, catalog);
  return std::make_unique<TextPrinter>(out, err, catalog);
}

void WriteLifecycleError(std::ostream& err, std::span<const std::string> arguments,
                         std::string_view prefix, const support::Error& failure) {
  const bool json = std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
  // The message is not translated, so any catalog serves.
  const i18n::Catalog catalog = i18n::New("en");
  NewPrinter(json, err, err, catalog)
      ->ReportFailure(std::string(prefix) + ": " + failure.Message(), failure);
}

}  // namespace lumra::cli
