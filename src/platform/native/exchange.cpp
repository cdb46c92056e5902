// The bridge's exchange entry point: it hands each call to the path of the endpoint's backend.
#include "platform/native/exchange.hpp"

namespace lumra::native {

io_service_t copy_service_for_entry_id(uint64_t entry_id) {
  CFMutableDictionaryRef matching = IORegistryEntryIDMatching(entry_id);
  if (matching == nullptr) return IO_OBJECT_NULL;
  // The matching dictionary is consumed by the call.
  return IOServiceGetMatchingService(kDefaultMainPort, matching);
}

}  // namespace lumra::native

extern "C" int32_t lumra_exchange_ddcci(uint64_t endpoint_id, uint32_t backend,
                                        uint32_t chip_address, const uint8_t* request,
                                        uint32_t request_length, uint8_t* reply,
                                        uint32_t reply_capacity, uint32_t* reply_length,
                                        uint64_t delay_ns,
                                        lumra_exchange_diagnostics* diagnostics) {
  using namespace lumra::native;
  lumra_exchange_diagnostics private_diagnostics{};
  lumra_exchange_diagnostics& record = diagnostics != nullptr ? *diagnostics : private_diagnostics;
  record.stage = kStageIOFramebuffer;
  record.write_cycle = 0;
  record.trailing_pause_ns = 0;
  const exchange_request call{endpoint_id,
                              chip_address,
                              request,
                              request_length,
                              reply,
                              reply_capacity,
                              reply_length,
                              delay_ns,
                              (record.flags & LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE) != 0,
                              &record.trailing_pause_ns,
                              (record.flags & LUMRA_EXCHANGE_OTHER_FRAMING) != 0};
  try {
    if (backend == LUMRA_BACKEND_IOAVSERVICE) return exchange_ioavservice(call, record);
    return exchange_ioframebuffer(call);
  } catch (...) {
    return kIOReturnNoMemory;
  }
}
