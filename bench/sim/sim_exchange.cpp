#include "sim/sim_exchange.hpp"

#include <vector>

namespace lumra::bench {

bool LoadSimulatedWorld() {
  std::uint32_t count = 0;
  return CGGetOnlineDisplayList(0, nullptr, &count) == kCGErrorSuccess;
}

SimI2CConnection::SimI2CConnection() {
  const io_service_t framebuffer =
      IOServiceGetMatchingService(kIOMainPortDefault, IORegistryEntryIDMatching(kQ27Framebuffer));
  if (framebuffer == IO_OBJECT_NULL) return;
  io_service_t interface = IO_OBJECT_NULL;
  if (IOFBCopyI2CInterfaceForBus(framebuffer, 0, &interface) == kIOReturnSuccess) {
    if (IOI2CInterfaceOpen(interface, 0, &connect_) != kIOReturnSuccess) connect_ = nullptr;
    IOObjectRelease(interface);
  }
  IOObjectRelease(framebuffer);
}

SimI2CConnection::~SimI2CConnection() {
  if (connect_ != nullptr) IOI2CInterfaceClose(connect_, 0);
}

bool SimExchange(const SimI2CConnection& connection, std::span<const std::uint8_t> request,
                 std::uint32_t capacity) {
  if (connection.get() == nullptr) return false;
  std::vector<std::uint8_t> send(request.begin(), request.end());
  std::vector<std::uint8_t> reply(capacity);
  IOI2CRequest call{};
  call.sendTransactionType = kIOI2CSimpleTransactionType;
  call.sendAddress = 0x6E;
  call.sendBuffer = reinterpret_cast<vm_address_t>(send.data());
  call.sendBytes = static_cast<std::uint32_t>(send.size());
  if (capacity > 0) {
    call.replyTransactionType = kIOI2CDDCciReplyTransactionType;
    call.replyAddress = 0x6F;
    call.replySubAddress = 0x51;
    call.replyBuffer = reinterpret_cast<vm_address_t>(reply.data());
    call.replyBytes = capacity;
  }
  return IOI2CSendRequest(connection.get(), 0, &call) == kIOReturnSuccess &&
         call.result == kIOReturnSuccess;
}

}  // namespace lumra::bench
