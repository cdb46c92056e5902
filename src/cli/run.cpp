#include "cli/run.hpp"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <initializer_list>
#include <optional>

#include "capabilities/parser.hpp"
#include "capabilities/vcp_codes.hpp"
#include "cli/delta.hpp"
#include "cli/descriptor_stream.hpp"
#include "cli/each_monitor.hpp"
#include "cli/options.hpp"
#include "cli/printer.hpp"
#include "cli/profile_files.hpp"
#include "cli/target.hpp"
#include "cli/wait.hpp"
#include "ddc/errors.hpp"
#include "ddc/profile.hpp"
#include "ddcci/errors.hpp"
#include "i18n/catalog.hpp"
#include "platform/ioav_framing_setting.hpp"
#include "platform/retry.hpp"
#include "support/environment.hpp"

namespace lumra::cli {

namespace {

// What every command needs besides its own words.
struct Command {
  const support::Context& Ctx;
  const Options& Parsed;
  Printer& Print;
  const i18n::Catalog& Catalog;
  ddc::Transport& Transport;
  // LUMRA_IOAV_FRAMING as set: only a command that reaches an IOAVService port reports a bad one.
  const platform::IOAVFramingSetting& Framing;
  // Where a profile named by a bare word lives; empty without a home folder.
  std::string_view ProfileFolder;
};

using CommandWords = std::span<const std::string>;

// Runs `task` on the selected monitor, or on every monitor at once for "all", and prints the
// results in list order; each failure gets its own report.
int Serve(const Command& cmd, const ddc::MonitorSelection& selection, const MonitorTask& task) {
  if (!selection.All) {
    auto outcome = task(selection.Monitors.front());
    if (outcome.Err) return cmd.Print.RuntimeError(outcome.Err);
    return cmd.Print.PrintResult(outcome.Value);
  }
  if (selection.Monitors.empty()) return cmd.Print.PrintMonitors({});

  const auto outcomes = ServeEach(selection.Monitors, task);
  std::vector<RenderedResult> succeeded;
  for (const auto& outcome : outcomes) {
    if (!outcome.Err) succeeded.push_back(outcome.Value);
  }
  int status = cmd.Print.PrintResults(succeeded);
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (outcomes[i].Err) status = cmd.Print.MonitorError(selection.Monitors[i].ID, outcomes[i].Err);
  }
  return status;
}

// Whether a selected monitor is reached over IOAVService, whose framing LUMRA_IOAV_FRAMING sets.
bool ReachesIOAVService(const ddc::MonitorSelection& selection) {
  for (const ddc::Monitor& monitor : selection.Monitors) {
    if (monitor.Backend == "ioavservice") return true;
  }
  return false;
}

// ResolveTarget, and with --wait again and again until every selected monitor is listed and
// answers a read, so that no write reaches a monitor before a read has.
support::Result<Target> ResolveWhenAnswering(const Command& cmd, std::string_view selector,
                                             std::string_view featureWord) {
  if (!cmd.Parsed.Wait) return ResolveTarget(cmd.Ctx, cmd.Transport, selector, featureWord);
  // A word that names no feature would fail the same way on every attempt.
  const auto feature = ddc::ParseFeature(featureWord);
  if (feature.Err) return {{}, feature.Err};
  Target target;
  const auto find = [&]() -> support::Result<std::vector<ddc::Monitor>> {
    auto resolved = ResolveTarget(cmd.Ctx, cmd.Transport, selector, featureWord);
    if (resolved.Err) return {{}, resolved.Err};
    target = std::move(resolved.Value);
    if (target.Selection.All && target.Selection.Monitors.empty()) return {{}, NoMonitorListed()};
    return {target.Selection.Monitors, {}};
  };
  const std::uint8_t code = ProbeCode(feature.Value);
  const auto probe = [&](const ddc::Monitor& monitor) {
    return cmd.Transport.GetVCP(cmd.Ctx, monitor.ID, code).Err;
  };
  if (auto failed = WaitForMonitors(cmd.Ctx, cmd.Catalog, cmd.Parsed.Timeout, find, probe)) {
    return {{}, failed};
  }
  return {std::move(target), {}};
}

// Resolves the monitor selector and feature word; reports a failed resolution, or a name that
// matched several monitors, and gives its status instead of a target.
std::optional<Target> ResolveOrReport(const Command& cmd, std::string_view selector,
                                      std::string_view featureWord, bool featureIsPlaceholder,
                                      int& status) {
  auto resolved = ResolveWhenAnswering(cmd, selector, featureWord);
  if (resolved.Err) {
    // A placeholder feature always resolves: only the monitor can fail then.
    status = featureIsPlaceholder ? cmd.Print.RuntimeError(resolved.Err)
                                  : cmd.Print.TargetError(resolved.Err);
    return std::nullopt;
  }
  const auto& matches = resolved.Value.Selection.NameMatches;
  if (!matches.empty()) {
    status = cmd.Print.AmbiguousNameError(selector, matches);
    return std::nullopt;
  }
  if (cmd.Framing.Err && ReachesIOAVService(resolved.Value.Selection)) {
    // The platform owns the variable and its valid values; the CLI only words the refusal.
    status = cmd.Print.Refuse("invalid_ioav_framing", cmd.Framing.Value);
    return std::nullopt;
  }
  return std::move(resolved.Value);
}

// The read path of get and capabilities: resolve the target, then read every selected monitor.
using PrepareRead = MonitorTask (*)(const Command& cmd, const Target& resolved);

int RunRead(const Command& cmd, std::string_view selector, std::string_view featureWord,
            bool featureIsPlaceholder, PrepareRead prepare) {
  int status = 0;
  const auto resolved = ResolveOrReport(cmd, selector, featureWord, featureIsPlaceholder, status);
  if (!resolved) return status;
  return Serve(cmd, resolved->Selection, prepare(cmd, *resolved));
}

MonitorTask PrepareGet(const Command& cmd, const Target& resolved) {
  return [&cmd, feature = resolved.Feature](
             const ddc::Monitor& monitor) -> support::Result<RenderedResult> {
    auto read = cmd.Transport.GetVCP(cmd.Ctx, monitor.ID, feature.Code);
    if (read.Err) return {{}, read.Err};
    read.Value.Feature = feature.Name;
    return {cmd.Print.RenderValue(monitor, feature, read.Value), {}};
  };
}

MonitorTask PrepareCapabilities(const Command& cmd, const Target& resolved) {
  // Several raw strings in a row could not be told apart without their monitors' IDs.
  return [&cmd, withID = resolved.Selection.All](
             const ddc::Monitor& monitor) -> support::Result<RenderedResult> {
    auto text = cmd.Transport.Capabilities(cmd.Ctx, monitor.ID);
    if (text.Err) return {{}, text.Err};
    return {cmd.Print.RenderCapabilities(monitor, text.Value, withID), {}};
  };
}

// Capabilities name no feature: one that always resolves stands in for it.
constexpr std::string_view kPlaceholderFeature = "brightness";

int RunGet(const Command& cmd, CommandWords args) {
  // Refused before any monitor is listed: its answer would mean nothing.
  const auto feature = ddc::ParseFeature(args[1]);
  if (!feature.Err && !feature.Value.Readable)
    return cmd.Print.Refuse("write_only", feature.Value.Name);
  return RunRead(cmd, args[0], args[1], false, PrepareGet);
}

int RunCapabilities(const Command& cmd, CommandWords args) {
  return RunRead(cmd, args[0], kPlaceholderFeature, true, PrepareCapabilities);
}

// A write command's own part: the write of one monitor made from the value words, or the
// first word that is invalid for the feature.
struct PreparedWrite {
  std::optional<MonitorTask> Task;
  std::string_view InvalidWord;
};
using PrepareWrite = PreparedWrite (*)(const Command& cmd, const ddc::Feature& feature,
                                       CommandWords values);

// What a write command asks of the feature besides being writable: whether it steps through
// values, which a choice such as an input source does not have, and whether it decides what to
// write from the value read (adjust reads too, but has always accepted any code).
enum class Steps { No, Yes };
enum class ReadsFirst { No, Yes };

// Refuses what may not be written, which the command line alone decides: the status of the
// refusal, or 0 to go ahead. A value's name has become its number, so every guard sees the number.
int RefuseWrite(const Command& cmd, const ddc::Feature& feature, const PreparedWrite& write,
                Steps steps, ReadsFirst readsFirst) {
  if (!write.Task) return cmd.Print.Refuse("invalid_value", write.InvalidWord);
  if (!feature.Writable) return cmd.Print.Refuse("read_only", feature.Name);
  if ((readsFirst == ReadsFirst::Yes || cmd.Parsed.Verify) && !ddc::ReadsBack(feature)) {
    return cmd.Print.Refuse(feature.Readable ? "not_readable" : "write_only", feature.Name);
  }
  // A raw code of unknown kind is the user's call, made with --unsafe.
  if (steps == Steps::Yes && feature.Kind == ddc::ValueKind::NonContinuous) {
    return cmd.Print.Refuse("discrete_values", feature.Name);
  }
  if (feature.Unsafe && !cmd.Parsed.Unsafe)
    return cmd.Print.Refuse("unsafe_required", feature.Name);
  return 0;
}

// The write path every write command shares: resolve the target, make the write from the value
// words, refuse what may not be written, start nothing once the deadline has passed, then write
// every selected monitor and print the results.
int RunWrite(const Command& cmd, CommandWords args, PrepareWrite prepare, Steps steps,
             ReadsFirst readsFirst) {
  // Waiting for a monitor could not change a refusal, so with --wait it comes first; an unknown
  // feature word is left to the resolution, which refuses it at once.
  if (cmd.Parsed.Wait) {
    if (const auto early = ddc::ParseFeature(args[1]); !early.Err) {
      const auto write = prepare(cmd, early.Value, args.subspan(2));
      if (const int refused = RefuseWrite(cmd, early.Value, write, steps, readsFirst)) {
        return refused;
      }
    }
  }
  int status = 0;
  const auto resolved = ResolveOrReport(cmd, args[0], args[1], false, status);
  if (!resolved) return status;
  const ddc::Feature& feature = resolved->Feature;

  const auto write = prepare(cmd, feature, args.subspan(2));
  if (const int refused = RefuseWrite(cmd, feature, write, steps, readsFirst)) return refused;
  // A write must not start once the deadline has passed: it could not be waited for.
  if (auto ended = cmd.Ctx.Err()) return cmd.Print.RuntimeError(ended);
  return Serve(cmd, resolved->Selection, *write.Task);
}

constexpr std::uint8_t kInputCode = 0x60;
constexpr std::uint8_t kPowerCode = 0xD6;
constexpr std::uint16_t kPowerOn = 1;

// Whether a value read equals the one meant; an input source compares on its low byte, since
// some monitors set the high byte of the value they report.
bool SameValue(const ddc::Feature& feature, std::uint16_t read, std::uint16_t meant) {
  if (feature.Code == kInputCode) return (read & 0xFF) == (meant & 0xFF);
  return read == meant;
}

// Reads the value written back, each read after the monitor's quiet time (the endpoint lock
// keeps it). A value that differs is read once more, since some monitors answer 0 right after
// a write, and then written again, up to the transport's attempt count in all.
support::Result<Verification> VerifyWrite(const Command& cmd, const ddc::Monitor& monitor,
                                          const ddc::Feature& feature, std::uint16_t value) {
  // Many monitors stop answering once they switch away from this computer or go to standby.
  const bool mayStopAnswering = feature.Code == kInputCode || feature.Code == kPowerCode;
  std::uint16_t read = 0;
  for (int written = 1;; ++written) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      auto got = cmd.Transport.GetVCP(cmd.Ctx, monitor.ID, feature.Code);
      if (got.Err) {
        if (mayStopAnswering && GotNoAnswer(got.Err)) return {{ReadBack::StoppedAnswering, 0}, {}};
        return {{}, got.Err};
      }
      read = got.Value.Current;
      if (SameValue(feature, read, value)) return {{ReadBack::Confirmed, read}, {}};
    }
    if (written == platform::kRetryAttempts) break;
    if (auto failed =
            cmd.Transport.SetVCP(cmd.Ctx, monitor.ID, feature.Code, value, feature.WriteSource)) {
      return {{}, failed};
    }
  }
  return {{}, cmd.Print.NotApplied(feature, value, read)};
}

