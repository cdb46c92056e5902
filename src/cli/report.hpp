#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/options.hpp"
#include "i18n/catalog.hpp"
#include "support/error.hpp"

namespace lumra::cli {

// One report on the error stream: the message and a line feed, or with `jsonOutput` the
// object {"category","error","kind"} (HTML characters escaped). Every caller passes the
// kind "usage", whose category is "invalid-argument". Write failures are ignored.
void writeError(std::ostream& err, bool jsonOutput, std::string_view kind, std::string_view message);

// "invalid_arguments" for the command word; returns 2.
int usageError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
               std::string_view command);

// An unknown feature word is a usage error (2); any other resolution failure is a runtime
// error (1).
int targetError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                const support::Error& failure);

// "operation_failed" with the error's message, categorised by ClassifyError; returns 1.
int runtimeError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                 const support::Error& failure);

// The report of one monitor's failure among several: runtimeError's, with the monitor's ID
// before the error's message and, in JSON, under the key "monitor"; returns 1.
int monitorError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                 std::string_view monitorID, const support::Error& failure);

// "ambiguous_monitor_name": a name that matched several monitors, given by their IDs; a runtime
// error (1), categorised "invalid-argument".
int ambiguousNameError(std::ostream& err, const options& parsed, const i18n::Catalog& catalog,
                       std::string_view name, std::span<const std::string> matchedIDs);

// The report of a failure outside a command (closing the transport): "<prefix>: <message>",
// as JSON when any word is exactly "--json".
void writeLifecycleError(std::ostream& err, std::span<const std::string> arguments,
                         std::string_view prefix, const support::Error& failure);

}  // namespace lumra::cli
