#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "ddc/profile.hpp"
#include "ddc/transport.hpp"
#include "i18n/catalog.hpp"
#include "support/error.hpp"

namespace lumra::cli {

// One monitor's result, rendered to be printed alone or among those of every monitor: a text
// line without its line feed, or an encoded JSON object.
struct RenderedResult {
  std::string Text;
  // The JSON object could not be encoded; it is left out and the command fails.
  bool Failed = false;
};

// What reading a written value back found.
enum class ReadBack {
  // Nothing was read back (no --verify).
  NotAsked,
  // The monitor reads the value written (inputs: its low byte).
  Confirmed,
  // After an input or power write the monitor stopped answering, as it does once it has
  // switched away from this computer or gone to standby: the write is not confirmed.
  StoppedAnswering,
};

// What followed a write: reading it back, and having the monitor save its settings.
struct Verification {
  ReadBack Outcome = ReadBack::NotAsked;
  // The value read back, when confirmed.
  std::uint16_t Value = 0;
  // Save Current Settings was sent after the write (--save-settings).
  bool Saved = false;
};

// What a set did: the value meant, whether it was sent (a power-on is not sent to a monitor
// that already reads on), and what reading it back found.
struct SetOutcome {
  std::uint16_t Value = 0;
  bool Written = true;
  Verification Check;
};

// One setting of a profile as restore wrote it, with what reading it back found.
struct RestoredSetting {
  ddc::ProfileSetting Setting;
  Verification Check;
};

// One setting restore could not write, and why.
struct FailedSetting {
  ddc::ProfileSetting Setting;
  support::Error Err;
};

// What restore did to one monitor: the settings written, in the order written; those that
// failed; those left as they are because they need --unsafe; and whether the monitor was then
// told to store its settings (--save-settings), or why that failed.
struct RestoreOutcome {
  std::vector<RestoredSetting> Written;
  std::vector<FailedSetting> Failed;
  std::vector<ddc::ProfileSetting> Skipped;
  bool Saved = false;
  support::Error SaveFailed;
};

// The one owner of what a command prints: results on the output stream and error reports on
// the error stream, all in the form chosen once from the options (text or JSON). Text is
// written and flushed in one piece per result or report; JSON is one document and a line feed.
class Printer {
 public:
  Printer(std::ostream& out, std::ostream& err, const i18n::Catalog& catalog)
      : out_(out), err_(err), catalog_(catalog) {}
  virtual ~Printer() = default;
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // Each returns the exit status: 0, or 1 when a JSON result could not be encoded or written.
  // Text output ignores write errors.
  virtual int PrintUsage(std::string_view usage) = 0;
  virtual int PrintVersion() = 0;
  // An empty list is what a command on every monitor prints when there is none.
  virtual int PrintMonitors(std::span<const ddc::Monitor> monitors) = 0;
  virtual int PrintFeatures() = 0;

  virtual RenderedResult RenderValue(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                     const ddc::VCPValue& value) const = 0;
  virtual RenderedResult RenderSetResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                         const SetOutcome& outcome) const = 0;
  virtual RenderedResult RenderAdjustResult(const ddc::Monitor& monitor,
                                            const ddc::Feature& feature,
                                            const ddc::VCPAdjustment& adjustment,
                                            const Verification& check) const = 0;
  virtual RenderedResult RenderToggleResult(const ddc::Monitor& monitor,
                                            const ddc::Feature& feature,
                                            const ddc::VCPAdjustment& adjustment,
                                            const Verification& check) const = 0;
  // The text form is the raw string, after the monitor's ID and a tab when `withID` is set.
  virtual RenderedResult RenderCapabilities(const ddc::Monitor& monitor,
                                            std::string_view capabilityText, bool withID) const = 0;
  // What save read from one monitor into the profile at `file`.
  virtual RenderedResult RenderSaveResult(const ddc::Monitor& monitor,
                                          const ddc::ProfileMonitor& saved,
                                          std::string_view file) const = 0;
  // The text form is a line per setting written or skipped; failures are reported apart.
  virtual RenderedResult RenderRestoreResult(const ddc::Monitor& monitor,
                                             const RestoreOutcome& outcome) const = 0;
  // One result as a single command prints it.
  virtual int PrintResult(const RenderedResult& result) = 0;
  // Several results in one write: their text lines, or one JSON array of their objects.
  virtual int PrintResults(std::span<const RenderedResult> results) = 0;

  // Error reports. A usage error (status 2) is categorised "invalid-argument"; a runtime error
  // (status 1) by ddc::ClassifyError. Write failures are ignored.

  // The catalog's message `key` with its one argument, as a usage error; returns 2.
  int Refuse(std::string_view key, std::string_view argument);
  // "invalid_arguments" for the command word; returns 2.
  int UsageError(std::string_view command);
  // An unknown feature word is a usage error (2); any other resolution failure is a runtime
  // error (1).
  int TargetError(const support::Error& failure);
  // "operation_failed" with the error's message; returns 1.
  int RuntimeError(const support::Error& failure);
  // The report of one monitor's failure among several: RuntimeError's, with the monitor's ID
  // before the error's message and, in JSON, under the key "monitor"; returns 1.
  int MonitorError(std::string_view monitorID, const support::Error& failure);
  // "ambiguous_monitor_name": a name that matched several monitors, given by their IDs; a
  // runtime error (1) categorised "invalid-argument", since the selector is what must change.
  int AmbiguousNameError(std::string_view name, std::span<const std::string> matchedIDs);
  // The failure of a write whose value did not stick: "value_not_applied" in the catalog's
  // language, wrapping ddc::kErrNotApplied.
  support::Error NotApplied(const ddc::Feature& feature, std::uint16_t written,
                            std::uint16_t read) const;
  // A profile document as it is, in either form: save's output when it names no file.
  int PrintDocument(std::string_view document);
  // A note on the error stream that changes no exit status: the setting of `monitor` that save
  // left out of the profile, since reading it failed. JSON gives it the kind "note".
  void NoteLeftOut(std::string_view monitor, const ddc::Feature& feature,
                   const support::Error& failure);
  // The failure of Save Current Settings after a monitor's writes: "settings_not_saved" in the
  // catalog's language, wrapping `failure` so that it keeps its category.
  support::Error NotSaved(const support::Error& failure) const;
  // `message` as it is, as a runtime error categorised by `failure`.
  void ReportFailure(std::string_view message, const support::Error& failure);

 protected:
  // One report on the error stream; `monitor`, when not empty, is the ID of the one monitor
  // of several that failed.
  virtual void Report(std::string_view category, std::string_view kind, std::string_view message,
                      std::string_view monitor) = 0;

  std::ostream& out_;
  std::ostream& err_;
  const i18n::Catalog& catalog_;
};

std::unique_ptr<Printer> NewPrinter(bool json, std::ostream& out, std::ostream& err,
                                    const i18n::Catalog& catalog);

// The report of a failure outside a command (closing the transport): "<prefix>: <message>",
// as JSON when any word is exactly "--json". The same in both languages.
void WriteLifecycleError(std::ostream& err, std::span<const std::string> arguments,
                         std::string_view prefix, const support::Error& failure);

}  // namespace lumra::cli
