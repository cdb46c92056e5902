#include "cli/wait.hpp"

#include "cli/duration.hpp"
#include "ddc/errors.hpp"
#include "ddcci/errors.hpp"

namespace lumra::cli {

namespace {

constexpr std::uint8_t kBrightnessCode = 0x10;

// What one attempt found: nothing wrong, or a failure and whether it may pass with time.
struct Attempt {
  support::Error Failed;
  bool MayPass = false;
};

// One find and the probes of what it found. Only a monitor that is not listed yet, or does not
// answer yet, is worth waiting for; any other failure ends the wait.
Attempt AttemptOnce(const support::Context& ctx, const FindMonitors& find,
                    const ProbeMonitor& probe) {
  auto found = find();
  if (found.Err) return {found.Err, support::Is(found.Err, ddc::kErrMonitorNotFound)};
  for (const ddc::Monitor& monitor : found.Value) {
    const support::Error failed = probe(monitor);
    if (auto ended = ctx.Err()) return {ended, false};
    // The ID says which monitor, since several may be waited for.
    if (failed && GotNoAnswer(failed)) return {support::Errorf("%s: %w", monitor.ID, failed), true};
  }
  return {};
}

}  // namespace

bool GotNoAnswer(const support::Error& err) {
  return support::Is(err, ddc::kErrMonitorNotFound) || support::Is(err, ddcci::kErrNullReply) ||
         support::Is(err, ddcci::kErrInvalidLength) || ddc::ClassifyError(err) == "transport";
}

support::Error WaitForMonitors(const support::Context& ctx, const i18n::Catalog& catalog,
                               support::Duration timeout, const FindMonitors& find,
                               const ProbeMonitor& probe) {
  support::Error last;
  for (;;) {
    const auto began = support::Clock::now();
    const Attempt attempt = AttemptOnce(ctx, find, probe);
    if (!attempt.Failed) return {};
    if (attempt.MayPass) last = attempt.Failed;
    support::Error ended = ctx.Err();
    if (!ended) {
      if (!attempt.MayPass) return attempt.Failed;
      ended = ctx.Wait(began + kWaitInterval - support::Clock::now());
      if (!ended) continue;
    }
    if (!support::Is(ended, support::ErrDeadlineExceeded())) return ended;
    if (!last) last = ended;
    return support::Error::Wrapping(
        catalog.Text("wait_timed_out", FormatDuration(timeout), last.Message()), {ended, last});
  }
}

support::Error NoMonitorListed() {
  return support::Errorf("%w: none is listed", ddc::kErrMonitorNotFound);
}

std::uint8_t ProbeCode(const ddc::Feature& feature) {
  return ddc::ReadsBack(feature) ? feature.Code : kBrightnessCode;
}

}  // namespace lumra::cli
