#include "cli/output.hpp"

#include "capabilities/parser.hpp"
#include "cli/delta.hpp"
#include "cli/json_records.hpp"
#include "support/format.hpp"

namespace lumra::cli {

using support::JSONWriter;

namespace {

void writeLine(std::ostream& out, std::string_view text) {
  out << text << '\n';
  out.flush();
}

// Result objects are written with their keys in ascending byte order.
void writeValueObject(JSONWriter& writer, const ddc::Monitor& monitor, const ddc::Feature& feature,
                      const ddc::VCPValue& value) {
  writer.BeginObject();
  writer.Key("code");
  writer.Uint(value.Code);
  writer.Key("current");
  writer.Uint(value.Current);
  writer.Key("feature");
  writer.String(value.Feature);
  writer.Key("maximum");
  writer.Uint(value.Maximum);
  writer.Key("maximum_meaningful");
  if (feature.ContinuousKnown) {
    writer.Bool(feature.Continuous);
  } else {
    writer.Null();
  }
  writer.Key("momentary");
  writer.Bool(value.Momentary);
  writer.Key("monitor");
  writer.String(monitor.ID);
  writer.Key("raw");
  writer.BeginArray();
  for (const std::uint8_t byte : value.Raw) writer.Uint(byte);
  writer.EndArray();
  writer.EndObject();
}

void writeCapabilitiesFailure(JSONWriter& writer, const ddc::Monitor& monitor,
                              std::string_view capabilityText, std::string_view parseError) {
  writer.BeginObject();
  writer.Key("capabilities");
  writer.BeginObject();
  writer.Key("raw");
  writer.String(capabilityText);
  writer.EndObject();
  writer.Key("monitor");
  writer.String(monitor.ID);
  writer.Key("parse_error");
  writer.String(parseError);
  writer.Key("parsed");
  writer.Bool(false);
  writer.EndObject();
}

JSONWriter encodeCapabilities(const ddc::Monitor& monitor, std::string_view capabilityText) {
  const auto parsed = capabilities::Parse(capabilityText);
  JSONWriter writer;
  if (parsed.err) {
    writeCapabilitiesFailure(writer, monitor, capabilityText, parsed.err.Message());
    return writer;
  }
  JSONWriter bounded(false, maximumCapabilitiesJSON);
  bounded.BeginObject();
  bounded.Key("capabilities");
  writeDocumentJSON(bounded, parsed.value);
  bounded.Key("monitor");
  bounded.String(monitor.ID);
  bounded.Key("parsed");
  bounded.Bool(true);
  bounded.EndObject();
  if (!bounded.ExceededLimit()) return bounded;
  writeCapabilitiesFailure(writer, monitor, capabilityText,
                           "capabilities tree too large to render");
  return writer;
}

}  // namespace

int encodeJSON(std::ostream& out, const JSONWriter& encoded) {
  if (encoded.Failed()) return 1;
  std::string text = encoded.Text();
  text += '\n';
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  return out ? 0 : 1;
}

std::string formatDisplayMode(const std::optional<ddc::DisplayMode>& mode) {
  if (!mode || mode->Width == 0 || mode->Height == 0) return "-";
  std::string text = std::to_string(mode->Width) + "x" + std::to_string(mode->Height);
  // NaN compares false, so an unknown rate is left out like a zero one.
  if (mode->RefreshHz > 0) text += "@" + support::FormatPlainDecimal(mode->RefreshHz);
  return text;
}

std::string formatConnectorType(std::string_view connectorType, const i18n::Catalog& catalog) {
  if (connectorType == "hdmi") return "HDMI";
  if (connectorType == "displayport") return "DisplayPort";
  if (connectorType == "dvi") return "DVI";
  if (connectorType == "vga") return "VGA";
  if (connectorType == "usb") return "USB";
  if (connectorType == "edp") return "eDP";
  if (connectorType == "lvds") return "LVDS";
  if (connectorType == "internal") return catalog.Text("connector_internal");
  if (connectorType == "virtual") return catalog.Text("connector_virtual");
  if (connectorType == "other") return catalog.Text("connector_other");
  return "-";
}

int printMonitors(std::ostream& out, std::span<const ddc::Monitor> monitors, bool json,
                  const i18n::Catalog& catalog) {
  if (json) {
    JSONWriter writer;
    writer.BeginArray();
    for (const ddc::Monitor& monitor : monitors) writeMonitorJSON(writer, monitor);
    writer.EndArray();
    return encodeJSON(out, writer);
  }
  if (monitors.empty()) {
    writeLine(out, catalog.Text("no_monitors"));
    return 0;
  }
  std::string text = catalog.Text("monitor_header") + "\n";
  for (const ddc::Monitor& monitor : monitors) {
    text += support::Format("%d\t%s\t%s\t%s\t%s\t%s\n", monitor.Index, monitor.ID, monitor.Name,
                            monitor.Backend, formatDisplayMode(monitor.CurrentMode),
                            formatConnectorType(monitor.ConnectorType, catalog));
  }
  out << text;
  out.flush();
  return 0;
}

int printFeatures(std::ostream& out, bool json, const i18n::Catalog& catalog) {
  const std::vector<ddc::Feature> features = ddc::Features();
  if (json) {
    JSONWriter writer;
    writer.BeginArray();
    for (const ddc::Feature& feature : features) writeFeatureJSON(writer, feature);
    writer.EndArray();
    return encodeJSON(out, writer);
  }
  std::string text = catalog.Text("feature_header") + "\n";
  for (const ddc::Feature& feature : features) {
    text += support::Format("%s\t0x%02X\n", feature.Name, feature.Code);
  }
  out << text;
  out.flush();
  return 0;
}

monitorOutput renderValue(const ddc::Monitor& monitor, const ddc::Feature& feature,
                          const ddc::VCPValue& value, bool json, const i18n::Catalog& catalog) {
  monitorOutput rendered;
  if (json) {
    writeValueObject(rendered.json, monitor, feature, value);
  } else if (!feature.ContinuousKnown) {
    rendered.text = catalog.Text("current_unknown", monitor.ID, value.Feature, value.Code,
                                 value.Current, value.Maximum);
  } else if (feature.Continuous) {
    rendered.text = catalog.Text("current_value", monitor.ID, value.Feature, value.Code,
                                 value.Current, value.Maximum);
  } else {
    rendered.text =
        catalog.Text("current_discrete", monitor.ID, value.Feature, value.Code, value.Current);
  }
  return rendered;
}

monitorOutput renderSetResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                              std::uint16_t value, bool json, const i18n::Catalog& catalog) {
  monitorOutput rendered;
  if (!json) {
    rendered.text = catalog.Text("write_ok", monitor.ID, feature.Name, feature.Code, value);
    return rendered;
  }
  JSONWriter& writer = rendered.json;
  writer.BeginObject();
  writer.Key("code");
  writer.Uint(feature.Code);
  writer.Key("feature");
  writer.String(feature.Name);
  writer.Key("monitor");
  writer.String(monitor.ID);
  writer.Key("transport_succeeded");
  writer.Bool(true);
  writer.Key("value");
  writer.Uint(value);
  writer.Key("verified");
  writer.Bool(false);
  writer.EndObject();
  return rendered;
}

