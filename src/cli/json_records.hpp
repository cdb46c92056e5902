#pragma once

#include <span>

#include "capabilities/document.hpp"
#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "support/json.hpp"

namespace lumra::cli {

// Records are written with their keys in field order, leaving out empty optional fields.
void writeMonitorJSON(support::JSONWriter& writer, const ddc::Monitor& monitor);
void writeFeatureJSON(support::JSONWriter& writer, const ddc::Feature& feature);
// Stops early once the writer has failed (for instance at its size limit).
void writeDocumentJSON(support::JSONWriter& writer, const capabilities::Document& document);

}  // namespace lumra::cli