// The read-back of a read-modify-write, when --verify asks for it and something was written.
support::Result<Verification> VerifyAdjustment(const Command& cmd, const ddc::Monitor& monitor,
                                               const ddc::Feature& feature,
                                               const ddc::VCPAdjustment& adjustment) {
  if (!cmd.Parsed.Verify || !adjustment.Written) return {{}, {}};
  return VerifyWrite(cmd, monitor, feature, adjustment.Value);
}

// After a monitor's writes (and their read-back), has it store its settings when
// --save-settings asks for it; whether Save Current Settings was sent. Nothing is saved when
// nothing was written: storing unchanged values would only wear the monitor's non-volatile
// memory. A failed save fails the monitor, though its values were sent.
support::Result<bool> SaveSettingsAfterWrites(const Command& cmd, const ddc::Monitor& monitor,
                                              bool written) {
  if (!cmd.Parsed.SaveSettings || !written) return {false, {}};
  if (auto failed = cmd.Transport.SaveSettings(cmd.Ctx, monitor.ID)) {
    return {false, cmd.Print.NotSaved(failed)};
  }
  return {true, {}};
}

// Sends the value unless it is power "on" and the monitor already reads on: resending it has
// left monitors unresponsive. A monitor in standby may not answer the read; it is written then.
support::Result<SetOutcome> WriteSet(const Command& cmd, const ddc::Monitor& monitor,
                                     const ddc::Feature& feature, std::uint16_t value) {
  if (feature.Code == kPowerCode && value == kPowerOn) {
    const auto keep = [](const ddc::VCPValue&) { return kPowerOn; };
    auto adjusted = cmd.Transport.AdjustVCP(cmd.Ctx, monitor.ID, feature.Code, keep);
    if (!adjusted.Err) {
      if (adjusted.Value.Written) return {{value, true, {}}, {}};
      return {{value, false, {ReadBack::Confirmed, adjusted.Value.Previous.Current}}, {}};
    }
    if (!GotNoAnswer(adjusted.Err)) return {{}, adjusted.Err};
  }
  if (auto failed =
          cmd.Transport.SetVCP(cmd.Ctx, monitor.ID, feature.Code, value, feature.WriteSource)) {
    return {{}, failed};
  }
  return {{value, true, {}}, {}};
}

