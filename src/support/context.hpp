#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "support/error.hpp"

namespace lumra::support {

using Clock = std::chrono::steady_clock;
using Duration = std::chrono::nanoseconds;

// "context canceled" and "context deadline exceeded": the two ways a context ends.
const Error& ErrCanceled();
const Error& ErrDeadlineExceeded();

class CancelHandle;

// A cancellation context: an optional deadline and a cancelled state, inherited from its
// parent. Copies observe the same state. The default context never ends.
class Context {
 public:
  Context() = default;

  // Success while the context runs; ErrCanceled() or ErrDeadlineExceeded() once it ended.
  Error Err() const;
  // The earliest deadline of this context and its ancestors.
  std::optional<Clock::time_point> Deadline() const;
  // Sleeps for `duration`, returning early with Err() when the context ends first.
  Error Wait(Duration duration) const;

  // A child that ends when `cancel` is released or the parent ends.
  static std::pair<Context, CancelHandle> WithCancel(const Context& parent);
  // A child that also ends at `deadline`.
  static std::pair<Context, CancelHandle> WithDeadline(const Context& parent,
                                                       Clock::time_point deadline);
  // A child that ends `timeout` from now; a timeout past the clock's range means the far end.
  static std::pair<Context, CancelHandle> WithTimeout(const Context& parent, Duration timeout);

 private:
  struct State;
  explicit Context(std::shared_ptr<State> state) : state_(std::move(state)) {}
  static std::pair<Context, CancelHandle> Child(const Context& parent,
                                                std::optional<Clock::time_point> deadline);
  std::shared_ptr<State> state_;
  friend class CancelHandle;
};

// Cancels its context when released; move-only, so every derived context is ended exactly once.
class [[nodiscard]] CancelHandle {
 public:
  CancelHandle() = default;
  CancelHandle(CancelHandle&& other) noexcept = default;
  CancelHandle& operator=(CancelHandle&& other) noexcept;
  CancelHandle(const CancelHandle&) = delete;
  CancelHandle& operator=(const CancelHandle&) = delete;
  ~CancelHandle() { Cancel(); }

  void Cancel();

 private:
  explicit CancelHandle(std::shared_ptr<Context::State> state) : state_(std::move(state)) {}
  std::shared_ptr<Context::State> state_;
  friend class Context;
};

// now + timeout, saturated at the clock's far end instead of overflowing.
Clock::time_point DeadlineAfter(Clock::time_point now, Duration timeout);

}  // namespace lumra::support
