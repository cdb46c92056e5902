#include "support/context.hpp"

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
  std::shared_ptr<State> parent;
  std::optional<Clock::time_point> deadline;
  Error reason;  // set once cancelled; guarded by ContextMutex()
};

const Error& ErrCanceled() {
  static const Error err = Error::New("context canceled");
  return err;
}

const Error& ErrDeadlineExceeded() {
  static const Error err = Error::New("context deadline exceeded");
  return err;
}

namespace {

template <typename State>
Error ErrLocked(const State* state, Clock::time_point now) {
  for (; state != nullptr; state = state->parent.get()) {
    if (state->reason) return state->reason;
    if (state->deadline && now >= *state->deadline) return ErrDeadlineExceeded();
  }
  return {};
}

}  // namespace

Error Context::Err() const {
  std::lock_guard lock(ContextMutex());
  return ErrLocked(state_.get(), Clock::now());
}

std::optional<Clock::time_point> Context::Deadline() const {
  std::optional<Clock::time_point> earliest;
  for (const State* state = state_.get(); state != nullptr; state = state->parent.get()) {
    if (state->deadline && (!earliest || *state->deadline < *earliest)) earliest = state->deadline;
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

std::pair<Context, CancelHandle> Context::WithCancel(const Context& parent) {
  auto state = std::make_shared<State>();
  state->parent = parent.state_;
  return {Context(state), CancelHandle(state)};
}

std::pair<Context, CancelHandle> Context::WithDeadline(const Context& parent,
                                                       Clock::time_point deadline) {
  auto state = std::make_shared<State>();
  state->parent = parent.state_;
  state->deadline = deadline;
  return {Context(state), CancelHandle(state)};
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
    if (!state_->reason) {
      // A deadline that has already passed stays the reason the context ended.
      const bool expired = state_->deadline && Clock::now() >= *state_->deadline;
      state_->reason = expired ? ErrDeadlineExceeded() : ErrCanceled();
    }
  }
  ContextChanged().notify_all();
  state_.reset();
}

Clock::time_point DeadlineAfter(Clock::time_point now, Duration timeout) {
  const auto far = Clock::time_point::max();
  if (timeout.count() <= 0) return now + timeout;
  if (timeout > far - now) return far;
  return now + Duration(timeout);
}

}  // namespace lumra::support
