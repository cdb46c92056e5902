#include "cli/report.hpp"

#include <algorithm>

#include "ddc/errors.hpp"
#include "support/json.hpp"

namespace lumra::cli {

namespace {

constexpr int kUsageStatus = 2;
constexpr int kRuntimeStatus = 1;

// `monitor`, when not empty, is the ID of the one monitor of several that failed.
void writeErrorObject(std::ostream& err, std::string_view category, std::string_view message,
                      std::string_view kind, std::string_view monitor = {}) {
  support::JSONWriter writer(/*escapeHTML=*/true);
  writer.BeginObject();
  writer.Key("category");
  writer.String(category);
  writer.Key("error");
  writer.String(message);
  writer.Key("kind");
  writer.String(kind);
  if (!monitor.empty()) {
    writer.Key("monitor");
    writer.String(monitor);
  }
  writer.EndObject();
  err << writer.Text() << '\n';
  err.flush();
}

void writeRuntimeReport(std::ostream& err, bool jsonOutput, const std::string& message,
                        std::string_view category, std::string_view monitor = {}) {
  if (jsonOutput) {
    writeErrorObject(err, category, message, "runtime", monitor);
  } else {
    err << message << '\n';
    err.flush();
  }
}

}  // namespace

void writeError(std::ostream& err, bool jsonOutput, std::string_view kind, std::string_view message) {
  if (jsonOutput) {
    writeErrorObject(err, "invalid-argument", message, kind);
    return;
  }
  err << message << '\n';
  err.flush();
}

int usageError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
               std::string_view command) {
  writeError(err, parsed.json, "usage", catalog.Text("invalid_arguments", command));
  return kUsageStatus;
}

int targetError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                const support::Error& failure) {
  if (!support::Is(failure, ddc::ErrInvalidFeature)) {
    return runtimeError(err, parsed, catalog, failure);
  }
  // The feature error reads "invalid feature: <word as typed>"; report the word itself.
  const std::string prefix = ddc::ErrInvalidFeature.Message() + ": ";
  std::string_view word = failure.Message();
  if (word.substr(0, prefix.size()) == prefix) word.remove_prefix(prefix.size());
  writeError(err, parsed.json, "usage", catalog.Text("unknown_feature", word));
  return kUsageStatus;
}

int runtimeError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                 const support::Error& failure) {
  writeRuntimeReport(err, parsed.json, catalog.Text("operation_failed", failure),
                     ddc::ClassifyError(failure));
  return kRuntimeStatus;
}

int monitorError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                 std::string_view monitorID, const support::Error& failure) {
  const support::Error named = support::Errorf("%s: %w", monitorID, failure);
  writeRuntimeReport(err, parsed.json, catalog.Text("operation_failed", named),
                     ddc::ClassifyError(named), monitorID);
  return kRuntimeStatus;
}

int ambiguousNameError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                       std::string_view name, std::span<const std::string> matchedIDs) {
  std::string listed;
  for (const std::string& id : matchedIDs) listed += (listed.empty() ? "" : ", ") + id;
  const std::string message =
      catalog.Text("ambiguous_monitor_name", name, matchedIDs.size(), listed);
  // The selector is what must change, as for any argument the command cannot use.
  writeRuntimeReport(err, parsed.json, message, "invalid-argument");
  return kRuntimeStatus;
}

void writeLifecycleError(std::ostream& err, std::span<const std::string> arguments,
                         std::string_view prefix, const support::Error& failure) {
  const bool jsonOutput = std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
  writeRuntimeReport(err, jsonOutput, std::string(prefix) + ": " + failure.Message(),
                     ddc::ClassifyError(failure));
}

}  // namespace lumra::cli
