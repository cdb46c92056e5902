// The bridge's exchange entry point: it hands each call to the path of the endpoint's backend.
#include "platform/native/exchange.hpp"

namespace lumra::native {

io_service_t CopyServiceForEntryId(uint64_t entryId) {
  CFMutableDictionaryRef matching = IORegistryEntryIDMatching(entryId);
  if (matching == nullptr) return IO_OBJECT_NULL;
  // The matching dictionary is consumed by the call.
  return IOServiceGetMatchingService(kDefaultMainPort, matching);
}

}  // namespace lumra::native

extern "C" int32_t lumra_exchange_ddcci(uint64_t endpointId, uint32_t backend, uint32_t chipAddress,
                                        const uint8_t* request, uint32_t requestLength,
                                        uint8_t* reply, uint32_t replyCapacity,
                                        uint32_t* replyLength, uint64_t delayNs,
                                        lumra_exchange_diagnostics* diagnostics) {
  using namespace lumra::native;
  lumra_exchange_diagnostics privateDiagnostics{};
  lumra_exchange_diagnostics& record = diagnostics != nullptr ? *diagnostics : privateDiagnostics;
  record.stage = kStageIOFramebuffer;
  record.write_cycle = 0;
  record.trailing_pause_ns = 0;
  const ExchangeRequest call{endpointId,
                             chipAddress,
                             request,
                             requestLength,
                             reply,
                             replyCapacity,
                             replyLength,
                             delayNs,
                             (record.flags & LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE) != 0,
                             &record.trailing_pause_ns,
                             (record.flags & LUMRA_EXCHANGE_OTHER_FRAMING) != 0};
  try {
    if (backend == LUMRA_BACKEND_IOAVSERVICE) return ExchangeIoavservice(call, record);
    return ExchangeIoframebuffer(call);
  } catch (...) {
    return kIOReturnNoMemory;
  }
}
