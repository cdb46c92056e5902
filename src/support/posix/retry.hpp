#pragma once

#include <cerrno>

namespace lumra::support {

// Calls a system function until it is not interrupted by a signal: again while it returns -1
// with errno EINTR. Returns what the last call returned, errno as it left it.
template <typename SystemCall>
auto RetryOnEintr(SystemCall call) -> decltype(call()) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

}  // namespace lumra::support
