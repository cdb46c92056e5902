#include "cli/profile_commands.hpp"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "capabilities/parser.hpp"
#include "capabilities/vcp_codes.hpp"
#include "cli/each_monitor.hpp"
#include "cli/profile_files.hpp"
#include "cli/wait.hpp"
#include "ddc/errors.hpp"
#include "ddc/profile.hpp"

namespace lumra::cli {

namespace {

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
  std::vector<ddc::Feature> features;
  std::vector<std::uint8_t> codes;
  for (const ddc::Feature& feature : ddc::ProfileFeatures()) {
    if ((feature.Unsafe && !cmd.Parsed.Unsafe) || !Lists(listed.Value, feature.Code)) continue;
    features.push_back(feature);
    codes.push_back(feature.Code);
  }
  const auto reads = cmd.Transport.GetVCPs(cmd.Ctx, monitor.ID, codes);
  for (std::size_t i = 0; i < features.size(); ++i) {
    const auto& read = reads[i];
    if (read.Err) {
      // Without a list of its features, a monitor says which it lacks by answering so.
      if (!listed.Value && ddc::ClassifyError(read.Err) == "unsupported") continue;
      if (EndsTheMonitor(read.Err)) {
        saved.Err = read.Err;
        return saved;
      }
      saved.Notes.push_back({features[i], read.Err});
      continue;
    }
    if (!read.Value.Momentary) saved.Settings.Settings.push_back({features[i], read.Value.Current});
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

const ddc::Monitor* FindMonitor(std::span<const ddc::Monitor> monitors, std::string_view id) {
  for (const ddc::Monitor& monitor : monitors) {
    if (monitor.ID == id) return &monitor;
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
      const ddc::Monitor* match = FindMonitor(listed, entry.ID);
      if (match == nullptr) {
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
      if (const ddc::Monitor* found = FindMonitor(listed.Value, entry.ID)) {
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

// Writes the settings one by one, each read back as --verify asks. A failure that leaves the
// monitor unreachable fails the settings after it too.
void WriteEachVerified(const Command& cmd, const ddc::Monitor& monitor,
                       std::span<const ddc::ProfileSetting> settings, RestoreOutcome& outcome) {
  support::Error unreachable;
  for (const ddc::ProfileSetting& setting : settings) {
    const ddc::Feature& feature = setting.Feature;
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
    auto verified = VerifyWrite(cmd, monitor, feature, setting.Value);
    if (verified.Err) {
      outcome.Failed.push_back({setting, verified.Err});
      continue;
    }
    outcome.Written.push_back({setting, verified.Value});
  }
}

// Sends every setting under one hold of the monitor, so no other command comes between them;
// a write that fails stops the ones after it, which fail with it.
void WriteTogether(const Command& cmd, const ddc::Monitor& monitor,
                   std::span<const ddc::ProfileSetting> settings, RestoreOutcome& outcome) {
  if (settings.empty()) return;
  std::vector<ddc::VCPWrite> writes;
  for (const ddc::ProfileSetting& setting : settings) {
    writes.push_back({setting.Feature.Code, setting.Value, setting.Feature.WriteSource});
  }
  const auto sent = cmd.Transport.SetVCPs(cmd.Ctx, monitor.ID, writes);
  const support::Error stopped = sent.empty() ? support::Error() : sent.back();
  for (std::size_t i = 0; i < settings.size(); ++i) {
    if (i < sent.size() && !sent[i]) {
      outcome.Written.push_back({settings[i], {}});
    } else {
      outcome.Failed.push_back({settings[i], stopped});
    }
  }
}

// Writes the monitor's settings in the profile's order, leaving those that need --unsafe, then
// has the monitor store them when --save-settings asks.
RestoreOutcome RestoreMonitor(const Command& cmd, const ddc::Monitor& monitor,
                              const ddc::ProfileMonitor& entry) {
  RestoreOutcome outcome;
  std::vector<ddc::ProfileSetting> settings;
  for (const ddc::ProfileSetting& setting : entry.Settings) {
    if (setting.Feature.Unsafe && !cmd.Parsed.Unsafe) {
      outcome.Skipped.push_back(setting);
    } else {
      settings.push_back(setting);
    }
  }
  if (cmd.Parsed.Verify) {
    WriteEachVerified(cmd, monitor, settings, outcome);
  } else {
    WriteTogether(cmd, monitor, settings, outcome);
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

}  // namespace

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
        // Each task is given its own element of plan->Monitors, which says whose settings it has.
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

}  // namespace lumra::cli
