#include "support/context.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace lumra::support {

namespace {

// Contexts are few and short-lived, so one lock and one condition serve them all: a
// cancellation wakes every waiter, and each re-checks its own chain.
std::mutex& ContextMutex() {
  static std::mutex mutex;
  return mutex;
}

std::condition_variable& ContextChanged() {
  static std::condition_variable changed;
  return changed;
}

}  // namespace

struct Context::State {
  std::shared_ptr<State> Parent;
  Clock::time_point Created;
  std::optional<Clock::time_point> Deadline;
  std::optional<Clock::time_point> Cancelled;  // when Cancel ran; guarded by ContextMutex()
};

const Error& ErrCanceled() {
  static const Error kErr = Error::New("context canceled");
  return kErr;
}

const Error& ErrDeadlineExceeded() {
  static const Error kErr = Error::New("context deadline exceeded");
  return kErr;
}

namespace {

// A context ends with the first event on its chain, a cancellation or a passed deadline, and
// keeps that reason: cancelling an expired context still reports the deadline. A deadline
// counts from its context's creation at the earliest, so a child made after its parent ended
// reports the parent's reason. On a tie the deadline wins.
template <typename State>
Error ErrLocked(const State* state, Clock::time_point now) {
  std::optional<Clock::time_point> first;
  Error reason;
  for (; state != nullptr; state = state->Parent.get()) {
    if (state->Deadline && now >= *state->Deadline) {
      const Clock::time_point at = std::max(*state->Deadline, state->Created);
      if (!first || at <= *first) {
        first = at;
        reason = ErrDeadlineExceeded();
      }
    }
    if (state->Cancelled && (!first || *state->Cancelled < *first)) {
      first = state->Cancelled;
      reason = ErrCanceled();
    }
  }
  return reason;
}

}  // namespace

Error Context::Err() const {
  std::lock_guard lock(ContextMutex());
  return ErrLocked(state_.get(), Clock::now());
}

std::optional<Clock::time_point> Context::Deadline() const {
  std::optional<Clock::time_point> earliest;
  for (const State* state = state_.get(); state != nullptr; state = state->Parent.get()) {
    if (state->Deadline && (!earliest || *state->Deadline < *earliest)) earliest = state->Deadline;
  }
  return earliest;
}

Error Context::Wait(Duration duration) const {
  const Clock::time_point start = Clock::now();
  Clock::time_point until = DeadlineAfter(start, duration);
  const auto deadline = Deadline();
  if (deadline && *deadline < until) until = *deadline;

  std::unique_lock lock(ContextMutex());
  const State* state = state_.get();
  ContextChanged().wait_until(lock, until, [&] { return bool(ErrLocked(state, Clock::now())); });
  return ErrLocked(state, Clock::now());
}

std::pair<Context, CancelHandle> Context::Child(const Context& parent,
                                                std::optional<Clock::time_point> deadline) {
  auto state = std::make_shared<State>();
  state->Parent = parent.state_;
  state->Created = Clock::now();
  state->Deadline = deadline;
  return {Context(state), CancelHandle(state)};
}

std::pair<Context, CancelHandle> Context::WithCancel(const Context& parent) {
  return Child(parent, std::nullopt);
}

std::pair<Context, CancelHandle> Context::WithDeadline(const Context& parent,
                                                       Clock::time_point deadline) {
  return Child(parent, deadline);
}

std::pair<Context, CancelHandle> Context::WithTimeout(const Context& parent, Duration timeout) {
  return WithDeadline(parent, DeadlineAfter(Clock::now(), timeout));
}

CancelHandle& CancelHandle::operator=(CancelHandle&& other) noexcept {
  if (this != &other) {
    Cancel();
    state_ = std::move(other.state_);
  }
  return *this;
}

void CancelHandle::Cancel() {
  if (!state_) return;
  {
    std::lock_guard lock(ContextMutex());
    if (!state_->Cancelled) state_->Cancelled = Clock::now();
  }
  ContextChanged().notify_all();
  state_.reset();
}

Clock::time_point DeadlineAfter(Clock::time_point now, Duration timeout) {
  const Duration since = now.time_since_epoch();
  const Duration zero = Duration::zero();
  // Overflow is only possible when both have the same sign.
  if (timeout > zero && since > zero && timeout > Duration::max() - since) {
    return Clock::time_point::max();
  }
  if (timeout < zero && since < zero && timeout < Duration::min() - since) {
    return Clock::time_point::min();
  }
  return now + timeout;
}

}  // namespace lumra::support
