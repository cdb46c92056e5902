#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::platform {

inline constexpr support::Duration darwinLockPollInterval = std::chrono::milliseconds(20);

// What the endpoint lock depends on besides the file system.
struct EndpointLockOptions {
  // Environment lookup for HOME; empty text means unset. When absent, the process environment.
  std::function<std::string(std::string_view)> getenv;
  support::Duration pollInterval = darwinLockPollInterval;
};

// A held endpoint lock. It owns the open lock file; releasing unlocks and closes it, ignoring
// errors. Released at the latest when the value is destroyed; move-only so it is released once.
class darwinEndpointLock {
 public:
  darwinEndpointLock() = default;
  explicit darwinEndpointLock(int fd) : fd_(fd) {}
  darwinEndpointLock(darwinEndpointLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  darwinEndpointLock& operator=(darwinEndpointLock&& other) noexcept;
  darwinEndpointLock(const darwinEndpointLock&) = delete;
  darwinEndpointLock& operator=(const darwinEndpointLock&) = delete;
  ~darwinEndpointLock() { release(); }

  bool held() const { return fd_ >= 0; }
  void release();

 private:
  int fd_ = -1;
};

// Takes the exclusive lock on the endpoint's lock file, creating the file and its directories
// as needed, and polls while another open file holds it until the context ends. On failure
// nothing stays open; the context's error comes back unchanged.
[[nodiscard]] support::Result<darwinEndpointLock> lockDarwinEndpoint(
    const support::Context& ctx, std::uint64_t endpointID, const EndpointLockOptions& options = {});

}  // namespace lumra::platform