PreparedWrite PrepareSet(const Command& cmd, const ddc::Feature& feature, CommandWords values) {
  const auto value = ParseSetValue(feature, values[0]);
  if (!value) return {std::nullopt, values[0]};
  return {[&cmd, feature,
           value = *value](const ddc::Monitor& monitor) -> support::Result<RenderedResult> {
            auto set = WriteSet(cmd, monitor, feature, value);
            if (set.Err) return {{}, set.Err};
            if (cmd.Parsed.Verify && set.Value.Written) {
              auto check = VerifyWrite(cmd, monitor, feature, value);
              if (check.Err) return {{}, check.Err};
              set.Value.Check = check.Value;
            }
            auto saved = SaveSettingsAfterWrites(cmd, monitor, set.Value.Written);
            if (saved.Err) return {{}, saved.Err};
            set.Value.Check.Saved = saved.Value;
            return {cmd.Print.RenderSetResult(monitor, feature, set.Value), {}};
          },
          {}};
}

PreparedWrite PrepareAdjust(const Command& cmd, const ddc::Feature& feature, CommandWords values) {
  const auto change = ParseDelta(values[0]);
  if (!change) return {std::nullopt, values[0]};
  return {
      [&cmd, feature,
       change = *change](const ddc::Monitor& monitor) -> support::Result<RenderedResult> {
        const auto update = [&change](const ddc::VCPValue& read) {
          return ApplyDelta(change, read.Current, read.Maximum);
        };
        auto adjusted = cmd.Transport.AdjustVCP(cmd.Ctx, monitor.ID, feature.Code, update);
        if (adjusted.Err) return {{}, adjusted.Err};
        auto check = VerifyAdjustment(cmd, monitor, feature, adjusted.Value);
        if (check.Err) return {{}, check.Err};
        auto saved = SaveSettingsAfterWrites(cmd, monitor, adjusted.Value.Written);
        if (saved.Err) return {{}, saved.Err};
        check.Value.Saved = saved.Value;
        return {cmd.Print.RenderAdjustResult(monitor, feature, adjusted.Value, check.Value), {}};
      },
      {}};
}

