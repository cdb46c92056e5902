#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "capabilities/document.hpp"
#include "cli/printer.hpp"
#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "ddc/transport.hpp"
#include "support/json.hpp"

namespace lumra::cli {

// Every JSON object the CLI prints is written here. Key order is what scripts reading earlier
// releases saw: a record describing a thing (a monitor and its display mode, a feature, a
// capabilities tree) keeps its field order and leaves out empty optional fields; a result or
// an error report (get, set, adjust, capabilities, usage, version, errors) has its keys in
// ascending byte order.

// Largest capabilities JSON document rendered; a deeper tree is reported as unrenderable,
// since every group is written twice per level and 32 levels would never finish.
inline constexpr std::size_t kMaximumCapabilitiesJSON = 16 * 1024 * 1024;

void WriteMonitorJSON(support::JSONWriter& writer, const ddc::Monitor& monitor);
void WriteFeatureJSON(support::JSONWriter& writer, const ddc::Feature& feature);
// Stops early once the writer has failed (for instance at its size limit).
void WriteDocumentJSON(support::JSONWriter& writer, const capabilities::Document& document);

// {"<key>": "<text>"}, as the usage and version are printed.
void WriteTextRecord(support::JSONWriter& writer, std::string_view key, std::string_view text);
void WriteValueRecord(support::JSONWriter& writer, const ddc::Monitor& monitor,
                      const ddc::Feature& feature, const ddc::VCPValue& value);
// The read-back keys ("read_back", "stopped_answering") appear only when a value was read back
// or the monitor stopped answering; "saved" only when the settings were saved after the write
// (in the adjust and toggle records too); "written" only when a set sent nothing.
void WriteSetRecord(support::JSONWriter& writer, const ddc::Monitor& monitor,
                    const ddc::Feature& feature, const SetOutcome& outcome);
// The record of adjust and, without "maximum", of toggle; "verified" appears only when the
// value was to be read back.
void WriteAdjustRecord(support::JSONWriter& writer, const ddc::Monitor& monitor,
                       const ddc::Feature& feature, const ddc::VCPAdjustment& adjustment,
                       const Verification& check, bool withMaximum);
// {"file", "monitor", "saved": [{"code", "feature", "value"}]}.
void WriteSaveRecord(support::JSONWriter& writer, const ddc::Monitor& monitor,
                     const ddc::ProfileMonitor& saved, std::string_view file);
// {"failed": [{"category", "code", "error", "feature", "value"}], "monitor", "saved" (only when
// true), "skipped": [...], "written": [...]}; a written setting carries the read-back keys of set
// when it was verified.
void WriteRestoreRecord(support::JSONWriter& writer, const ddc::Monitor& monitor,
                        const RestoreOutcome& outcome);
// The parsed capabilities, or the raw string with the reason it could not be parsed or was too
// large to render.
support::JSONWriter CapabilitiesRecord(const ddc::Monitor& monitor,
                                       std::string_view capabilityText);
// `monitor`, when not empty, is the ID of the one monitor of several that failed.
void WriteErrorRecord(support::JSONWriter& writer, std::string_view category,
                      std::string_view message, std::string_view kind, std::string_view monitor);

}  // namespace lumra::cli
