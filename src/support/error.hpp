#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumra::support {

// An error value: a message plus the errors it wraps. The default value is success.
// Copies share one immutable body, so identity (SameAs) survives copying; sentinels are
// process-wide values compared by that identity, never by message.
class Error {
 public:
  Error() = default;

  // A new error with its own identity and no wrapped errors.
  static Error New(std::string message);
  // A new error whose message already contains the wrapped errors' messages.
  static Error Wrapping(std::string message, std::vector<Error> wrapped);
  // An operating-system error carrying errno; its message is the lower-case system text
  // ("permission denied", "no such file or directory").
  static Error FromErrno(int errnum);

  explicit operator bool() const { return body_ != nullptr; }
  // Empty for success.
  const std::string& Message() const;
  std::span<const Error> Wrapped() const;
  // The errno of an operating-system error, 0 for any other error.
  int Errno() const;
  bool SameAs(const Error& other) const { return body_ == other.body_; }

 private:
  struct Body;
  explicit Error(std::shared_ptr<const Body> body) : body_(std::move(body)) {}
  std::shared_ptr<const Body> body_;
};

// True when `target` is `err` itself or anything `err` wraps, on any branch of the wrap tree.
bool Is(const Error& err, const Error& target);

// The system's generic "permission denied" error.
const Error& ErrPermission();

// True when the wrap tree holds ErrPermission() or an operating-system error EACCES or EPERM.
bool IsPermission(const Error& err);

// Lower-case system text for errno, as used in error messages.
std::string ErrnoText(int errnum);

// A value or an error; exactly one is meaningful. Mirrors the (value, error) pairs of the design.
template <typename T>
struct Result {
  T value{};
  Error err;

  bool ok() const { return !err; }
};

}  // namespace lumra::support