// The other of two values: the second when the monitor reads the first, else the first. Power
// "on" is thus never resent to a monitor that reads on.
PreparedWrite PrepareToggle(const Command& cmd, const ddc::Feature& feature, CommandWords values) {
  const auto first = ParseSetValue(feature, values[0]);
  if (!first) return {std::nullopt, values[0]};
  const auto second = ParseSetValue(feature, values[1]);
  if (!second) return {std::nullopt, values[1]};
  return {[&cmd, feature, first = *first,
           second = *second](const ddc::Monitor& monitor) -> support::Result<RenderedResult> {
            const auto other = [&feature, first, second](const ddc::VCPValue& read) {
              return SameValue(feature, read.Current, first) ? second : first;
            };
            auto toggled = cmd.Transport.AdjustVCP(cmd.Ctx, monitor.ID, feature.Code, other);
            if (toggled.Err) return {{}, toggled.Err};
            auto check = VerifyAdjustment(cmd, monitor, feature, toggled.Value);
            if (check.Err) return {{}, check.Err};
            auto saved = SaveSettingsAfterWrites(cmd, monitor, toggled.Value.Written);
            if (saved.Err) return {{}, saved.Err};
            check.Value.Saved = saved.Value;
            return {cmd.Print.RenderToggleResult(monitor, feature, toggled.Value, check.Value), {}};
          },
          {}};
}

int RunSet(const Command& cmd, CommandWords args) {
  return RunWrite(cmd, args, PrepareSet, Steps::No, ReadsFirst::No);
}

int RunAdjust(const Command& cmd, CommandWords args) {
  return RunWrite(cmd, args, PrepareAdjust, Steps::Yes, ReadsFirst::No);
}

int RunToggle(const Command& cmd, CommandWords args) {
  return RunWrite(cmd, args, PrepareToggle, Steps::No, ReadsFirst::Yes);
}

// A setting save could not read, and why.
struct LeftOut {
  ddc::Feature Feature;
  support::Error Err;
};

// What save read from one monitor.
struct SavedMonitor {
  ddc::ProfileMonitor Settings;
  std::vector<LeftOut> Notes;
  support::Error Err;
};

// Whether a failure means the monitor cannot be read at all now, so reading on is pointless.
bool EndsTheMonitor(const support::Error& err) {
  const auto category = ddc::ClassifyError(err);
  return category == "timeout" || category == "not-found-or-hotplug";
}

// The codes the monitor's capabilities list, or nothing when they cannot be read or parsed;
// the failure is returned only when the monitor cannot be read at all.
support::Result<std::optional<std::vector<std::uint8_t>>> ListedCodes(const Command& cmd,
                                                                      const ddc::Monitor& monitor) {
  auto text = cmd.Transport.Capabilities(cmd.Ctx, monitor.ID);
  if (text.Err) {
    if (EndsTheMonitor(text.Err)) return {{}, text.Err};
    return {std::nullopt, {}};
  }
  const auto document = capabilities::Parse(text.Value);
  if (document.Err) return {std::nullopt, {}};
  return {capabilities::ListedVCPCodes(document.Value), {}};
}

