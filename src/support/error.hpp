#pragma once

#include <cctype>
#include <cstring>
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
  static Error New(std::string message) { return Error(Body{std::move(message), {}, 0}); }
  // A new error whose message already contains the wrapped errors' messages.
  static Error Wrapping(std::string message, std::vector<Error> wrapped) {
    return Error(Body{std::move(message), std::move(wrapped), 0});
  }
  // An operating-system error carrying errno; its message is the lower-case system text
  // ("permission denied", "no such file or directory").
  static Error FromErrno(int errnum);

  explicit operator bool() const { return body_ != nullptr; }
  // Empty for success.
  const std::string& Message() const {
    static const std::string kEmpty;
    return body_ ? body_->Message : kEmpty;
  }
  std::span<const Error> Wrapped() const {
    if (!body_) return {};
    return body_->Wrapped;
  }
  // The errno of an operating-system error, 0 for any other error.
  int Errno() const { return body_ ? body_->Errnum : 0; }
  bool SameAs(const Error& other) const { return body_ == other.body_; }

 private:
  struct Body {
    std::string Message;
    std::vector<Error> Wrapped;
    int Errnum = 0;
  };
  explicit Error(Body body) : body_(std::make_shared<const Body>(std::move(body))) {}
  std::shared_ptr<const Body> body_;
};

// True when `target` is `err` itself or anything `err` wraps, on any branch of the wrap tree.
bool Is(const Error& err, const Error& target);

// The system's generic "permission denied" error.
const Error& ErrPermission();

// True when the wrap tree holds ErrPermission() or an operating-system error EACCES or EPERM.
bool IsPermission(const Error& err);

// Lower-case system text for errno, as used in error messages.
inline std::string ErrnoText(int errnum) {
  std::string text = std::strerror(errnum);
  // System texts are capitalised sentences; messages here are lower-case fragments.
  if (!text.empty() && text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
      !std::isupper(static_cast<unsigned char>(text[1]))) {
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  }
  return text;
}

inline Error Error::FromErrno(int errnum) { return Error(Body{ErrnoText(errnum), {}, errnum}); }

// A value or an error; exactly one is meaningful. Mirrors the (value, error) pairs of the design.
template <typename T>
struct Result {
  T Value{};
  Error Err;

  bool Ok() const { return !Err; }
};

}  // namespace lumra::support
