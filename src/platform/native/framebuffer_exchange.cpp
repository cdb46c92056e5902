// The IOFramebuffer path: one exchange over the first of the framebuffer's I2C buses that takes it.
#include "platform/native/exchange.hpp"

#include "platform/native/handles.hpp"

namespace lumra::native {

namespace {

IOReturn SendRequest(IOI2CConnectRef connect, IOI2CRequest& request) {
  const IOReturn call = IOI2CSendRequest(connect, 0, &request);
  return call == kIOReturnSuccess ? request.result : call;
}

IOReturn ExchangeOnBus(io_service_t framebuffer, IOOptionBits bus, const ExchangeRequest& call) {
  io_service_t interfaceService = IO_OBJECT_NULL;
  IOReturn status = IOFBCopyI2CInterfaceForBus(framebuffer, bus, &interfaceService);
  if (status != kIOReturnSuccess) return status;
  IOI2CConnectRef connect = nullptr;
  {
    const IoOwned interface(interfaceService);
    status = IOI2CInterfaceOpen(interface.Get(), 0, &connect);
  }
  if (status != kIOReturnSuccess) return status;
  const I2cConnection connection(connect);

  const bool expectsReply = call.ReplyCapacity != 0;
  IOI2CRequest request{};
  request.sendTransactionType = kIOI2CSimpleTransactionType;
  request.sendAddress = ddcci::kDisplayWriteAddress;
  request.sendBuffer = reinterpret_cast<vm_address_t>(call.Request);
  request.sendBytes = call.RequestLength;
  if (expectsReply) {
    const uint64_t delay = NanosecondsToAbsolute(call.DelayNs);
    request.minReplyDelay = delay != 0 ? delay : 1;
    request.replyAddress = ddcci::kDisplayReadAddress;
    request.replySubAddress = ddcci::kHostSourceAddress;
    request.replyTransactionType = kIOI2CDDCciReplyTransactionType;
    request.replyBuffer = reinterpret_cast<vm_address_t>(call.Reply);
    request.replyBytes = call.ReplyCapacity;
  }
  status = SendRequest(connection.Get(), request);

  if (status == kIOReturnUnsupportedMode && expectsReply) {
    // Some drivers refuse the DDC/CI reply transaction; a plain read carries the same bytes.
    request.result = kIOReturnSuccess;
    request.replyTransactionType = kIOI2CSimpleTransactionType;
    request.sendBytes = call.RequestLength;
    request.replyBytes = call.ReplyCapacity;
    status = SendRequest(connection.Get(), request);
  }
  if (status != kIOReturnSuccess) return status;

  if (expectsReply && call.ReplyLength != nullptr) {
    // A driver never gets to report more bytes than the buffer it was given.
    *call.ReplyLength =
        request.replyBytes < call.ReplyCapacity ? request.replyBytes : call.ReplyCapacity;
  }
  TrailingPause(call, expectsReply ? kReplySettleNanoseconds : call.DelayNs);
  return status;
}

}  // namespace

IOReturn ExchangeIoframebuffer(const ExchangeRequest& call) {
  const IoOwned framebuffer(CopyServiceForEntryId(call.EndpointId));
  if (!framebuffer || !IOObjectConformsTo(framebuffer.Get(), "IOFramebuffer")) {
    return kIOReturnNoDevice;
  }
  IOItemCount buses = 0;
  const IOReturn counted = IOFBGetI2CInterfaceCount(framebuffer.Get(), &buses);
  if (counted != kIOReturnSuccess) return counted;
  if (call.ReplyLength != nullptr) *call.ReplyLength = 0;
  if (buses == 0) return kIOReturnUnsupported;

  IOReturn status = kIOReturnUnsupported;
  for (IOItemCount bus = 0; bus < buses; ++bus) {
    status = ExchangeOnBus(framebuffer.Get(), bus, call);
    if (status == kIOReturnSuccess) break;
  }
  return status;
}

}  // namespace lumra::native
