#include "cli/json_records.hpp"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace lumra::cli {

using support::JSONWriter;

namespace {

void writeOptionalString(JSONWriter& writer, std::string_view key, const std::string& value) {
  if (value.empty()) return;
  writer.Key(key);
  writer.String(value);
}

void writeOptionalUint(JSONWriter& writer, std::string_view key, std::uint32_t value) {
  if (value == 0) return;
  writer.Key(key);
  writer.Uint(value);
}

void writeDisplayModeJSON(JSONWriter& writer, const ddc::DisplayMode& mode) {
  writer.BeginObject();
  writer.Key("width");
  writer.Uint(mode.Width);
  writer.Key("height");
  writer.Uint(mode.Height);
  if (mode.RefreshHz != 0) {
    writer.Key("refresh_hz");
    writer.Double(mode.RefreshHz);
  }
  writeOptionalUint(writer, "logical_width", mode.LogicalWidth);
  writeOptionalUint(writer, "logical_height", mode.LogicalHeight);
  writer.EndObject();
}

using NodeList = std::vector<std::shared_ptr<const capabilities::Node>>;

// Writes a capabilities tree. Every group is written twice per level (under items and under
// children), so each distinct group is encoded once and its text reused: the work stays
// linear in the tree, and a document over the writer's limit fails after at most that many
// bytes of copying.
class treeEncoder {
 public:
  void writeItems(JSONWriter& writer, const std::vector<capabilities::Item>& items) {
    if (items.empty()) return;
    writer.Key("items");
    writer.BeginArray();
    for (const capabilities::Item& item : items) {
      if (writer.Failed()) return;
      writer.BeginObject();
      writer.Key("kind");
      writer.String(item.Kind);
      writeOptionalString(writer, "token", item.Token);
      if (item.Node) {
        writer.Key("node");
        writeNode(writer, *item.Node);
      }
      writer.EndObject();
    }
    writer.EndArray();
  }

  void writeTokens(JSONWriter& writer, const std::vector<std::string>& tokens) {
    if (tokens.empty()) return;
    writer.Key("tokens");
    writer.BeginArray();
    for (const std::string& token : tokens) writer.String(token);
    writer.EndArray();
  }

  void writeChildren(JSONWriter& writer, const NodeList& children) {
    if (children.empty()) return;
    writer.Key("children");
    writer.BeginArray();
    for (const auto& child : children) {
      if (writer.Failed()) return;
      writeNode(writer, *child);
    }
    writer.EndArray();
  }

 private:
  void writeNode(JSONWriter& writer, const capabilities::Node& node) {
    auto known = encoded_.find(&node);
    if (known == encoded_.end()) known = encoded_.emplace(&node, encode(writer, node)).first;
    if (known->second) {
      writer.Encoded(*known->second);
    } else {
      writer.FailTooLarge();  // the group alone does not fit, so the document cannot
    }
  }

  std::optional<std::string> encode(const JSONWriter& parent, const capabilities::Node& node) {
    JSONWriter writer = parent.Sibling();
    writer.BeginObject();
    writer.Key("name");
    writer.String(node.Name);
    writeItems(writer, node.Items);
    writeTokens(writer, node.Tokens);
    writeChildren(writer, node.Children);
    writer.Key("raw");
    writer.String(node.Raw);
    writer.EndObject();
    if (writer.Failed()) return std::nullopt;
    return writer.Text();
  }

  std::unordered_map<const capabilities::Node*, std::optional<std::string>> encoded_;
};

}  // namespace

void writeMonitorJSON(JSONWriter& writer, const ddc::Monitor& monitor) {
  writer.BeginObject();
  writer.Key("id");
  writer.String(monitor.ID);
  writer.Key("index");
  writer.Int(monitor.Index);
  writer.Key("name");
  writer.String(monitor.Name);
  writeOptionalString(writer, "manufacturer", monitor.Manufacturer);
  writeOptionalString(writer, "model", monitor.Model);
  writeOptionalString(writer, "serial", monitor.Serial);
  writeOptionalString(writer, "connector", monitor.Connector);
  writeOptionalString(writer, "connector_type", monitor.ConnectorType);
  if (monitor.CurrentMode) {
    writer.Key("current_mode");
    writeDisplayModeJSON(writer, *monitor.CurrentMode);
  }
  writer.Key("backend");
  writer.String(monitor.Backend);
  writeOptionalString(writer, "path", monitor.Path);
  writer.EndObject();
}

void writeFeatureJSON(JSONWriter& writer, const ddc::Feature& feature) {
  writer.BeginObject();
  writer.Key("name");
  writer.String(feature.Name);
  writer.Key("code");
  writer.Uint(feature.Code);
  writer.Key("writable");
  writer.Bool(feature.Writable);
  writer.Key("unsafe");
  writer.Bool(feature.Unsafe);
  writer.Key("continuous");
  writer.Bool(feature.Continuous);
  writer.Key("continuous_known");
  writer.Bool(feature.ContinuousKnown);
  writer.EndObject();
}

void writeDocumentJSON(JSONWriter& writer, const capabilities::Document& document) {
  treeEncoder encoder;
  writer.BeginObject();
  writer.Key("raw");
  writer.String(document.Raw);
  encoder.writeItems(writer, document.Items);
  encoder.writeTokens(writer, document.Tokens);
  encoder.writeChildren(writer, document.Children);
  writer.EndObject();
}

}  // namespace lumra::cli
