#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/native/lumra_native.h"

namespace lumra::platform {

// The three entry points of the native bridge, so the transport can be driven by a scripted
// double in tests while production code uses the real bridge.
struct NativeBridge {
  int32_t (*ListExternalDisplays)(lumra_external_display* records, int32_t capacity) = nullptr;
  int32_t (*ListDisplayMetadata)(lumra_display_metadata* records, int32_t capacity) = nullptr;
  int32_t (*ExchangeDDCCI)(uint64_t endpointID, uint32_t backend, uint32_t chipAddress,
                           const uint8_t* request, uint32_t requestLength, uint8_t* reply,
                           uint32_t replyCapacity, uint32_t* replyLength, uint64_t delayNs,
                           lumra_exchange_diagnostics* diagnostics) = nullptr;
};

// The bridge compiled into this program.
NativeBridge RealNativeBridge();

// The text of a fixed-size field of a native record: up to its first NUL, and never past the
// field's end even when the bridge left no NUL in it.
std::string NativeText(const char* field, std::size_t size);

template <std::size_t N>
std::string NativeText(const char (&field)[N]) {
  return NativeText(field, N);
}

}  // namespace lumra::platform