bool Lists(const std::optional<std::vector<std::uint8_t>>& codes, std::uint8_t code) {
  return !codes || std::find(codes->begin(), codes->end(), code) != codes->end();
}

// Reads the monitor's profile settings: those its capabilities list, or every one that answers
// when they cannot be read. A setting that fails is left out with a note; momentary ones never
// hold a value to restore. Input and picture mode are read only with --unsafe.
SavedMonitor ReadProfileSettings(const Command& cmd, const ddc::Monitor& monitor) {
  SavedMonitor saved;
  saved.Settings.ID = monitor.ID;
  saved.Settings.Name = monitor.Name;
  const auto listed = ListedCodes(cmd, monitor);
  if (listed.Err) {
    saved.Err = listed.Err;
    return saved;
  }
  for (const ddc::Feature& feature : ddc::ProfileFeatures()) {
    if ((feature.Unsafe && !cmd.Parsed.Unsafe) || !Lists(listed.Value, feature.Code)) continue;
    auto read = cmd.Transport.GetVCP(cmd.Ctx, monitor.ID, feature.Code);
    if (read.Err) {
      // Without a list of its features, a monitor says which it lacks by answering so.
      if (!listed.Value && ddc::ClassifyError(read.Err) == "unsupported") continue;
      if (EndsTheMonitor(read.Err)) {
        saved.Err = read.Err;
        return saved;
      }
      saved.Notes.push_back({feature, read.Err});
      continue;
    }
    if (!read.Value.Momentary) saved.Settings.Settings.push_back({feature, read.Value.Current});
  }
  // A monitor none of whose settings could be read has failed, not saved an empty profile.
  if (saved.Settings.Settings.empty() && !saved.Notes.empty()) saved.Err = saved.Notes.front().Err;
  return saved;
}

// The profile word's path; reports a bare word that has no folder to go to.
std::optional<std::string> ProfilePathOrReport(const Command& cmd, std::string_view word,
                                               std::string_view refusal, int& status) {
  auto path = ProfilePath(word, cmd.ProfileFolder);
  if (path.Err) {
    status = cmd.Print.Refuse(refusal, path.Err.Message());
    return std::nullopt;
  }
  return std::move(path.Value);
}

// save <monitor|all> [FILE]: reads every selected monitor at once, then writes one profile of
// those that could be read, at once, to FILE or standard output.
int RunSave(const Command& cmd, CommandWords args) {
  int status = 0;
  const std::string_view word = args.size() > 1 ? std::string_view(args[1]) : kStandardStream;
  const auto path = ProfilePathOrReport(cmd, word, "unwritable_profile", status);
  if (!path) return status;
  const auto resolved = ResolveOrReport(cmd, args[0], kPlaceholderFeature, true, status);
  if (!resolved) return status;
  const auto& monitors = resolved->Selection.Monitors;
  const std::function<SavedMonitor(const ddc::Monitor&)> read =
      [&cmd](const ddc::Monitor& monitor) { return ReadProfileSettings(cmd, monitor); };
  const auto outcomes = ServeEachAs(std::span<const ddc::Monitor>(monitors), read);

  ddc::Profile profile;
  std::vector<RenderedResult> results;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    for (const LeftOut& note : outcomes[i].Notes) {
      cmd.Print.NoteLeftOut(monitors[i].ID, note.Feature, note.Err);
    }
    if (outcomes[i].Err) {
      status = resolved->Selection.All ? cmd.Print.MonitorError(monitors[i].ID, outcomes[i].Err)
                                       : cmd.Print.RuntimeError(outcomes[i].Err);
      continue;
    }
    profile.Monitors.push_back(outcomes[i].Settings);
    results.push_back(cmd.Print.RenderSaveResult(monitors[i], outcomes[i].Settings, *path));
  }
  // Nothing to save replaces no file: a profile of no monitor restores nothing.
  if (profile.Monitors.empty()) return monitors.empty() ? cmd.Print.PrintMonitors({}) : status;
  const std::string document = ddc::EncodeProfile(profile);
  if (*path == kStandardStream) return std::max(status, cmd.Print.PrintDocument(document));
  if (auto failed = WriteProfileText(*path, document, cmd.ProfileFolder)) {
    return cmd.Print.RuntimeError(support::Errorf("write %s: %w", *path, failed));
  }
  const int printed = resolved->Selection.All ? cmd.Print.PrintResults(results)
                                              : cmd.Print.PrintResult(results.front());
  return std::max(status, printed);
}

// The profile's settings for each monitor restore writes, and the failures of monitors it
// names that are not there.
struct RestorePlan {
  std::vector<ddc::Monitor> Monitors;
  std::vector<const ddc::ProfileMonitor*> Settings;
  std::vector<support::Error> Missing;
  std::vector<std::string> MissingIDs;
};

