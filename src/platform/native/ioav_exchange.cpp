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

using ioav_create_fn = CFTypeRef (*)(CFAllocatorRef, io_service_t);
using ioav_write_fn = IOReturn (*)(CFTypeRef, uint32_t, uint32_t, void*, uint32_t);
using ioav_read_fn = IOReturn (*)(CFTypeRef, uint32_t, uint32_t, void*, uint32_t);

// Set by their own lookups; a failed lookup is tried again on the next call.
ioav_create_fn ioav_create = nullptr;
ioav_write_fn ioav_write = nullptr;
ioav_read_fn ioav_read = nullptr;
// Monitors on other endpoints are served at the same time, each may be the first to look up.
std::mutex ioav_lookup;

constexpr const char* kIOKitPath = "/System/Library/Frameworks/IOKit.framework/IOKit";
constexpr uint32_t kMaximumIOAVTransfer = 256;
constexpr uint32_t kConverterMinimumRead = 12;
constexpr uint64_t kWriteSettleNanoseconds = 10'000'000;
// The PS190 converter's data address for the write and the read of a whole request.
constexpr uint32_t kWholeRequestAddress = 0xFFFFFFFF;

// Where the write and the read go and what the write carries.
struct ioav_transfer {
  uint32_t write_address;
  uint32_t read_address;
  uint32_t read_length;
  std::array<uint8_t, kMaximumIOAVTransfer> payload;
  uint32_t payload_length;
};

bool load_ioav_symbols() {
  const std::lock_guard lock(ioav_lookup);
  if (ioav_create != nullptr && ioav_write != nullptr && ioav_read != nullptr) return true;
  void* library = dlopen(kIOKitPath, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) return false;
  const auto create = reinterpret_cast<ioav_create_fn>(dlsym(library, "IOAVServiceCreateWithService"));
  const auto read = reinterpret_cast<ioav_read_fn>(dlsym(library, "IOAVServiceReadI2C"));
  const auto write = reinterpret_cast<ioav_write_fn>(dlsym(library, "IOAVServiceWriteI2C"));
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
void apply_ioav_checksum_rule(uint32_t chip_address, const exchange_request& call,
                              uint8_t* payload, uint32_t payload_length) {
  if (chip_address == kConverterChipAddress || call.request_length < 4 ||
      call.request[2] != ddcci::kGetVCPOpcode) {
    return;
  }
  uint8_t checksum = ddcci::displayWriteAddress;
  for (uint32_t i = 0; i + 1 < payload_length; ++i) checksum ^= payload[i];
  payload[payload_length - 1] = checksum;
}

IOReturn write_with_retry(CFTypeRef service, const exchange_request& call, uint32_t data_address,
                          uint8_t* payload, uint32_t payload_length,
                          lumra_exchange_diagnostics& diagnostics) {
  IOReturn status = kIOReturnSuccess;
  for (uint32_t attempt = 1; attempt <= 2; ++attempt) {
    wait_nanoseconds(kWriteSettleNanoseconds);
    diagnostics.stage = kStageIOAVWrite;
    diagnostics.write_cycle = attempt;
    status = ioav_write(service, call.chip_address, data_address, payload, payload_length);
    if (status == kIOReturnSuccess) break;
  }
  return status;
}

// The standard framing, with the MCDP29xx converter's differences at chip 0xB7; or the PS190
// converter's, which sends the request whole, checksum as built.
ioav_transfer plan_transfer(const exchange_request& call, ioav_framing framing) {
  ioav_transfer transfer{};
  const bool converter = call.chip_address == kConverterChipAddress;
  if (framing == ioav_framing::ps190 && !converter) {
    transfer.write_address = kWholeRequestAddress;
    transfer.read_address = kWholeRequestAddress;
    transfer.read_length = call.reply_capacity;
    transfer.payload_length = call.request_length;
    std::memcpy(transfer.payload.data(), call.request, call.request_length);
    return transfer;
  }
  transfer.write_address = call.request[0];
  transfer.read_address = converter ? call.request[0] : 0;
  transfer.read_length =
      converter ? std::max(call.reply_capacity, kConverterMinimumRead) : call.reply_capacity;
  transfer.payload_length = call.request_length - 1;
  std::memcpy(transfer.payload.data(), call.request + 1, transfer.payload_length);
  apply_ioav_checksum_rule(call.chip_address, call, transfer.payload.data(),
                           transfer.payload_length);
  return transfer;
}

IOReturn read_reply(CFTypeRef service, const exchange_request& call,
                    const ioav_transfer& transfer, lumra_exchange_diagnostics& diagnostics) {
  std::array<uint8_t, kMaximumIOAVTransfer> buffer{};
  diagnostics.stage = kStageIOAVRead;
  diagnostics.write_cycle = 0;
  const IOReturn status = ioav_read(service, call.chip_address, transfer.read_address,
                                    buffer.data(), transfer.read_length);
  if (status != kIOReturnSuccess) return status;
  if (call.reply != nullptr) std::memcpy(call.reply, buffer.data(), call.reply_capacity);
  if (call.reply_length != nullptr) *call.reply_length = call.reply_capacity;
  trailing_pause(call, kReplySettleNanoseconds);
  return status;
}

}  // namespace

bool proxy_is_external(io_service_t service) {
  const cf_owned<CFTypeRef> location(IORegistryEntrySearchCFProperty(
      service, kIOServicePlane, CFSTR("Location"), kCFAllocatorDefault,
      kIORegistryIterateRecursively | kIORegistryIterateParents));
  return is_string_equal_to(location.get(), CFSTR("External"));
}

IOReturn exchange_ioavservice(const exchange_request& call, lumra_exchange_diagnostics& diagnostics) {
  diagnostics.stage = kStageLoadIOAVSymbols;
  if (!load_ioav_symbols()) return kIOReturnUnsupported;

  diagnostics.stage = kStageResolveIOAVEndpoint;
  io_owned proxy(copy_service_for_entry_id(call.endpoint_id));
  if (!proxy || !proxy_is_external(proxy.get())) return kIOReturnNoDevice;
  const ioav_framing framing =
      choose_ioav_framing(read_ioav_port(proxy.get()), forced_ioav_framing(), call.other_framing);

  diagnostics.stage = kStageIOAVCreate;
  const cf_owned<CFTypeRef> service(ioav_create(kCFAllocatorDefault, proxy.get()));
  proxy.reset();
  if (!service) return kIOReturnUnsupported;

  diagnostics.stage = kStageValidateIOAVRequest;
  // The reply is read through a fixed buffer, so a larger capacity is refused like a
  // larger request.
  if (call.request == nullptr || call.request_length < 2 || call.request_length > kMaximumIOAVTransfer ||
      call.reply_capacity > kMaximumIOAVTransfer ||
      (call.reply_capacity != 0 && call.reply == nullptr)) {
    return kIOReturnBadArgument;
  }

  ioav_transfer transfer = plan_transfer(call, framing);
  IOReturn status = write_with_retry(service.get(), call, transfer.write_address,
                                     transfer.payload.data(), transfer.payload_length, diagnostics);
  if (status != kIOReturnSuccess) return status;

  const uint64_t settle = call.chip_address == kConverterChipAddress
                              ? std::max(call.delay_ns, kReplySettleNanoseconds)
                              : call.delay_ns;
  // Without a reply to read, the settle pause is what the next exchange must wait for.
  if (call.reply_capacity == 0) {
    trailing_pause(call, settle);
    return status;
  }
  wait_nanoseconds(settle);
  return read_reply(service.get(), call, transfer, diagnostics);
}

}  // namespace lumra::native
