#include "cli/run.hpp"

#include <initializer_list>
#include <optional>

#include "cli/delta.hpp"
#include "cli/each_monitor.hpp"
#include "cli/options.hpp"
#include "cli/printer.hpp"
#include "cli/target.hpp"
#include "i18n/catalog.hpp"
#include "platform/ioav_framing_setting.hpp"
#include "support/environment.hpp"

namespace lumra::cli {

namespace {

// What every command needs besides its own words.
struct Command {
  const support::Context& Ctx;
  const Options& Parsed;
  Printer& Print;
  ddc::Transport& Transport;
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

// Resolves the monitor selector and feature word; reports a failed resolution, or a name that
// matched several monitors, and gives its status instead of a target.
std::optional<Target> ResolveOrReport(const Command& cmd, std::string_view selector,
                                      std::string_view featureWord, bool featureIsPlaceholder,
                                      int& status) {
  auto resolved = ResolveTarget(cmd.Ctx, cmd.Transport, selector, featureWord);
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

// A write command's own part: the write of one monitor made from the value word, or nothing
// when the word is invalid for the feature.
using PrepareWrite = std::optional<MonitorTask> (*)(const Command& cmd, const ddc::Feature& feature,
                                                    std::string_view word);

// Whether a write command steps through a feature's values, which a choice such as an input
// source does not have.
enum class Steps { No, Yes };

// The write path every write command shares: resolve the target, make the write from the value
// word, refuse what may not be written, start nothing once the deadline has passed, then write
// every selected monitor and print the results.
int RunWrite(const Command& cmd, CommandWords args, PrepareWrite prepare, Steps steps) {
  int status = 0;
  const auto resolved = ResolveOrReport(cmd, args[0], args[1], false, status);
  if (!resolved) return status;
  const ddc::Feature& feature = resolved->Feature;

  // A value's name becomes its number first, so every guard sees the number.
  const auto write = prepare(cmd, feature, args[2]);
  if (!write) return cmd.Print.Refuse("invalid_value", args[2]);
  if (!feature.Writable) return cmd.Print.Refuse("read_only", feature.Name);
  // A raw code of unknown kind is the user's call, made with --unsafe.
  if (steps == Steps::Yes && feature.Kind == ddc::ValueKind::NonContinuous) {
    return cmd.Print.Refuse("discrete_values", feature.Name);
  }
  if (feature.Unsafe && !cmd.Parsed.Unsafe)
    return cmd.Print.Refuse("unsafe_required", feature.Name);
  // A write must not start once the deadline has passed: it could not be waited for.
  if (auto ended = cmd.Ctx.Err()) return cmd.Print.RuntimeError(ended);
  return Serve(cmd, resolved->Selection, *write);
}

std::optional<MonitorTask> PrepareSet(const Command& cmd, const ddc::Feature& feature,
                                      std::string_view word) {
  const auto value = ParseSetValue(feature, word);
  if (!value) return std::nullopt;
  return [&cmd, feature,
          value = *value](const ddc::Monitor& monitor) -> support::Result<RenderedResult> {
    if (auto failed =
            cmd.Transport.SetVCP(cmd.Ctx, monitor.ID, feature.Code, value, feature.WriteSource)) {
      return {{}, failed};
    }
    return {cmd.Print.RenderSetResult(monitor, feature, value), {}};
  };
}

std::optional<MonitorTask> PrepareAdjust(const Command& cmd, const ddc::Feature& feature,
                                         std::string_view word) {
  const auto change = ParseDelta(word);
  if (!change) return std::nullopt;
  return [&cmd, feature,
          change = *change](const ddc::Monitor& monitor) -> support::Result<RenderedResult> {
    const auto update = [&change](const ddc::VCPValue& read) {
      return ApplyDelta(change, read.Current, read.Maximum);
    };
    auto adjusted = cmd.Transport.AdjustVCP(cmd.Ctx, monitor.ID, feature.Code, update);
    if (adjusted.Err) return {{}, adjusted.Err};
    return {cmd.Print.RenderAdjustResult(monitor, feature, adjusted.Value), {}};
  };
}

int RunSet(const Command& cmd, CommandWords args) {
  return RunWrite(cmd, args, PrepareSet, Steps::No);
}

int RunAdjust(const Command& cmd, CommandWords args) {
  return RunWrite(cmd, args, PrepareAdjust, Steps::Yes);
}

int RunList(const Command& cmd, CommandWords) {
  auto listed = cmd.Transport.List(cmd.Ctx);
  if (listed.Err) return cmd.Print.RuntimeError(listed.Err);
  return cmd.Print.PrintMonitors(listed.Value);
}

int RunFeatures(const Command& cmd, CommandWords) { return cmd.Print.PrintFeatures(); }

// One row per command: its word, another word for it, the catalog key of the words its usage
// line shows after the command (none when it takes none), how many words follow it, and what
// runs it. Rows are in the order the usage lists them.
struct CommandRow {
  std::string_view Name;
  std::string_view Alias;
  std::string_view UsageKey;
  std::size_t Words;
  int (*Run)(const Command& cmd, CommandWords args);
};

constexpr CommandRow kCommands[] = {
    {"list", {}, {}, 0, RunList},
    {"get", {}, "usage_get", 2, RunGet},
    {"set", {}, "usage_set", 3, RunSet},
    {"adjust", {}, "usage_adjust", 3, RunAdjust},
    {"capabilities", "caps", "usage_capabilities", 1, RunCapabilities},
    {"features", {}, {}, 0, RunFeatures},
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

  if (commandLine.Error) return printer->Refuse(commandLine.Error->Key, commandLine.Error->Value);
  if (parsed.Version) return printer->PrintVersion();
  const std::span<const std::string> words = commandLine.CommandArguments;
  if (AsksForUsage(words)) return printer->PrintUsage(UsageText(catalog));

  // One deadline bounds the whole command: listing, resolution and the device operation.
  auto [deadline, release] = support::Context::WithTimeout(ctx, parsed.Timeout);
  const Command cmd{deadline, parsed, *printer, transport};

  const std::string& name = words.front();
  const CommandRow* row = FindCommand(name);
  if (row == nullptr) return printer->Refuse("unknown_command", name);
  // The platform owns the variable and its valid values; the CLI only words the refusal.
  if (const auto framing = platform::ReadIOAVFraming(getenv); framing.Err) {
    return printer->Refuse("invalid_ioav_framing", framing.Value);
  }
  const CommandWords args = words.subspan(1);
  if (args.size() != row->Words) return printer->UsageError(name);
  return row->Run(cmd, args);
}

}  // namespace lumra::cli
