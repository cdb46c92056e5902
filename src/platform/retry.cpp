#include "platform/retry.hpp"

#include "ddc/errors.hpp"
#include "support/format.hpp"

namespace lumra::platform {

namespace {

constexpr std::uint32_t kStatusNoDevice = 0xE00002C0;
constexpr std::uint32_t kStatusNotPrivileged = 0xE00002C1;
constexpr std::uint32_t kStatusUnsupported = 0xE00002C7;
constexpr std::uint32_t kStatusBusy = 0xE00002D5;
constexpr std::uint32_t kStatusNotPermitted = 0xE00002E2;
constexpr std::uint32_t kStatusUnsupportedMode = 0xE00002E6;

// The device-model failure an IOKit status stands for; null when it stands for none.
const support::Error* SentinelForStatus(std::uint32_t status) {
  switch (status) {
    case kStatusNoDevice:
      return &ddc::kErrMonitorNotFound;
    case kStatusNotPrivileged:
    case kStatusNotPermitted:
      return &support::ErrPermission();
    case kStatusUnsupported:
    case kStatusUnsupportedMode:
      return &ddc::kErrNotSupported;
    case kStatusBusy:
      return &ddc::kErrBusy;
    default:
      return nullptr;
  }
}

}  // namespace

support::Error RetryExchange(const support::Context& ctx,
                             const std::function<support::Error()>& operation,
                             support::Duration pause) {
  support::Error last;
  for (int attempt = 0; attempt < kRetryAttempts; ++attempt) {
    if (support::Error ended = ctx.Err()) return ended;
    support::Error err = operation();
    if (!err) return {};
    if (!IsRetryable(err)) return err;
    last = err;
    if (attempt == kRetryAttempts - 1) break;
    if (support::Error ended = ctx.Wait(pause)) return ended;
  }
  return support::Errorf("DDC/CI failed after 3 attempts: %w", last);
}

bool IsRetryable(const support::Error& err) {
  const ddc::ErrorCategory category = ddc::ClassifyError(err);
  return category == "transport" || category == "protocol" || category == "busy";
}

support::Error ExchangeError(std::uint32_t status, std::string_view stage, std::uint32_t writeCycle,
                             std::uint32_t chipAddress, std::span<const std::uint8_t> request) {
  const std::uint8_t command = request.size() >= 3 ? request[2] : 0;
  return support::Errorf("%w (stage=%s, write_cycle=%d, chip=0x%02X, command=0x%02X)",
                         ClassifyIOKitStatus(status), stage, writeCycle, chipAddress, command);
}

support::Error ClassifyIOKitStatus(std::uint32_t status) {
  const support::Error detail = support::Errorf("IOKit DDC/CI transaction failed: 0x%08X", status);
  const support::Error* sentinel = SentinelForStatus(status);
  if (sentinel == nullptr) return detail;
  return support::Errorf("%w: %w", *sentinel, detail);
}

}  // namespace lumra::platform
