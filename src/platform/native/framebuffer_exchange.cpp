// The IOFramebuffer path: one exchange over the first of the framebuffer's I2C buses that takes it.
#include "platform/native/exchange.hpp"

#include "platform/native/handles.hpp"

namespace lumra::native {

namespace {

IOReturn send_request(IOI2CConnectRef connect, IOI2CRequest& request) {
  const IOReturn call = IOI2CSendRequest(connect, 0, &request);
  return call == kIOReturnSuccess ? request.result : call;
}

IOReturn exchange_on_bus(io_service_t framebuffer, IOOptionBits bus, const exchange_request& call) {
  io_service_t interface_service = IO_OBJECT_NULL;
  IOReturn status = IOFBCopyI2CInterfaceForBus(framebuffer, bus, &interface_service);
  if (status != kIOReturnSuccess) return status;
  IOI2CConnectRef connect = nullptr;
  {
    const io_owned interface(interface_service);
    status = IOI2CInterfaceOpen(interface.get(), 0, &connect);
  }
  if (status != kIOReturnSuccess) return status;
  const i2c_connection connection(connect);

  const bool expects_reply = call.reply_capacity != 0;
  IOI2CRequest request{};
  request.sendTransactionType = kIOI2CSimpleTransactionType;
  request.sendAddress = ddcci::displayWriteAddress;
  request.sendBuffer = reinterpret_cast<vm_address_t>(call.request);
  request.sendBytes = call.request_length;
  if (expects_reply) {
    const uint64_t delay = nanoseconds_to_absolute(call.delay_ns);
    request.minReplyDelay = delay != 0 ? delay : 1;
    request.replyAddress = ddcci::kDisplayReadAddress;
    request.replySubAddress = ddcci::hostSourceAddress;
    request.replyTransactionType = kIOI2CDDCciReplyTransactionType;
    request.replyBuffer = reinterpret_cast<vm_address_t>(call.reply);
    request.replyBytes = call.reply_capacity;
  }
  status = send_request(connection.get(), request);

  if (status == kIOReturnUnsupportedMode && expects_reply) {
    // Some drivers refuse the DDC/CI reply transaction; a plain read carries the same bytes.
    request.result = kIOReturnSuccess;
    request.replyTransactionType = kIOI2CSimpleTransactionType;
    request.sendBytes = call.request_length;
    request.replyBytes = call.reply_capacity;
    status = send_request(connection.get(), request);
  }
  if (status != kIOReturnSuccess) return status;

  if (expects_reply && call.reply_length != nullptr) {
    // A driver never gets to report more bytes than the buffer it was given.
    *call.reply_length = request.replyBytes < call.reply_capacity ? request.replyBytes
                                                                    : call.reply_capacity;
  }
  trailing_pause(call, expects_reply ? kReplySettleNanoseconds : call.delay_ns);
  return status;
}

}  // namespace

IOReturn exchange_ioframebuffer(const exchange_request& call) {
  const io_owned framebuffer(copy_service_for_entry_id(call.endpoint_id));
  if (!framebuffer || !IOObjectConformsTo(framebuffer.get(), "IOFramebuffer")) {
    return kIOReturnNoDevice;
  }
  IOItemCount buses = 0;
  const IOReturn counted = IOFBGetI2CInterfaceCount(framebuffer.get(), &buses);
  if (counted != kIOReturnSuccess) return counted;
  if (call.reply_length != nullptr) *call.reply_length = 0;
  if (buses == 0) return kIOReturnUnsupported;

  IOReturn status = kIOReturnUnsupported;
  for (IOItemCount bus = 0; bus < buses; ++bus) {
    status = exchange_on_bus(framebuffer.get(), bus, call);
    if (status == kIOReturnSuccess) break;
  }
  return status;
}

}  // namespace lumra::native
