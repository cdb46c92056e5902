#pragma once

#include <string>

#include "support/error.hpp"

namespace lumra::ddc {

// The device-model sentinels, matched by identity with support::Is.
extern const support::Error kErrMonitorNotFound;
extern const support::Error kErrNotSupported;
extern const support::Error kErrInvalidFeature;
extern const support::Error kErrBusy;
extern const support::Error kErrBackendUnavailable;
extern const support::Error kErrProtocol;
// A write that was sent but whose value the monitor did not take: a read-back disagreed.
extern const support::Error kErrNotApplied;

// One of: timeout, not-found-or-hotplug, unsupported, busy, backend-unavailable, protocol,
// invalid-argument, permission, not-applied, transport.
using ErrorCategory = std::string;

// Reduces a failure to its category by a fixed order of tests over the whole wrap tree.
ErrorCategory ClassifyError(const support::Error& err);

}  // namespace lumra::ddc
