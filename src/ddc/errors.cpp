#include "ddc/errors.hpp"

namespace lumra::ddc {

using support::Error;

const Error kErrMonitorNotFound = Error::New("monitor not found");
const Error kErrNotSupported = Error::New("operation is not supported");
const Error kErrInvalidFeature = Error::New("invalid feature");
const Error kErrBusy = Error::New("monitor transport is busy");
const Error kErrBackendUnavailable = Error::New("monitor backend is unavailable");
const Error kErrProtocol = Error::New("monitor protocol response is invalid");
const Error kErrNotApplied = Error::New("the monitor did not apply the value");

}  // namespace lumra::ddc
