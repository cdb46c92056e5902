#include "ddc/errors.hpp"

#include <initializer_list>

#include "ddcci/errors.hpp"
#include "support/context.hpp"

namespace lumra::ddc {

namespace {

bool matchesAny(const support::Error& err, std::initializer_list<const support::Error*> sentinels) {
  for (const support::Error* sentinel : sentinels) {
    if (support::Is(err, *sentinel)) return true;
  }
  return false;
}

}  // namespace

// The order of the tests decides the category of an error that wraps several sentinels.
ErrorCategory ClassifyError(const support::Error& err) {
  if (matchesAny(err, {&support::ErrDeadlineExceeded(), &support::ErrCanceled()})) return "timeout";
  if (support::Is(err, ErrMonitorNotFound)) return "not-found-or-hotplug";
  if (matchesAny(err, {&ErrNotSupported, &ddcci::ErrUnsupportedVCP})) return "unsupported";
  if (support::Is(err, ErrBusy)) return "busy";
  if (support::Is(err, ErrBackendUnavailable)) return "backend-unavailable";
  if (support::Is(err, ErrProtocol)) return "protocol";
  if (matchesAny(err, {&ddcci::ErrChecksum, &ddcci::ErrMalformedSource,
                       &ddcci::ErrInvalidProtocolFlag, &ddcci::ErrInvalidLength,
                       &ddcci::ErrNullReply, &ddcci::ErrUnexpectedOpcode,
                       &ddcci::ErrVCPCodeMismatch, &ddcci::ErrOffsetMismatch,
                       &ddcci::ErrUnexpectedResult})) {
    return "protocol";
  }
  if (support::Is(err, ErrInvalidFeature)) return "invalid-argument";
  if (support::IsPermission(err)) return "permission";
  return "transport";
}

}  // namespace lumra::ddc
