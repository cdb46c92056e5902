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
int printValue(std::ostream& out, const ddc::Monitor& monitor, const ddc::Feature& feature,
               const ddc::VCPValue& value, bool json, const i18n::Catalog& catalog);
int printSetResult(std::ostream& out, const ddc::Monitor& monitor, const ddc::Feature& feature,
                   std::uint16_t value, bool json, const i18n::Catalog& catalog);
int printAdjustResult(std::ostream& out, const ddc::Monitor& monitor, const ddc::Feature& feature,
                      const ddc::VCPAdjustment& adjustment, bool json,
                      const i18n::Catalog& catalog);
int printCapabilities(std::ostream& out, const ddc::Monitor& monitor,
                      std::string_view capabilityText, bool json);

}  // namespace lumra::cli