const ddc::ProfileMonitor* SettingsFor(const ddc::Profile& profile, std::string_view monitorID) {
  // A profile of one monitor may go to any monitor, such as an identical twin.
  if (profile.Monitors.size() == 1) return &profile.Monitors.front();
  for (const ddc::ProfileMonitor& entry : profile.Monitors) {
    if (entry.ID == monitorID) return &entry;
  }
  return nullptr;
}

// Lists the monitors; with --wait, again until every monitor of the profile is listed and
// answers, since a desk that wakes brings its monitors back one by one.
support::Result<std::vector<ddc::Monitor>> ListProfileMonitors(const Command& cmd,
                                                               const ddc::Profile& profile) {
  if (!cmd.Parsed.Wait) return cmd.Transport.List(cmd.Ctx);
  std::vector<ddc::Monitor> listed;
  const auto find = [&]() -> support::Result<std::vector<ddc::Monitor>> {
    auto found = cmd.Transport.List(cmd.Ctx);
    if (found.Err) return {{}, found.Err};
    listed = std::move(found.Value);
    std::vector<ddc::Monitor> named;
    for (const ddc::ProfileMonitor& entry : profile.Monitors) {
      const auto match = std::find_if(listed.begin(), listed.end(),
                                      [&entry](const ddc::Monitor& m) { return m.ID == entry.ID; });
      if (match == listed.end()) {
        return {{}, support::Errorf("%w: %s", ddc::kErrMonitorNotFound, entry.ID)};
      }
      named.push_back(*match);
    }
    return {std::move(named), {}};
  };
  // Brightness, which nearly every monitor has: any answer to it proves the monitor is awake.
  const std::uint8_t code = ProbeCode(ddc::ParseFeature("brightness").Value);
  const auto probe = [&](const ddc::Monitor& monitor) {
    return cmd.Transport.GetVCP(cmd.Ctx, monitor.ID, code).Err;
  };
  if (auto failed = WaitForMonitors(cmd.Ctx, cmd.Catalog, cmd.Parsed.Timeout, find, probe)) {
    return {{}, failed};
  }
  return {std::move(listed), {}};
}

// Without a selector: every monitor of the profile, by ID; with one: the monitors it selects.
std::optional<RestorePlan> PlanRestore(const Command& cmd, const ddc::Profile& profile,
                                       const std::string& path, CommandWords args, int& status) {
  RestorePlan plan;
  if (args.size() < 2) {
    auto listed = ListProfileMonitors(cmd, profile);
    if (listed.Err) {
      status = cmd.Print.RuntimeError(listed.Err);
      return std::nullopt;
    }
    for (const ddc::ProfileMonitor& entry : profile.Monitors) {
      const auto found = std::find_if(listed.Value.begin(), listed.Value.end(),
                                      [&entry](const ddc::Monitor& m) { return m.ID == entry.ID; });
      if (found != listed.Value.end()) {
        plan.Monitors.push_back(*found);
        plan.Settings.push_back(&entry);
      } else {
        plan.MissingIDs.push_back(entry.ID);
        plan.Missing.push_back(support::Errorf("%w: %s", ddc::kErrMonitorNotFound, entry.ID));
      }
    }
    return plan;
  }
  const auto resolved = ResolveOrReport(cmd, args[1], kPlaceholderFeature, true, status);
  if (!resolved) return std::nullopt;
  for (const ddc::Monitor& monitor : resolved->Selection.Monitors) {
    if (const ddc::ProfileMonitor* entry = SettingsFor(profile, monitor.ID)) {
      plan.Monitors.push_back(monitor);
      plan.Settings.push_back(entry);
    } else {
      plan.MissingIDs.push_back(monitor.ID);
      plan.Missing.push_back(
          support::Errorf("%w in %s: %s", ddc::kErrMonitorNotFound, path, monitor.ID));
    }
  }
  return plan;
}

// Writes the monitor's settings in the profile's order, each read back when --verify asks. A
// failure that leaves the monitor unreachable fails the settings after it too.
RestoreOutcome RestoreMonitor(const Command& cmd, const ddc::Monitor& monitor,
                              const ddc::ProfileMonitor& entry) {
  RestoreOutcome outcome;
  support::Error unreachable;
  for (const ddc::ProfileSetting& setting : entry.Settings) {
    const ddc::Feature& feature = setting.Feature;
    if (feature.Unsafe && !cmd.Parsed.Unsafe) {
      outcome.Skipped.push_back(setting);
      continue;
    }
    if (!unreachable) unreachable = cmd.Ctx.Err();
    if (unreachable) {
      outcome.Failed.push_back({setting, unreachable});
      continue;
    }
    if (auto failed = cmd.Transport.SetVCP(cmd.Ctx, monitor.ID, feature.Code, setting.Value,
                                           feature.WriteSource)) {
      if (EndsTheMonitor(failed) || GotNoAnswer(failed)) unreachable = failed;
      outcome.Failed.push_back({setting, failed});
      continue;
    }
    Verification check;
    if (cmd.Parsed.Verify) {
      auto verified = VerifyWrite(cmd, monitor, feature, setting.Value);
      if (verified.Err) {
        outcome.Failed.push_back({setting, verified.Err});
        continue;
      }
      check = verified.Value;
    }
    outcome.Written.push_back({setting, check});
  }
  auto saved = SaveSettingsAfterWrites(cmd, monitor, !outcome.Written.empty());
  outcome.Saved = saved.Value;
  outcome.SaveFailed = saved.Err;
  return outcome;
}

