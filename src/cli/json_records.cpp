#include "cli/json_records.hpp"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "capabilities/parser.hpp"
#include "cli/delta.hpp"
#include "ddc/errors.hpp"

namespace lumra::cli {

using support::JSONWriter;

namespace {

void WriteOptionalString(JSONWriter& writer, std::string_view key, const std::string& value) {
  if (!value.empty()) writer.Field(key, value);
}

void WriteOptionalUint(JSONWriter& writer, std::string_view key, std::uint32_t value) {
  if (value != 0) writer.Field(key, value);
}

void WriteDisplayModeJSON(JSONWriter& writer, const ddc::DisplayMode& mode) {
  writer.BeginObject();
  writer.Field("width", mode.Width);
  writer.Field("height", mode.Height);
  if (mode.RefreshHz != 0) writer.Field("refresh_hz", mode.RefreshHz);
  WriteOptionalUint(writer, "logical_width", mode.LogicalWidth);
  WriteOptionalUint(writer, "logical_height", mode.LogicalHeight);
  writer.EndObject();
}

using NodeList = std::vector<std::shared_ptr<const capabilities::Node>>;

// Writes a capabilities tree. Every group is written twice per level (under items and under
// children), so each distinct group is encoded once and its text reused: the work stays
// linear in the tree, and a document over the writer's limit fails after at most that many
// bytes of copying.
class TreeEncoder {
 public:
  void WriteItems(JSONWriter& writer, const std::vector<capabilities::Item>& items) {
    if (items.empty()) return;
    writer.Key("items");
    writer.BeginArray();
    for (const capabilities::Item& item : items) {
      if (writer.Failed()) return;
      writer.BeginObject();
      writer.Field("kind", item.Kind);
      WriteOptionalString(writer, "token", item.Token);
      if (item.Node) {
        writer.Key("node");
        WriteNode(writer, *item.Node);
      }
      writer.EndObject();
    }
    writer.EndArray();
  }

  void WriteTokens(JSONWriter& writer, const std::vector<std::string>& tokens) {
    if (tokens.empty()) return;
    writer.Key("tokens");
    writer.BeginArray();
    for (const std::string& token : tokens) writer.String(token);
    writer.EndArray();
  }

  void WriteChildren(JSONWriter& writer, const NodeList& children) {
    if (children.empty()) return;
    writer.Key("children");
    writer.BeginArray();
    for (const auto& child : children) {
      if (writer.Failed()) return;
      WriteNode(writer, *child);
    }
    writer.EndArray();
  }

 private:
  void WriteNode(JSONWriter& writer, const capabilities::Node& node) {
    auto known = encoded_.find(&node);
    if (known == encoded_.end()) known = encoded_.emplace(&node, Encode(writer, node)).first;
    if (known->second) {
      writer.Encoded(*known->second);
    } else {
      writer.FailTooLarge();  // the group alone does not fit, so the document cannot
    }
  }

  std::optional<std::string> Encode(const JSONWriter& parent, const capabilities::Node& node) {
    JSONWriter writer = parent.Sibling();
    writer.BeginObject();
    writer.Field("name", node.Name);
    WriteItems(writer, node.Items);
    WriteTokens(writer, node.Tokens);
    WriteChildren(writer, node.Children);
    writer.Field("raw", node.Raw);
    writer.EndObject();
    if (writer.Failed()) return std::nullopt;
    return writer.Text();
  }

