#include "cli/run.hpp"

#include <initializer_list>
#include <optional>

#include "cli/delta.hpp"
#include "cli/each_monitor.hpp"
#include "cli/options.hpp"
#include "cli/output.hpp"
#include "cli/report.hpp"
#include "cli/target.hpp"
#include "cli/version.hpp"
#include "i18n/catalog.hpp"
#include "support/environment.hpp"
#include "support/json.hpp"

namespace lumra::cli {

namespace {

// What every command needs besides its own words.
struct command {
  const support::Context& ctx;
  const options& parsed;
  const i18n::Catalog& catalog;
  std::ostream& out;
  std::ostream& err;
  ddc::Transport& transport;
};

int printUsage(const command& cmd) {
  const std::string usage = cmd.catalog.Text("usage");
  if (cmd.parsed.json) {
    support::JSONWriter writer;
    writer.BeginObject();
    writer.Key("usage");
    writer.String(usage);
    writer.EndObject();
    return encodeJSON(cmd.out, writer);
  }
  cmd.out << usage << '\n';
  cmd.out.flush();
  return 0;
}

int printVersion(std::ostream& out, bool json) {
  if (json) {
    support::JSONWriter writer;
    writer.BeginObject();
    writer.Key("version");
    writer.String(version);
    writer.EndObject();
    return encodeJSON(out, writer);
  }
  out << "lumra " << version << '\n';
  out.flush();
  return 0;
}

int runList(const command& cmd) {
  auto listed = cmd.transport.List(cmd.ctx);
  if (listed.err) return runtimeError(cmd.err, cmd.parsed, cmd.catalog, listed.err);
  return printMonitors(cmd.out, listed.value, cmd.parsed.json, cmd.catalog);
}

int refuse(const command& cmd, std::string_view key, std::string_view argument) {
  writeError(cmd.err, cmd.parsed.json, "usage", cmd.catalog.Text(key, argument));
  return 2;
}

// Runs `task` on the selected monitor, or on every monitor at once for "all", and prints the
// results in list order; each failure gets its own report.
int serve(const command& cmd, const monitorSelection& selection, const monitorTask& task) {
  if (!selection.all) {
    auto outcome = task(selection.monitors.front());
    if (outcome.err) return runtimeError(cmd.err, cmd.parsed, cmd.catalog, outcome.err);
    return printOutput(cmd.out, outcome.value, cmd.parsed.json);
  }
  if (selection.monitors.empty()) return printNoMonitors(cmd.out, cmd.parsed.json, cmd.catalog);

  const auto outcomes = serveEach(selection.monitors, task);
  std::vector<monitorOutput> succeeded;
  for (const auto& outcome : outcomes) {
    if (!outcome.err) succeeded.push_back(outcome.value);
  }
  int status = printOutputs(cmd.out, succeeded, cmd.parsed.json);
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (!outcomes[i].err) continue;
    status = monitorError(cmd.err, cmd.parsed, cmd.catalog, selection.monitors[i].ID,
                          outcomes[i].err);
  }
  return status;
}

// Reports a failed resolution, or a name that matched several monitors, and gives the status;
// nothing when the target can be served.
std::optional<int> reportTargetFailure(const command& cmd,
                                       const support::Result<target>& resolved,
                                       std::string_view selector, bool featureIsPlaceholder) {
  if (resolved.err) {
    // A placeholder feature always resolves: only the monitor can fail then.
    return featureIsPlaceholder ? runtimeError(cmd.err, cmd.parsed, cmd.catalog, resolved.err)
                                : targetError(cmd.err, cmd.parsed, cmd.catalog, resolved.err);
  }
  const auto& matches = resolved.value.selection.nameMatches;
  if (!matches.empty()) {
    return ambiguousNameError(cmd.err, cmd.parsed, cmd.catalog, selector, matches);
  }
  return std::nullopt;
}

int runGet(const command& cmd, std::span<const std::string> args) {
  const auto resolved = resolveTarget(cmd.ctx, cmd.transport, args[0], args[1]);
  if (auto failed = reportTargetFailure(cmd, resolved, args[0], false)) return *failed;
  const ddc::Feature& feature = resolved.value.feature;
  return serve(cmd, resolved.value.selection,
               [&](const ddc::Monitor& monitor) -> support::Result<monitorOutput> {
                 auto read = cmd.transport.GetVCP(cmd.ctx, monitor.ID, feature.Code);
                 if (read.err) return {{}, read.err};
                 read.value.Feature = feature.Name;
                 return {renderValue(monitor, feature, read.value, cmd.parsed.json, cmd.catalog),
                         {}};
               });
}

int runSet(const command& cmd, std::span<const std::string> args) {
  const auto resolved = resolveTarget(cmd.ctx, cmd.transport, args[0], args[1]);
  if (auto failed = reportTargetFailure(cmd, resolved, args[0], false)) return *failed;
  const ddc::Feature& feature = resolved.value.feature;

  // A value's name becomes its number first, so every guard sees the number.
  const auto value = parseSetValue(feature, args[2]);
  if (!value) return refuse(cmd, "invalid_value", args[2]);
  if (!feature.Writable) return refuse(cmd, "read_only", feature.Name);
  if (requiresUnsafe(args[1], feature, *value) && !cmd.parsed.unsafe) {
    return refuse(cmd, "unsafe_required", feature.Name);
  }
  // A write must not start once the deadline has passed: it could not be waited for.
  if (auto ended = cmd.ctx.Err()) return runtimeError(cmd.err, cmd.parsed, cmd.catalog, ended);

  return serve(cmd, resolved.value.selection,
               [&](const ddc::Monitor& monitor) -> support::Result<monitorOutput> {
                 auto failed = cmd.transport.SetVCP(cmd.ctx, monitor.ID, feature.Code, *value);
                 if (failed) return {{}, failed};
                 return {renderSetResult(monitor, feature, *value, cmd.parsed.json, cmd.catalog),
                         {}};
               });
}

int runAdjust(const command& cmd, std::span<const std::string> args) {
  const auto resolved = resolveTarget(cmd.ctx, cmd.transport, args[0], args[1]);
  if (auto failed = reportTargetFailure(cmd, resolved, args[0], false)) return *failed;
  const ddc::Feature& feature = resolved.value.feature;

  const auto change = parseDelta(args[2]);
  if (!change) return refuse(cmd, "invalid_value", args[2]);
  if (!feature.Writable) return refuse(cmd, "read_only", feature.Name);
  // A choice such as an input source has no order to step through. A raw code of unknown
  // kind is the user's call, made with --unsafe.
  if (feature.ContinuousKnown && !feature.Continuous) {
    return refuse(cmd, "discrete_values", feature.Name);
  }
  if (requiresUnsafeForAnyValue(args[1], feature) && !cmd.parsed.unsafe) {
    return refuse(cmd, "unsafe_required", feature.Name);
  }
  // As for set: no write starts once the deadline has passed.
  if (auto ended = cmd.ctx.Err()) return runtimeError(cmd.err, cmd.parsed, cmd.catalog, ended);

  const auto update = [&](const ddc::VCPValue& read) {
    return applyDelta(*change, read.Current, read.Maximum);
  };
  return serve(cmd, resolved.value.selection,
               [&](const ddc::Monitor& monitor) -> support::Result<monitorOutput> {
                 auto adjusted = cmd.transport.AdjustVCP(cmd.ctx, monitor.ID, feature.Code, update);
                 if (adjusted.err) return {{}, adjusted.err};
                 return {renderAdjustResult(monitor, feature, adjusted.value, cmd.parsed.json,
                                            cmd.catalog),
                         {}};
               });
}

int runCapabilities(const command& cmd, std::span<const std::string> args) {
  const auto resolved = resolveTarget(cmd.ctx, cmd.transport, args[0], "brightness");
  if (auto failed = reportTargetFailure(cmd, resolved, args[0], true)) return *failed;
  // Several raw strings in a row could not be told apart without their monitors' IDs.
  const bool withID = resolved.value.selection.all;
  return serve(cmd, resolved.value.selection,
               [&](const ddc::Monitor& monitor) -> support::Result<monitorOutput> {
                 auto text = cmd.transport.Capabilities(cmd.ctx, monitor.ID);
                 if (text.err) return {{}, text.err};
                 return {renderCapabilities(monitor, text.value, cmd.parsed.json, withID), {}};
               });
}

struct commandEntry {
  std::string_view name;
  std::size_t words;
  int (*run)(const command&, std::span<const std::string>);
};

const commandEntry* findCommand(std::string_view name) {
  static const commandEntry table[] = {
      {"list", 0, [](const command& cmd, std::span<const std::string>) { return runList(cmd); }},
      {"get", 2, runGet},
      {"set", 3, runSet},
      {"adjust", 3, runAdjust},
      {"capabilities", 1, runCapabilities},
      {"caps", 1, runCapabilities},
      {"features", 0,
       [](const command& cmd, std::span<const std::string>) {
         return printFeatures(cmd.out, cmd.parsed.json, cmd.catalog);
       }},
  };
  for (const commandEntry& entry : table) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

bool asksForUsage(std::span<const std::string> commandArguments) {
  if (commandArguments.empty()) return true;
  const std::string& first = commandArguments.front();
  return first == "help" || first == "--help" || first == "-h";
}

// LUMRA_IOAV_FRAMING, which the native bridge reads on its own, must name a framing it
// knows; an empty value means unset.
bool knownIOAVFraming(std::string_view value) {
  return value.empty() || value == "standard" || value == "ps190";
}

// The first non-empty text, or the empty text.
std::string firstNonEmpty(std::initializer_list<std::string> values) {
  for (const std::string& value : values) {
    if (!value.empty()) return value;
  }
  return {};
}

}  // namespace

int Run(const support::Context& ctx, std::span<const std::string> arguments, std::ostream& out,
        std::ostream& err, ddc::Transport& transport, EnvironmentLookup getenv) {
  if (!getenv) getenv = support::Getenv;
  parsedCommandLine commandLine = parseOptions(arguments);
  options& parsed = commandLine.parsed;
  if (parsed.locale.empty()) {
    parsed.locale = firstNonEmpty({getenv("LC_ALL"), getenv("LANG"), "en"});
  }
  const i18n::Catalog catalog = i18n::New(parsed.locale);

  if (commandLine.error) {
    const optionError& failure = *commandLine.error;
    writeError(err, parsed.json, "usage", catalog.Text(failure.key, failure.value));
    return 2;
  }

  if (parsed.version) return printVersion(out, parsed.json);
  const std::span<const std::string> words = commandLine.commandArguments;
  if (asksForUsage(words)) return printUsage({ctx, parsed, catalog, out, err, transport});

  // One deadline bounds the whole command: listing, resolution and the device operation.
  auto [deadline, release] = support::Context::WithTimeout(ctx, parsed.timeout);
  const command cmd{deadline, parsed, catalog, out, err, transport};

  const std::string& name = words.front();
  const commandEntry* entry = findCommand(name);
  if (entry == nullptr) return refuse(cmd, "unknown_command", name);
  if (const std::string framing = getenv("LUMRA_IOAV_FRAMING"); !knownIOAVFraming(framing)) {
    return refuse(cmd, "invalid_ioav_framing", framing);
  }
  const std::span<const std::string> args = words.subspan(1);
  if (args.size() != entry->words) return usageError(err, parsed, catalog, name);
  return entry->run(cmd, args);
}

}  // namespace lumra::cli
