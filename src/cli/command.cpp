#include "cli/command.hpp"

#include "cli/wait.hpp"
#include "ddc/select_monitors.hpp"
#include "platform/retry.hpp"

namespace lumra::cli {

namespace {

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

}  // namespace

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

}  // namespace lumra::cli
