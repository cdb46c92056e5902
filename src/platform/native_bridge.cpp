#include "platform/native_bridge.hpp"

#include <cstring>

namespace lumra::platform {

NativeBridge RealNativeBridge() {
  return NativeBridge{&lumra_list_external_displays, &lumra_list_display_metadata,
                      &lumra_exchange_ddcci};
}

std::string NativeText(const char* field, std::size_t size) {
  const void* nul = std::memchr(field, '\0', size);
  const std::size_t length =
      nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : size;
  return std::string(field, length);
}

}  // namespace lumra::platform