  std::unordered_map<const capabilities::Node*, std::optional<std::string>> encoded_;
};

void WriteCapabilitiesFailure(JSONWriter& writer, const ddc::Monitor& monitor,
                              std::string_view capabilityText, std::string_view parseError) {
  writer.BeginObject();
  writer.Key("capabilities");
  writer.BeginObject();
  writer.Field("raw", capabilityText);
  writer.EndObject();
  writer.Field("monitor", monitor.ID);
  writer.Field("parse_error", parseError);
  writer.Field("parsed", false);
  writer.EndObject();
}

// Whether the monitor's maximum means anything; null when the kind of value is unknown.
std::optional<bool> MaximumMeaningful(const ddc::Feature& feature) {
  if (feature.Kind == ddc::ValueKind::Unknown) return std::nullopt;
  return feature.Kind == ddc::ValueKind::Continuous;
}

// "read_back", "saved" and "stopped_answering", which sort between "previous" and
// "transport_succeeded".
void WriteReadBackFields(JSONWriter& writer, const Verification& check) {
  if (check.Outcome == ReadBack::Confirmed) writer.Field("read_back", check.Value);
  if (check.Saved) writer.Field("saved", true);
  if (check.Outcome == ReadBack::StoppedAnswering) writer.Field("stopped_answering", true);
}

}  // namespace

void WriteMonitorJSON(JSONWriter& writer, const ddc::Monitor& monitor) {
  writer.BeginObject();
  writer.Field("id", monitor.ID);
  writer.Field("index", monitor.Index);
  writer.Field("name", monitor.Name);
  WriteOptionalString(writer, "manufacturer", monitor.Manufacturer);
  WriteOptionalString(writer, "model", monitor.Model);
  WriteOptionalString(writer, "serial", monitor.Serial);
  WriteOptionalString(writer, "connector", monitor.Connector);
  WriteOptionalString(writer, "connector_type", monitor.ConnectorType);
  if (monitor.CurrentMode) {
    writer.Key("current_mode");
    WriteDisplayModeJSON(writer, *monitor.CurrentMode);
  }
  writer.Field("backend", monitor.Backend);
  WriteOptionalString(writer, "path", monitor.Path);
  writer.EndObject();
}

void WriteFeatureJSON(JSONWriter& writer, const ddc::Feature& feature) {
  writer.BeginObject();
  writer.Field("name", feature.Name);
  writer.Field("code", feature.Code);
  writer.Field("writable", feature.Writable);
  writer.Field("unsafe", feature.Unsafe);
  writer.Field("continuous", feature.Kind == ddc::ValueKind::Continuous);
  writer.Field("continuous_known", feature.Kind != ddc::ValueKind::Unknown);
  writer.Field("readable", feature.Readable);
  writer.EndObject();
}

void WriteDocumentJSON(JSONWriter& writer, const capabilities::Document& document) {
  TreeEncoder encoder;
  writer.BeginObject();
  writer.Field("raw", document.Raw);
  encoder.WriteItems(writer, document.Items);
  encoder.WriteTokens(writer, document.Tokens);
  encoder.WriteChildren(writer, document.Children);
  writer.EndObject();
}

void WriteTextRecord(JSONWriter& writer, std::string_view key, std::string_view text) {
  writer.BeginObject();
  writer.Field(key, text);
  writer.EndObject();
}

void WriteValueRecord(JSONWriter& writer, const ddc::Monitor& monitor, const ddc::Feature& feature,
                      const ddc::VCPValue& value) {
  writer.BeginObject();
  writer.Field("code", value.Code);
  writer.Field("current", value.Current);
  writer.Field("feature", value.Feature);
  writer.Field("maximum", value.Maximum);
  writer.Field("maximum_meaningful", MaximumMeaningful(feature));
  writer.Field("momentary", value.Momentary);
  writer.Field("monitor", monitor.ID);
  writer.Key("raw");
  writer.BeginArray();
  for (const std::uint8_t byte : value.Raw) writer.Uint(byte);
  writer.EndArray();
  writer.EndObject();
}

void WriteSetRecord(JSONWriter& writer, const ddc::Monitor& monitor, const ddc::Feature& feature,
                    const SetOutcome& outcome) {
  writer.BeginObject();
  writer.Field("code", feature.Code);
  writer.Field("feature", feature.Name);
  writer.Field("monitor", monitor.ID);
  WriteReadBackFields(writer, outcome.Check);
  writer.Field("transport_succeeded", true);
  writer.Field("value", outcome.Value);
  writer.Field("verified", outcome.Check.Outcome == ReadBack::Confirmed);
  if (!outcome.Written) writer.Field("written", false);
  writer.EndObject();
}

void WriteAdjustRecord(JSONWriter& writer, const ddc::Monitor& monitor, const ddc::Feature& feature,
                       const ddc::VCPAdjustment& adjustment, const Verification& check,
                       bool withMaximum) {
  writer.BeginObject();
  writer.Field("code", feature.Code);
  writer.Field("feature", feature.Name);
  if (withMaximum) writer.Field("maximum", AdjustmentMaximum(adjustment.Previous.Maximum));
  writer.Field("monitor", monitor.ID);
  writer.Field("previous", adjustment.Previous.Current);
  WriteReadBackFields(writer, check);
  writer.Field("value", adjustment.Value);
  if (check.Outcome != ReadBack::NotAsked) {
    writer.Field("verified", check.Outcome == ReadBack::Confirmed);
  }
  writer.Field("written", adjustment.Written);
  writer.EndObject();
}

namespace {

// The keys every setting of a save or restore result begins with; the caller closes the object.
void BeginSettingRecord(JSONWriter& writer, const ddc::ProfileSetting& setting) {
  writer.BeginObject();
  writer.Field("code", setting.Feature.Code);
  writer.Field("feature", setting.Feature.Name);
}

void WriteSettings(JSONWriter& writer, std::string_view key,
                   std::span<const ddc::ProfileSetting> settings) {
  writer.Key(key);
  writer.BeginArray();
  for (const ddc::ProfileSetting& setting : settings) {
    BeginSettingRecord(writer, setting);
    writer.Field("value", setting.Value);
    writer.EndObject();
  }
  writer.EndArray();
}

}  // namespace

void WriteSaveRecord(JSONWriter& writer, const ddc::Monitor& monitor,
                     const ddc::ProfileMonitor& saved, std::string_view file) {
  writer.BeginObject();
  writer.Field("file", file);
  writer.Field("monitor", monitor.ID);
  WriteSettings(writer, "saved", saved.Settings);
  writer.EndObject();
}

void WriteRestoreRecord(JSONWriter& writer, const ddc::Monitor& monitor,
                        const RestoreOutcome& outcome) {
  writer.BeginObject();
  writer.Key("failed");
  writer.BeginArray();
  for (const FailedSetting& failed : outcome.Failed) {
    writer.BeginObject();
    writer.Field("category", ddc::ClassifyError(failed.Err));
    writer.Field("code", failed.Setting.Feature.Code);
    writer.Field("error", failed.Err.Message());
    writer.Field("feature", failed.Setting.Feature.Name);
    writer.Field("value", failed.Setting.Value);
    writer.EndObject();
  }
  writer.EndArray();
  writer.Field("monitor", monitor.ID);
  if (outcome.Saved) writer.Field("saved", true);
  WriteSettings(writer, "skipped", outcome.Skipped);
  writer.Key("written");
  writer.BeginArray();
  for (const RestoredSetting& written : outcome.Written) {
    BeginSettingRecord(writer, written.Setting);
    WriteReadBackFields(writer, written.Check);
    writer.Field("value", written.Setting.Value);
    if (written.Check.Outcome != ReadBack::NotAsked) {
      writer.Field("verified", written.Check.Outcome == ReadBack::Confirmed);
    }
    writer.EndObject();
  }
  writer.EndArray();
  writer.EndObject();
}

JSONWriter CapabilitiesRecord(const ddc::Monitor& monitor, std::string_view capabilityText) {
  const auto parsed = capabilities::Parse(capabilityText);
  JSONWriter writer;
  if (parsed.Err) {
    WriteCapabilitiesFailure(writer, monitor, capabilityText, parsed.Err.Message());
    return writer;
  }
  JSONWriter bounded(false, kMaximumCapabilitiesJSON);
  bounded.BeginObject();
  bounded.Key("capabilities");
  WriteDocumentJSON(bounded, parsed.Value);
  bounded.Field("monitor", monitor.ID);
  bounded.Field("parsed", true);
  bounded.EndObject();
  if (!bounded.ExceededLimit()) return bounded;
  WriteCapabilitiesFailure(writer, monitor, capabilityText,
                           "capabilities tree too large to render");
  return writer;
}

void WriteErrorRecord(JSONWriter& writer, std::string_view category, std::string_view message,
                      std::string_view kind, std::string_view monitor) {
  writer.BeginObject();
  writer.Field("category", category);
  writer.Field("error", message);
  writer.Field("kind", kind);
  if (!monitor.empty()) writer.Field("monitor", monitor);
  writer.EndObject();
}

}  // namespace lumra::cli