// Reads and checks the whole profile before any monitor is listed or touched.
std::optional<ddc::Profile> ReadProfileOrReport(const Command& cmd, const std::string& path,
                                                int& status) {
  auto text = ReadProfileText(path);
  if (text.Err) {
    status = cmd.Print.Refuse("unreadable_profile", path + ": " + text.Err.Message());
    return std::nullopt;
  }
  auto profile = ddc::ParseProfile(text.Value);
  if (profile.Err) {
    status = cmd.Print.Refuse("invalid_profile", path + ": " + profile.Err.Message());
    return std::nullopt;
  }
  return std::move(profile.Value);
}

// restore FILE [monitor|all]: writes a profile back, every monitor at once; lists per monitor
// what was written and reports each failure; status 1 when anything failed.
int RunRestore(const Command& cmd, CommandWords args) {
  int status = 0;
  const auto path = ProfilePathOrReport(cmd, args[0], "unreadable_profile", status);
  if (!path) return status;
  const auto profile = ReadProfileOrReport(cmd, *path, status);
  if (!profile) return status;
  const auto plan = PlanRestore(cmd, *profile, *path, args, status);
  if (!plan) return status;
  // A write must not start once the deadline has passed: it could not be waited for.
  if (auto ended = cmd.Ctx.Err()) return cmd.Print.RuntimeError(ended);

  const std::function<RestoreOutcome(const ddc::Monitor&)> restore =
      [&cmd, &plan](const ddc::Monitor& monitor) {
        const std::size_t index = static_cast<std::size_t>(&monitor - plan->Monitors.data());
        return RestoreMonitor(cmd, monitor, *plan->Settings[index]);
      };
  const auto outcomes = ServeEachAs(std::span<const ddc::Monitor>(plan->Monitors), restore);
  std::vector<RenderedResult> results;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    results.push_back(cmd.Print.RenderRestoreResult(plan->Monitors[i], outcomes[i]));
  }
  status = cmd.Print.PrintResults(results);
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    for (const FailedSetting& failed : outcomes[i].Failed) {
      const ddc::Feature& feature = failed.Setting.Feature;
      status = cmd.Print.MonitorError(
          plan->Monitors[i].ID,
          support::Errorf("%s (0x%02X): %w", feature.Name, feature.Code, failed.Err));
    }
  }
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (outcomes[i].SaveFailed) {
      status = cmd.Print.MonitorError(plan->Monitors[i].ID, outcomes[i].SaveFailed);
    }
  }
  for (std::size_t i = 0; i < plan->Missing.size(); ++i) {
    status = cmd.Print.MonitorError(plan->MissingIDs[i], plan->Missing[i]);
  }
  return status;
}

// With --wait, lists again until at least one monitor is listed.
support::Result<std::vector<ddc::Monitor>> ListWhenListed(const Command& cmd) {
  if (!cmd.Parsed.Wait) return cmd.Transport.List(cmd.Ctx);
  std::vector<ddc::Monitor> monitors;
  const auto find = [&]() -> support::Result<std::vector<ddc::Monitor>> {
    auto listed = cmd.Transport.List(cmd.Ctx);
    if (listed.Err) return {{}, listed.Err};
    if (listed.Value.empty()) return {{}, NoMonitorListed()};
    monitors = std::move(listed.Value);
    // Listing asks nothing of a monitor, so none is probed.
    return {{}, {}};
  };
  const auto probeNone = [](const ddc::Monitor&) { return support::Error(); };
  if (auto failed = WaitForMonitors(cmd.Ctx, cmd.Catalog, cmd.Parsed.Timeout, find, probeNone)) {
    return {{}, failed};
  }
  return {std::move(monitors), {}};
}

int RunList(const Command& cmd, CommandWords) {
  auto listed = ListWhenListed(cmd);
  if (listed.Err) return cmd.Print.RuntimeError(listed.Err);
  return cmd.Print.PrintMonitors(listed.Value);
}

int RunFeatures(const Command& cmd, CommandWords) { return cmd.Print.PrintFeatures(); }

// One row per command: its word, another word for it, the catalog key of the words its usage
// line shows after the command (none when it takes none), how many words follow it (at least
// and at most), and what runs it. Rows are in the order the usage lists them.
struct CommandRow {
  std::string_view Name;
  std::string_view Alias;
  std::string_view UsageKey;
  std::size_t Words;
  std::size_t MostWords;
  int (*Run)(const Command& cmd, CommandWords args);
};

