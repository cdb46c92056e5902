#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "i18n/catalog.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::cli {

// Monitors that were just woken or plugged in are knocked out again by busy traffic, so
// attempts start at most this often.
inline constexpr support::Duration kWaitInterval = std::chrono::milliseconds(500);

// Whether a request got no answer at all: the monitor is gone, sent the null message or nothing,
// or the bus failed. A monitor that switched away, went to standby or is still waking does this.
bool GotNoAnswer(const support::Error& err);

// One attempt to find the monitors a command is about: lists them and selects, and gives those
// to probe. An error that wraps ddc::kErrMonitorNotFound means they are not listed yet.
using FindMonitors = std::function<support::Result<std::vector<ddc::Monitor>>()>;
// One harmless read of a monitor; any reply, even a refusal, proves that it answers.
using ProbeMonitor = std::function<support::Error(const ddc::Monitor&)>;

// Repeats find-then-probe until every monitor found answers its probe, starting each attempt
// afresh (display IDs and order may change across wake) at most once per kWaitInterval. Returns
// success; a find error other than "not listed" unchanged; or, once `ctx` ends, an error that
// wraps the context's error and the last attempt's failure, worded by `catalog` with `timeout`.
support::Error WaitForMonitors(const support::Context& ctx, const i18n::Catalog& catalog,
                               support::Duration timeout, const FindMonitors& find,
                               const ProbeMonitor& probe);

// What a find gives when "all" or list found no monitor: it wraps ddc::kErrMonitorNotFound.
support::Error NoMonitorListed();

// The VCP code that proves a monitor answers before a command on `feature` touches it: the
// feature itself when it reads back, else brightness, which nearly every monitor has.
std::uint8_t ProbeCode(const ddc::Feature& feature);

}  // namespace lumra::cli
