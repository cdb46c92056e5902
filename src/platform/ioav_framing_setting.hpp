// LUMRA_IOAV_FRAMING, which forces one framing on every IOAVService port, checked before any
// exchange with the parser the bridge itself reads it with.
#pragma once

#include <functional>
#include <string>

#include "support/environment.hpp"
#include "support/error.hpp"

namespace lumra::platform {

// Wrapped by the error of a value the bridge does not know.
extern const support::Error kErrInvalidIOAVFraming;

// The variable as set (empty when unset) and, when the bridge would not know the value, an
// error "invalid LUMRA_IOAV_FRAMING: <value>" that wraps ErrInvalidIOAVFraming. The value is
// there for callers that word the refusal themselves.
struct IOAVFramingSetting {
  std::string Value;
  support::Error Err;
};

// Looks the variable up with `getenv`; the default reads the process environment, which is
// what the bridge reads.
IOAVFramingSetting ReadIOAVFraming(
    const std::function<std::string(const std::string&)>& getenv = support::Getenv);

}  // namespace lumra::platform
