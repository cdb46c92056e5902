#include "ddc/errors.hpp"

#include <initializer_list>

#include "ddcci/errors.hpp"
#include "support/context.hpp"

namespace lumra::ddc {

namespace {

bool MatchesAny(const support::Error& err, std::initializer_list<const support::Error*> sentinels) {
  for (const support::Error* sentinel : sentinels) {
    if (support::Is(err, *sentinel)) return true;
  }
  return false;
}

}  // namespace

// The order of the tests decides the category of an error that wraps several sentinels.
ErrorCategory ClassifyError(const support::Error& err) {
  if (MatchesAny(err, {&support::ErrDeadlineExceeded(), &support::ErrCanceled()})) return "timeout";
  if (support::Is(err, kErrMonitorNotFound)) return "not-found-or-hotplug";
  if (MatchesAny(err, {&kErrNotSupported, &ddcci::kErrUnsupportedVCP})) return "unsupported";
  if (support::Is(err, kErrBusy)) return "busy";
  if (support::Is(err, kErrBackendUnavailable)) return "backend-unavailable";
  if (support::Is(err, kErrProtocol)) return "protocol";
  if (MatchesAny(
          err, {&ddcci::kErrChecksum, &ddcci::kErrMalformedSource, &ddcci::kErrInvalidProtocolFlag,
                &ddcci::kErrInvalidLength, &ddcci::kErrNullReply, &ddcci::kErrUnexpectedOpcode,
                &ddcci::kErrVCPCodeMismatch, &ddcci::kErrOffsetMismatch,
                &ddcci::kErrUnexpectedResult})) {
    return "protocol";
  }
  if (support::Is(err, kErrInvalidFeature)) return "invalid-argument";
  if (support::IsPermission(err)) return "permission";
  if (support::Is(err, kErrNotApplied)) return "not-applied";
  return "transport";
}

}  // namespace lumra::ddc
