#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "ddc/transport.hpp"
#include "i18n/catalog.hpp"
#include "support/json.hpp"

namespace lumra::cli {

// Largest capabilities JSON document rendered; a deeper tree is reported as unrenderable,
// since every group is written twice per level and 32 levels would never finish.
inline constexpr std::size_t maximumCapabilitiesJSON = 16 * 1024 * 1024;

// Writes an encoded JSON value and a line feed in one write. 1 when encoding or writing
// failed (nothing is written for an encoding failure), 0 otherwise.
int encodeJSON(std::ostream& out, const support::JSONWriter& encoded);

std::string formatDisplayMode(const std::optional<ddc::DisplayMode>& mode);
std::string formatConnectorType(std::string_view connectorType, const i18n::Catalog& catalog);

// Each returns the exit status: 0, or 1 when a JSON result could not be encoded or written.
// Text output ignores write errors.
int printMonitors(std::ostream& out, std::span<const ddc::Monitor> monitors, bool json,
                  const i18n::Catalog& catalog);
int printFeatures(std::ostream& out, bool json, const i18n::Catalog& catalog);
int printCapabilities(std::ostream& out, const ddc::Monitor& monitor,
                      std::string_view capabilityText, bool json);

// One monitor's result in the chosen form: the encoded JSON object, or the text without its
// line feed.
struct monitorOutput {
  std::string text;
  support::JSONWriter json = support::JSONWriter();
};

monitorOutput renderValue(const ddc::Monitor& monitor, const ddc::Feature& feature,
                          const ddc::VCPValue& value, bool json, const i18n::Catalog& catalog);
monitorOutput renderSetResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                              std::uint16_t value, bool json, const i18n::Catalog& catalog);
monitorOutput renderAdjustResult(const ddc::Monitor& monitor, const ddc::Feature& feature,
                                 const ddc::VCPAdjustment& adjustment, bool json,
                                 const i18n::Catalog& catalog);
// The text form is the raw string, after the monitor's ID and a tab when `withID` is set.
monitorOutput renderCapabilities(const ddc::Monitor& monitor, std::string_view capabilityText,
                                 bool json, bool withID);

// One result as a single command prints it.
int printOutput(std::ostream& out, const monitorOutput& rendered, bool json);
// Several results in one write: their text lines, or one JSON array of their objects. 1 when
// one of them could not be encoded (it is left out) or writing failed.
int printOutputs(std::ostream& out, std::span<const monitorOutput> outputs, bool json);
// What a command on every monitor prints when there is none: as list does.
int printNoMonitors(std::ostream& out, bool json, const i18n::Catalog& catalog);

}  // namespace lumra::cli
