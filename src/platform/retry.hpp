#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::platform {

inline constexpr int kRetryAttempts = 3;
inline constexpr support::Duration kRetryPause = std::chrono::milliseconds(40);

// Runs `operation` up to three times while it fails with a retryable error, pausing `pause`
// between attempts. Returns success, the context's own error when it ends before an attempt or
// during a pause, a non-retryable error unchanged, or "DDC/CI failed after 3 attempts: %w".
support::Error RetryExchange(const support::Context& ctx,
                             const std::function<support::Error()>& operation,
                             support::Duration pause = kRetryPause);

// True for failures that may pass: transport, protocol and busy.
bool IsRetryable(const support::Error& err);

// The error of a failed native exchange, with the exchange's diagnostics.
support::Error ExchangeError(std::uint32_t status, std::string_view stage, std::uint32_t writeCycle,
                             std::uint32_t chipAddress, std::span<const std::uint8_t> request);

// The IOKit status as an error that matches the device-model failure it stands for.
support::Error ClassifyIOKitStatus(std::uint32_t status);

}  // namespace lumra::platform
