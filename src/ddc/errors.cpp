#include "ddc/errors.hpp"

namespace lumra::ddc {

using support::Error;

const Error ErrMonitorNotFound = Error::New("monitor not found");
const Error ErrNotSupported = Error::New("operation is not supported");
const Error ErrInvalidFeature = Error::New("invalid feature");
const Error ErrBusy = Error::New("monitor transport is busy");
const Error ErrBackendUnavailable = Error::New("monitor backend is unavailable");
const Error ErrProtocol = Error::New("monitor protocol response is invalid");

}  // namespace lumra::ddc
