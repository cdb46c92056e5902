#include "support/error.hpp"

#include <cerrno>

namespace lumra::support {

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
  static const Error kErr = Error::New("permission denied");
  return kErr;
}

bool IsPermission(const Error& err) {
  return AnyInTree(err, [](const Error& e) {
    return e.SameAs(ErrPermission()) || e.Errno() == EACCES || e.Errno() == EPERM;
  });
}

}  // namespace lumra::support
