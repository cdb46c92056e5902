// The pieces of one DDC/CI exchange shared by the two platform paths.
#pragma once

#include <cstdint>

#include "ddcci/protocol.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native/platform_api.hpp"

namespace lumra::native {

// The arguments of one exchange, as the caller gave them.
struct ExchangeRequest {
  uint64_t EndpointId;
  uint32_t ChipAddress;
  const uint8_t* Request;
  uint32_t RequestLength;
  uint8_t* Reply;
  uint32_t ReplyCapacity;
  uint32_t* ReplyLength;
  uint64_t DelayNs;
  bool DeferTrailingPause;
  uint64_t* TrailingPauseNs;  // never null
  bool OtherFraming;          // LUMRA_EXCHANGE_OTHER_FRAMING
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

IOReturn ExchangeIoframebuffer(const ExchangeRequest& call);
IOReturn ExchangeIoavservice(const ExchangeRequest& call, lumra_exchange_diagnostics& diagnostics);

// True when the service or one of its parents has the registry property "Location" equal to
// "External". The enumeration lists only proxies the exchange accepts by this same test.
bool ProxyIsExternal(io_service_t service);

// The one service whose registry entry identifier is `entry_id`, or IO_OBJECT_NULL.
io_service_t CopyServiceForEntryId(uint64_t entryId);

// One nanosleep; an interrupted sleep is not resumed.
void WaitNanoseconds(uint64_t ns);
// The pause after the exchange's last transaction: reported, and slept unless the caller asked
// to keep the bus quiet itself.
void TrailingPause(const ExchangeRequest& call, uint64_t ns);
// Nanoseconds in the Mach absolute-time units of this machine.
uint64_t NanosecondsToAbsolute(uint64_t ns);

}  // namespace lumra::native
