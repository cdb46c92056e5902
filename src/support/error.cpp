#include "support/error.hpp"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace lumra::support {

struct Error::Body {
  std::string message;
  std::vector<Error> wrapped;
  int errnum = 0;
};

Error Error::New(std::string message) {
  return Error(std::make_shared<const Body>(Body{std::move(message), {}, 0}));
}

Error Error::Wrapping(std::string message, std::vector<Error> wrapped) {
  return Error(std::make_shared<const Body>(Body{std::move(message), std::move(wrapped), 0}));
}

Error Error::FromErrno(int errnum) {
  return Error(std::make_shared<const Body>(Body{ErrnoText(errnum), {}, errnum}));
}

const std::string& Error::Message() const {
  static const std::string empty;
  return body_ ? body_->message : empty;
}

std::span<const Error> Error::Wrapped() const {
  if (!body_) return {};
  return body_->wrapped;
}

int Error::Errno() const { return body_ ? body_->errnum : 0; }

namespace {

template <typename Predicate>
bool AnyInTree(const Error& err, const Predicate& matches) {
  if (!err) return false;
  if (matches(err)) return true;
  for (const Error& inner : err.Wrapped()) {
    if (AnyInTree(inner, matches)) return true;
  }
  return false;
}

}  // namespace

bool Is(const Error& err, const Error& target) {
  if (!target) return !err;
  return AnyInTree(err, [&](const Error& e) { return e.SameAs(target); });
}

const Error& ErrPermission() {
  static const Error err = Error::New("permission denied");
  return err;
}

bool IsPermission(const Error& err) {
  return AnyInTree(err, [](const Error& e) {
    return e.SameAs(ErrPermission()) || e.Errno() == EACCES || e.Errno() == EPERM;
  });
}

std::string ErrnoText(int errnum) {
  std::string text = std::strerror(errnum);
  // System texts are capitalised sentences; messages here are lower-case fragments.
  if (!text.empty() && text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
      !std::isupper(static_cast<unsigned char>(text[1]))) {
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  }
  return text;
}

}  // namespace lumra::support