constexpr CommandRow kCommands[] = {
    {"list", {}, {}, 0, 0, RunList},
    {"get", {}, "usage_get", 2, 2, RunGet},
    {"set", {}, "usage_set", 3, 3, RunSet},
    {"adjust", {}, "usage_adjust", 3, 3, RunAdjust},
    {"toggle", {}, "usage_toggle", 4, 4, RunToggle},
    {"capabilities", "caps", "usage_capabilities", 1, 1, RunCapabilities},
    {"save", {}, "usage_save", 1, 2, RunSave},
    {"restore", {}, "usage_restore", 1, 2, RunRestore},
    {"features", {}, {}, 0, 0, RunFeatures},
};

// The usage text: the header, one line per command, and the footer, without a final line feed.
std::string UsageText(const i18n::Catalog& catalog) {
  std::string usage = catalog.Text("usage_header") + "\n";
  for (const CommandRow& row : kCommands) {
    usage += "  " + std::string(row.Name);
    if (!row.UsageKey.empty()) usage += " " + catalog.Text(row.UsageKey);
    usage += "\n";
  }
  return usage + "\n" + catalog.Text("usage_footer");
}

const CommandRow* FindCommand(std::string_view word) {
  for (const CommandRow& row : kCommands) {
    if (row.Name == word || (!row.Alias.empty() && row.Alias == word)) return &row;
  }
  return nullptr;
}

bool AsksForUsage(std::span<const std::string> commandArguments) {
  if (commandArguments.empty()) return true;
  const std::string& first = commandArguments.front();
  return first == "help" || first == "--help" || first == "-h";
}

// The first non-empty text, or the empty text.
std::string FirstNonEmpty(std::initializer_list<std::string> values) {
  for (const std::string& value : values) {
    if (!value.empty()) return value;
  }
  return {};
}

// Runs the command line with the printer chosen for it.
int RunCommandLine(const support::Context& ctx, const ParsedCommandLine& commandLine,
                   const i18n::Catalog& catalog, Printer* printer, ddc::Transport& transport,
                   const EnvironmentLookup& getenv) {
  const Options& parsed = commandLine.Parsed;
  if (commandLine.Error) return printer->Refuse(commandLine.Error->Key, commandLine.Error->Value);
  if (parsed.Version) return printer->PrintVersion();
  const std::span<const std::string> words = commandLine.CommandArguments;
  if (AsksForUsage(words)) return printer->PrintUsage(UsageText(catalog));

  // One deadline bounds the whole command: listing, resolution and the device operation.
  auto [deadline, release] = support::Context::WithTimeout(ctx, parsed.Timeout);
  const platform::IOAVFramingSetting framing = platform::ReadIOAVFraming(getenv);
  const std::string profileFolder = ProfileFolder(getenv("HOME"));
  const Command cmd{deadline, parsed, *printer, catalog, transport, framing, profileFolder};

  const std::string& name = words.front();
  const CommandRow* row = FindCommand(name);
  if (row == nullptr) return printer->Refuse("unknown_command", name);
  const CommandWords args = words.subspan(1);
  if (args.size() < row->Words || args.size() > row->MostWords) return printer->UsageError(name);
  return row->Run(cmd, args);
}

// A result that could not be written is a failure like any other, reported on standard error
// (as far as that can be written). A reader that closed the pipe early asked for no more: the
// process ends quietly, as the signal would have ended it had it not been ignored.
int ReportLostOutput(std::ostream& out, Printer& printer, int status) {
  if (out) return status;
  const int failed = WriteErrno(out);
  out.clear();
  if (failed == EPIPE) return status == 0 ? 1 : status;
  const support::Error cause =
      failed != 0 ? support::Error::FromErrno(failed) : support::Error::New("output error");
  printer.RuntimeError(support::Errorf("write standard output: %w", cause));
  return 1;
}

}  // namespace

int Run(const support::Context& ctx, std::span<const std::string> arguments, std::ostream& out,
        std::ostream& err, ddc::Transport& transport, EnvironmentLookup getenv) {
  if (!getenv) getenv = support::Getenv;
  ParsedCommandLine commandLine = ParseOptions(arguments);
  Options& parsed = commandLine.Parsed;
  if (parsed.Locale.empty()) {
    parsed.Locale = FirstNonEmpty({getenv("LC_ALL"), getenv("LANG"), "en"});
  }
  const i18n::Catalog catalog = i18n::New(parsed.Locale);
  // The form is chosen once, from what was recognised even when parsing failed.
  const auto printer = NewPrinter(parsed.Json, out, err, catalog);
  const int status = RunCommandLine(ctx, commandLine, catalog, printer.get(), transport, getenv);
  return ReportLostOutput(out, *printer, status);
}

}  // namespace lumra::cli
