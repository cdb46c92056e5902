// The pieces of one DDC/CI exchange shared by the two platform paths.
#pragma once

#include <cstdint>

#include "ddcci/protocol.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native/platform_api.hpp"

namespace lumra::native {

// The arguments of one exchange, as the caller gave them.
struct exchange_request {
  uint64_t endpoint_id;
  uint32_t chip_address;
  const uint8_t* request;
  uint32_t request_length;
  uint8_t* reply;
  uint32_t reply_capacity;
  uint32_t* reply_length;
  uint64_t delay_ns;
  bool defer_trailing_pause;
  uint64_t* trailing_pause_ns;  // never null
  bool other_framing;           // LUMRA_EXCHANGE_OTHER_FRAMING
};

// Besides the display's own DDC/CI address, an enumeration record may carry the chip address
// of the HDMI converter that Apple silicon puts between some ports and the display.
inline constexpr uint32_t kConverterChipAddress = 0xB7;
inline constexpr uint64_t kReplySettleNanoseconds = 50'000'000;

inline const char* const kStageIOFramebuffer = "IOFramebuffer";
inline const char* const kStageLoadIOAVSymbols = "load-ioav-symbols";
inline const char* const kStageResolveIOAVEndpoint = "resolve-ioav-endpoint";
inline const char* const kStageIOAVCreate = "IOAVServiceCreateWithService";
inline const char* const kStageValidateIOAVRequest = "validate-ioav-request";
inline const char* const kStageIOAVWrite = "IOAVServiceWriteI2C";
inline const char* const kStageIOAVRead = "IOAVServiceReadI2C";

IOReturn exchange_ioframebuffer(const exchange_request& call);
IOReturn exchange_ioavservice(const exchange_request& call, lumra_exchange_diagnostics& diagnostics);

// True when the service or one of its parents has the registry property "Location" equal to
// "External". The enumeration lists only proxies the exchange accepts by this same test.
bool proxy_is_external(io_service_t service);

// The one service whose registry entry identifier is `entry_id`, or IO_OBJECT_NULL.
io_service_t copy_service_for_entry_id(uint64_t entry_id);

// One nanosleep; an interrupted sleep is not resumed.
void wait_nanoseconds(uint64_t ns);
// The pause after the exchange's last transaction: reported, and slept unless the caller asked
// to keep the bus quiet itself.
void trailing_pause(const exchange_request& call, uint64_t ns);
// Nanoseconds in the Mach absolute-time units of this machine.
uint64_t nanoseconds_to_absolute(uint64_t ns);

}  // namespace lumra::native
