#include "cli/run.hpp"

#include <cerrno>
#include <initializer_list>
#include <optional>

#include "cli/command.hpp"
#include "cli/delta.hpp"
#include "cli/descriptor_stream.hpp"
#include "cli/each_monitor.hpp"
#include "cli/options.hpp"
#include "cli/printer.hpp"
#include "cli/profile_commands.hpp"
#include "cli/profile_files.hpp"
#include "cli/target.hpp"
#include "cli/wait.hpp"
#include "i18n/catalog.hpp"
#include "platform/ioav_framing_setting.hpp"
#include "support/environment.hpp"

namespace lumra::cli {

namespace {

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

constexpr std::uint16_t kPowerOn = 1;

// What follows a read-modify-write that wrote: the read-back when --verify asks for it, then
// the settings store when --save-settings does.
support::Result<Verification> FinishAdjustment(const Command& cmd, const ddc::Monitor& monitor,
                                               const ddc::Feature& feature,
                                               const ddc::VCPAdjustment& adjustment) {
  Verification check;
  if (cmd.Parsed.Verify && adjustment.Written) {
    auto verified = VerifyWrite(cmd, monitor, feature, adjustment.Value);
    if (verified.Err) return verified;
    check = verified.Value;
  }
  auto saved = SaveSettingsAfterWrites(cmd, monitor, adjustment.Written);
  if (saved.Err) return {{}, saved.Err};
  check.Saved = saved.Value;
  return {check, {}};
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
        auto check = FinishAdjustment(cmd, monitor, feature, adjusted.Value);
        if (check.Err) return {{}, check.Err};
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
            auto check = FinishAdjustment(cmd, monitor, feature, toggled.Value);
            if (check.Err) return {{}, check.Err};
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