monitorOutput renderAdjustResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                 const ddc::VCPAdjustment& adjustment, bool json,
                                 const i18n::Catalog& catalog) {
  const std::uint16_t previous = adjustment.Previous.Current;
  const std::uint16_t maximum = adjustmentMaximum(adjustment.Previous.Maximum);
  monitorOutput rendered;
  if (!json) {
    rendered.text = adjustment.Written
                        ? catalog.Text("adjust_ok", monitor.ID, feature.Name, feature.Code,
                                       previous, adjustment.Value, maximum)
                        : catalog.Text("adjust_unchanged", monitor.ID, feature.Name,
                                       feature.Code, adjustment.Value, maximum);
    return rendered;
  }
  JSONWriter& writer = rendered.json;
  writer.BeginObject();
  writer.Key("code");
  writer.Uint(feature.Code);
  writer.Key("feature");
  writer.String(feature.Name);
  writer.Key("maximum");
  writer.Uint(maximum);
  writer.Key("monitor");
  writer.String(monitor.ID);
  writer.Key("previous");
  writer.Uint(previous);
  writer.Key("value");
  writer.Uint(adjustment.Value);
  writer.Key("written");
  writer.Bool(adjustment.Written);
  writer.EndObject();
  return rendered;
}

monitorOutput renderCapabilities(const ddc::Monitor& monitor, std::string_view capabilityText,
                                 bool json, bool withID) {
  monitorOutput rendered;
  if (json) {
    rendered.json = encodeCapabilities(monitor, capabilityText);
  } else {
    rendered.text = withID ? monitor.ID + "\t" : std::string();
    rendered.text += capabilityText;
  }
  return rendered;
}

int printCapabilities(std::ostream& out, const ddc::Monitor& monitor,
                      std::string_view capabilityText, bool json) {
  return printOutput(out, renderCapabilities(monitor, capabilityText, json, false), json);
}

int printOutput(std::ostream& out, const monitorOutput& rendered, bool json) {
  if (json) return encodeJSON(out, rendered.json);
  writeLine(out, rendered.text);
  return 0;
}

int printOutputs(std::ostream& out, std::span<const monitorOutput> outputs, bool json) {
  if (json) {
    JSONWriter writer;
    writer.BeginArray();
    bool encoded = true;
    for (const monitorOutput& rendered : outputs) {
      encoded = encoded && !rendered.json.Failed();
      if (!rendered.json.Failed()) writer.Encoded(rendered.json.Text());
    }
    writer.EndArray();
    const int status = encodeJSON(out, writer);
    return encoded ? status : 1;
  }
  // One write for all the lines, as for a single result.
  std::string text;
  for (const monitorOutput& rendered : outputs) text += rendered.text + "\n";
  out << text;
  out.flush();
  return 0;
}

int printNoMonitors(std::ostream& out, bool json, const i18n::Catalog& catalog) {
  return printMonitors(out, {}, json, catalog);
}

}  // namespace lumra::cli
