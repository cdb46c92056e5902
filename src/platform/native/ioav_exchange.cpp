#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include "platform/native/exchange.hpp"
#include "platform/native/handles.hpp"
#include "platform/native/ioav_framing.hpp"
#include "platform/native/snapshots.hpp"

namespace lumra::native {

namespace {

using IoavCreateFn = CFTypeRef (*)(CFAllocatorRef, io_service_t);
using IoavWriteFn = IOReturn (*)(CFTypeRef, uint32_t, uint32_t, void*, uint32_t);
using IoavReadFn = IOReturn (*)(CFTypeRef, uint32_t, uint32_t, void*, uint32_t);

// Set by their own lookups; a failed lookup is tried again on the next call.
IoavCreateFn ioav_create = nullptr;
IoavWriteFn ioav_write = nullptr;
IoavReadFn ioav_read = nullptr;
// Monitors on other endpoints are served at the same time, each may be the first to look up.
std::mutex ioav_lookup;

constexpr const char* kIOKitPath = "/System/Library/Frameworks/IOKit.framework/IOKit";
constexpr uint32_t kMaximumIOAVTransfer = 256;
constexpr uint32_t kConverterMinimumRead = 12;
constexpr uint64_t kWriteSettleNanoseconds = 10'000'000;
// The PS190 converter's data address for the write and the read of a whole request.
constexpr uint32_t kWholeRequestAddress = 0xFFFFFFFF;

// Where the write and the read go and what the write carries.
struct IoavTransfer {
  uint32_t WriteAddress;
  uint32_t ReadAddress;
  uint32_t ReadLength;
  std::array<uint8_t, kMaximumIOAVTransfer> Payload;
  uint32_t PayloadLength;
};

bool LoadIoavSymbols() {
  const std::lock_guard lock(ioav_lookup);
  if (ioav_create != nullptr && ioav_write != nullptr && ioav_read != nullptr) return true;
  void* library = dlopen(kIOKitPath, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) return false;
  const auto create =
      reinterpret_cast<IoavCreateFn>(dlsym(library, "IOAVServiceCreateWithService"));
  const auto read = reinterpret_cast<IoavReadFn>(dlsym(library, "IOAVServiceReadI2C"));
  const auto write = reinterpret_cast<IoavWriteFn>(dlsym(library, "IOAVServiceWriteI2C"));
  if (create == nullptr || read == nullptr || write == nullptr) {
    // The lookup is tried again on the next call, so a failed one must not keep its handle.
    dlclose(library);
    return false;
  }
  ioav_create = create;
  ioav_read = read;
  ioav_write = write;
  return true;
}

// Over IOAVService the display expects a Get VCP checksum without the source address byte,
// except behind the converter chip, which takes the frame as it is.
void ApplyIoavChecksumRule(uint32_t chipAddress, const ExchangeRequest& call, uint8_t* payload,
                           uint32_t payloadLength) {
  if (chipAddress == kConverterChipAddress || call.RequestLength < 4 ||
      call.Request[2] != ddcci::kGetVCPOpcode) {
    return;
  }
  uint8_t checksum = ddcci::kDisplayWriteAddress;
  for (uint32_t i = 0; i + 1 < payloadLength; ++i) checksum ^= payload[i];
  payload[payloadLength - 1] = checksum;
}

IOReturn WriteWithRetry(CFTypeRef service, const ExchangeRequest& call, uint32_t dataAddress,
                        uint8_t* payload, uint32_t payloadLength,
                        lumra_exchange_diagnostics& diagnostics) {
  IOReturn status = kIOReturnSuccess;
  for (uint32_t attempt = 1; attempt <= 2; ++attempt) {
    WaitNanoseconds(kWriteSettleNanoseconds);
    diagnostics.stage = kStageIOAVWrite;
    diagnostics.write_cycle = attempt;
    status = ioav_write(service, call.ChipAddress, dataAddress, payload, payloadLength);
    if (status == kIOReturnSuccess) break;
  }
  return status;
}

// The standard framing, with the MCDP29xx converter's differences at chip 0xB7; or the PS190
// converter's, which sends the request whole, checksum as built.
IoavTransfer PlanTransfer(const ExchangeRequest& call, IoavFraming framing) {
  IoavTransfer transfer{};
  const bool converter = call.ChipAddress == kConverterChipAddress;
  if (framing == IoavFraming::Ps190 && !converter) {
    transfer.WriteAddress = kWholeRequestAddress;
    transfer.ReadAddress = kWholeRequestAddress;
    transfer.ReadLength = call.ReplyCapacity;
    transfer.PayloadLength = call.RequestLength;
    std::memcpy(transfer.Payload.data(), call.Request, call.RequestLength);
    return transfer;
  }
  transfer.WriteAddress = call.Request[0];
  transfer.ReadAddress = converter ? call.Request[0] : 0;
  transfer.ReadLength =
      converter ? std::max(call.ReplyCapacity, kConverterMinimumRead) : call.ReplyCapacity;
  transfer.PayloadLength = call.RequestLength - 1;
  std::memcpy(transfer.Payload.data(), call.Request + 1, transfer.PayloadLength);
  ApplyIoavChecksumRule(call.ChipAddress, call, transfer.Payload.data(), transfer.PayloadLength);
  return transfer;
}

IOReturn ReadReply(CFTypeRef service, const ExchangeRequest& call, const IoavTransfer& transfer,
                   lumra_exchange_diagnostics& diagnostics) {
  std::array<uint8_t, kMaximumIOAVTransfer> buffer{};
  diagnostics.stage = kStageIOAVRead;
  diagnostics.write_cycle = 0;
  const IOReturn status = ioav_read(service, call.ChipAddress, transfer.ReadAddress, buffer.data(),
                                    transfer.ReadLength);
  if (status != kIOReturnSuccess) return status;
  if (call.Reply != nullptr) std::memcpy(call.Reply, buffer.data(), call.ReplyCapacity);
  if (call.ReplyLength != nullptr) *call.ReplyLength = call.ReplyCapacity;
  TrailingPause(call, kReplySettleNanoseconds);
  return status;
}

}  // namespace

bool ProxyIsExternal(io_service_t service) {
  const CfOwned<CFTypeRef> location(IORegistryEntrySearchCFProperty(
      service, kIOServicePlane, CFSTR("Location"), kCFAllocatorDefault,
      kIORegistryIterateRecursively | kIORegistryIterateParents));
  return IsStringEqualTo(location.Get(), CFSTR("External"));
}

IOReturn ExchangeIoavservice(const ExchangeRequest& call, lumra_exchange_diagnostics& diagnostics) {
  diagnostics.stage = kStageLoadIOAVSymbols;
  if (!LoadIoavSymbols()) return kIOReturnUnsupported;

  diagnostics.stage = kStageResolveIOAVEndpoint;
  IoOwned proxy(CopyServiceForEntryId(call.EndpointId));
  if (!proxy || !ProxyIsExternal(proxy.Get())) return kIOReturnNoDevice;
  const IoavFraming framing =
      ChooseIoavFraming(ReadIoavPort(proxy.Get()), ForcedIoavFraming(), call.OtherFraming);

  diagnostics.stage = kStageIOAVCreate;
  const CfOwned<CFTypeRef> service(ioav_create(kCFAllocatorDefault, proxy.Get()));
  proxy.Reset();
  if (!service) return kIOReturnUnsupported;

  diagnostics.stage = kStageValidateIOAVRequest;
  // The reply is read through a fixed buffer, so a larger capacity is refused like a
  // larger request.
  if (call.Request == nullptr || call.RequestLength < 2 ||
      call.RequestLength > kMaximumIOAVTransfer || call.ReplyCapacity > kMaximumIOAVTransfer ||
      (call.ReplyCapacity != 0 && call.Reply == nullptr)) {
    return kIOReturnBadArgument;
  }

  IoavTransfer transfer = PlanTransfer(call, framing);
  IOReturn status = WriteWithRetry(service.Get(), call, transfer.WriteAddress,
                                   transfer.Payload.data(), transfer.PayloadLength, diagnostics);
  if (status != kIOReturnSuccess) return status;

  const uint64_t settle = call.ChipAddress == kConverterChipAddress
                              ? std::max(call.DelayNs, kReplySettleNanoseconds)
                              : call.DelayNs;
  // Without a reply to read, the settle pause is what the next exchange must wait for.
  if (call.ReplyCapacity == 0) {
    TrailingPause(call, settle);
    return status;
  }
  WaitNanoseconds(settle);
  return ReadReply(service.Get(), call, transfer, diagnostics);
}

}  // namespace lumra::native
