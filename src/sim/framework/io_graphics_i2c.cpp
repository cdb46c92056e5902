// The framebuffer I2C driver: IOI2CInterfaceOpen/Close and IOI2CSendRequest, carrying DDC/CI
// frames between the caller and the monitor on the bus.
#include <algorithm>
#include <cstring>
#include <span>

#include "sim/framework/io_objects.hpp"
#include "sim/framework/mach_time.hpp"
#include "sim/framework/macos_api.h"
#include "sim/world/bus_exchange.hpp"
#include "sim/world/ddcci_wire.hpp"

namespace lumra::sim {
namespace {

constexpr std::uint32_t kMaxTransferBytes = 1024;
// What a read gets where nothing drives the bus: every line stays high.
constexpr std::uint8_t kIdleBusByte = 0xFF;

bool SupportedSend(IOOptionBits type) {
  return type == kIOI2CNoTransactionType || type == kIOI2CSimpleTransactionType;
}

bool SupportedReply(IOOptionBits type) {
  return type == kIOI2CNoTransactionType || type == kIOI2CSimpleTransactionType ||
         type == kIOI2CDDCciReplyTransactionType;
}

IOReturn Send(const I2CConnection& connection, const BusSpec& bus, const IOI2CRequest& request) {
  if (request.sendAddress != kDisplayWriteAddress) return kIOReturnNoDevice;
  if (request.sendBuffer == 0 && request.sendBytes > 0) return kIOReturnBadArgument;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.sendBuffer);
  const std::span<const std::uint8_t> frame(bytes, request.sendBytes);
  return WriteToMonitor(
      *connection.World, *bus.Monitor,
      WriteTransaction{request.sendAddress >> 1u, 0, frame, frame, ChecksumRule::Standard});
}

// The reply transaction after the request's minReplyDelay; fills the caller's buffer with as
// many bytes as the monitor's reply has, up to the capacity. A monitor answers only a read from
// the host's sub-address; any other gets idle-bus bytes, which are no DDC/CI reply.
IOReturn Receive(const I2CConnection& connection, const BusSpec& bus, IOI2CRequest& request,
                 std::uint32_t capacity) {
  if (request.replyAddress != kDisplayReadAddress) return kIOReturnNoDevice;
  if (request.replyBuffer == 0) return kIOReturnBadArgument;
  SleepNanoseconds(AbsoluteToNanoseconds(*connection.World, request.minReplyDelay));
  Bytes reply;
  const ReadTransaction read{request.replyAddress >> 1, request.replySubAddress, capacity,
                             request.replyTransactionType,
                             // A DDC/CI reply is read from the host's source address.
                             request.replySubAddress == kHostSourceAddress, kIdleBusByte, false};
  const IOReturn status = ReadFromMonitor(*connection.World, *bus.Monitor, read, reply);
  if (status != kIOReturnSuccess) return status;
  const auto delivered = static_cast<std::uint32_t>(std::min<std::size_t>(capacity, reply.size()));
  std::memcpy(reinterpret_cast<void*>(request.replyBuffer), reply.data(), delivered);
  request.replyBytes = delivered;
  return kIOReturnSuccess;
}

IOReturn RunTransaction(const I2CConnection& connection, IOI2CRequest& request) {
  const BusSpec& bus =
      connection.World->Scenario.Framebuffers[connection.Framebuffer].Buses[connection.Bus];
  const std::uint32_t capacity = request.replyBytes;
  const bool wantsReply = request.replyTransactionType != kIOI2CNoTransactionType && capacity > 0;
  request.replyBytes = 0;
  if (bus.Status != 0) return bus.Status;
  if (wantsReply && bus.RejectDdcciReply &&
      request.replyTransactionType == kIOI2CDDCciReplyTransactionType) {
    return kIOReturnUnsupportedMode;
  }
  if (!SupportedSend(request.sendTransactionType) ||
      !SupportedReply(request.replyTransactionType)) {
    return kIOReturnUnsupportedMode;
  }
  if (request.sendTransactionType != kIOI2CNoTransactionType) {
    const IOReturn status = Send(connection, bus, request);
    if (status != kIOReturnSuccess) return status;
  }
  return wantsReply ? Receive(connection, bus, request, capacity) : kIOReturnSuccess;
}

}  // namespace
}  // namespace lumra::sim

using namespace lumra::sim;

extern "C" {

IOReturn IOI2CInterfaceOpen(io_service_t interface, IOOptionBits, IOI2CConnectRef* connect) {
  if (connect == nullptr) return kIOReturnBadArgument;
  *connect = nullptr;
  const auto object = FindIoObject(interface);
  const auto* i2c = object ? std::get_if<I2CInterfaceObject>(&*object) : nullptr;
  if (i2c == nullptr) return kIOReturnBadArgument;
  const BusSpec& bus = i2c->World->Scenario.Framebuffers[i2c->Framebuffer].Buses[i2c->Bus];
  if (bus.OpenStatus != 0) return bus.OpenStatus;
  *connect = OpenConnection(I2CConnection{i2c->World, i2c->Framebuffer, i2c->Bus});
  return kIOReturnSuccess;
}

IOReturn IOI2CInterfaceClose(IOI2CConnectRef connect, IOOptionBits) {
  return CloseConnection(connect) ? kIOReturnSuccess : kIOReturnBadArgument;
}

IOReturn IOI2CSendRequest(IOI2CConnectRef connect, IOOptionBits, IOI2CRequest* request) {
  const auto connection = FindConnection(connect);
  if (!connection || request == nullptr) return kIOReturnBadArgument;
  if (request->sendBytes > kMaxTransferBytes || request->replyBytes > kMaxTransferBytes) {
    return kIOReturnOverrun;
  }
  // The driver works on its own copy and hands it back whole, as the system does.
  IOI2CRequest copy = *request;
  copy.result = RunTransaction(*connection, copy);
  *request = copy;
  return kIOReturnSuccess;
}

}  // extern "C"
