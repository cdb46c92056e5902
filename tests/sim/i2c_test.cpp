// The framebuffer I2C driver: transactions, reply delay, Overrun, failing buses and the
// refused DDC/CI reply type, with monitors answering on the bus.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

constexpr const char* kI2CScenario = R"({
  "framebuffers": [
    {"entry_id": 1, "path": "IOService:/fb@1",
     "buses": [{"status": "0xE00002C0"}, {"monitor": "m"}, {"monitor": "m", "reject_ddcci_reply": true},
               {"monitor": "m", "open_status": "0xE00002C1"}]}
  ],
  "monitors": {"m": {"vcp": {"0x10": {"current": 50, "maximum": 100},
                             "0x12": {"current": 70, "maximum": 100}},
                     "faults": [{"request": "set", "fault": "busy", "count": 1}]}},
  "timebase": {"numer": 125, "denom": 3}
})";

struct Transfer {
  IOReturn call = kIOReturnError;
  IOReturn result = kIOReturnError;
  uint32_t replyBytes = 0;
  ByteVector reply;
};

struct Request {
  ByteVector send;
  uint32_t capacity = 11;
  IOOptionBits replyType = kIOI2CDDCciReplyTransactionType;
  uint64_t minReplyDelay = 0;
  uint32_t sendAddress = 0x6E;
  IOOptionBits sendType = kIOI2CSimpleTransactionType;
  uint32_t sendBytes = 0;  // 0: the size of `send`
  uint8_t replySubAddress = 0x51;
};

IOReturn OpenBus(uint32_t bus, IOI2CConnectRef* connect) {
  io_service_t fb = ServiceWithId(1);
  io_service_t interface = IO_OBJECT_NULL;
  IOReturn status = IOFBCopyI2CInterfaceForBus(fb, bus, &interface);
  if (status == kIOReturnSuccess) status = IOI2CInterfaceOpen(interface, 0, connect);
  IOObjectRelease(interface);
  IOObjectRelease(fb);
  return status;
}

Transfer Send(uint32_t bus, Request r) {
  Transfer out;
  IOI2CConnectRef connect = nullptr;
  if (OpenBus(bus, &connect) != kIOReturnSuccess) return out;
  ByteVector reply(r.capacity + 8, 0xEE);
  IOI2CRequest request = {};
  request.sendTransactionType = r.sendType;
  request.sendAddress = r.sendAddress;
  request.sendBuffer = reinterpret_cast<vm_address_t>(r.send.data());
  request.sendBytes = r.sendBytes != 0 ? r.sendBytes : static_cast<uint32_t>(r.send.size());
  if (r.capacity > 0) {
    request.replyTransactionType = r.replyType;
    request.replyAddress = 0x6F;
    request.replySubAddress = r.replySubAddress;
    request.replyBuffer = reinterpret_cast<vm_address_t>(reply.data());
    request.replyBytes = r.capacity;
    request.minReplyDelay = r.minReplyDelay;
  }
  out.call = IOI2CSendRequest(connect, 0, &request);
  out.result = request.result;
  out.replyBytes = request.replyBytes;
  out.reply.assign(reply.begin(),
                   reply.begin() + std::min<std::size_t>(request.replyBytes, r.capacity));
  EXPECT_EQ(IOI2CInterfaceClose(connect, 0), kIOReturnSuccess);
  return out;
}

class I2CTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Use(kI2CScenario);
  }
};

TEST_F(I2CTest, GetVcpRoundTripOnTheMonitorsBus) {
  for (IOOptionBits type : {kIOI2CDDCciReplyTransactionType, kIOI2CSimpleTransactionType}) {
    const Transfer t = Send(1, {Hex("51 82 01 10 AC"), 11, type});
    EXPECT_EQ(t.call, kIOReturnSuccess);
    EXPECT_EQ(t.result, kIOReturnSuccess) << type;
    EXPECT_EQ(t.replyBytes, 11u);
    EXPECT_EQ(Spaced(t.reply), "6E 88 02 00 10 00 00 64 00 32 F2");
  }
  // A larger buffer still receives only the reply's bytes.
  const Transfer wide = Send(1, {Hex("51 82 01 10 AC"), 38});
  EXPECT_EQ(wide.replyBytes, 11u);
}

TEST_F(I2CTest, BusOutcomesAreReportedInTheRequest) {
  const struct {
    const char* name;
    uint32_t bus;
    Request request;
    IOReturn result;
  } cases[] = {
      {"failing bus", 0, {Hex("51 82 01 10 AC")}, kIOReturnNoDevice},
      {"refused DDC/CI reply type", 2, {Hex("51 82 01 10 AC")}, kIOReturnUnsupportedMode},
      {"simple reply type on the same bus",
       2,
       {Hex("51 82 01 10 AC"), 11, kIOI2CSimpleTransactionType},
       kIOReturnSuccess},
      {"write-only on that bus", 2, {Hex("51 82 01 10 AC"), 0}, kIOReturnSuccess},
      {"wrong address", 1, {Hex("51 82 01 10 AC"), 11, 2, 0, 0x6C}, kIOReturnNoDevice},
      {"combined transactions",
       1,
       {Hex("51 82 01 10 AC"), 11, 2, 0, 0x6E, kIOI2CCombinedTransactionType},
       kIOReturnUnsupportedMode},
  };
  for (const auto& c : cases) {
    const Transfer t = Send(c.bus, c.request);
    EXPECT_EQ(t.call, kIOReturnSuccess) << c.name;
    EXPECT_EQ(t.result, c.result) << c.name;
    if (c.result != kIOReturnSuccess) {
      EXPECT_EQ(t.replyBytes, 0u) << c.name;
    }
  }
  // The refused attempt never reached the monitor.
  const auto counters = ReadMonitorCounters("m").Value;
  EXPECT_EQ(counters.Writes, 2u);
}

// The monitor answers a read from the host's sub-address 0x51 only, whatever the reply type;
// the latest read's sub-address and type are kept for tests of the bridge.
TEST_F(I2CTest, RepliesComeFromTheHostSubAddressOnly) {
  const char* const reply = "6E 88 02 00 10 00 00 64 00 32 F2";
  const char* const idle = "FF FF FF FF FF FF FF FF FF FF FF";
  const struct {
    IOOptionBits type;
    uint8_t subAddress;
    const char* reply;
  } cases[] = {
      {kIOI2CDDCciReplyTransactionType, 0x51, reply},
      {kIOI2CSimpleTransactionType, 0x51, reply},
      {kIOI2CDDCciReplyTransactionType, 0x50, idle},
      {kIOI2CSimpleTransactionType, 0x00, idle},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "type " << c.type << ", sub-address " << int(c.subAddress));
    Request request{Hex("51 82 01 10 AC"), 11, c.type};
    request.replySubAddress = c.subAddress;
    const Transfer t = Send(1, request);
    EXPECT_EQ(t.result, kIOReturnSuccess);
    EXPECT_EQ(Spaced(t.reply), c.reply);
    const auto counters = ReadMonitorCounters("m").Value;
    EXPECT_EQ(counters.LastReadAddress, c.subAddress);
    EXPECT_EQ(counters.LastReadType, c.type);
  }
}

TEST_F(I2CTest, MoreThan1024BytesIsAnOverrun) {
  ByteVector big(1025, 0);
  IOI2CConnectRef connect = nullptr;
  ASSERT_EQ(OpenBus(1, &connect), kIOReturnSuccess);
  IOI2CRequest request = {};
  request.sendTransactionType = kIOI2CSimpleTransactionType;
  request.sendAddress = 0x6E;
  request.sendBuffer = reinterpret_cast<vm_address_t>(big.data());
  request.sendBytes = 1025;
  EXPECT_EQ(IOI2CSendRequest(connect, 0, &request), kIOReturnOverrun);
  request.sendBytes = 5;
  request.replyTransactionType = kIOI2CSimpleTransactionType;
  request.replyAddress = 0x6F;
  request.replyBuffer = reinterpret_cast<vm_address_t>(big.data());
  request.replyBytes = 1025;
  EXPECT_EQ(IOI2CSendRequest(connect, 0, &request), kIOReturnOverrun);
  request.replyBytes = 1024;
  EXPECT_EQ(IOI2CSendRequest(connect, 0, &request), kIOReturnSuccess);
  IOI2CInterfaceClose(connect, 0);
  EXPECT_EQ(ReadMonitorCounters("m").Value.Writes, 1u);
}

// minReplyDelay is in absolute-time units; with a 125/3 timebase, 60 ms is 1,440,000 units.
TEST_F(I2CTest, ReplyDelayIsHonouredInAbsoluteTime) {
  const auto start = std::chrono::steady_clock::now();
  const Transfer t = Send(1, {Hex("51 82 01 10 AC"), 11, 2, 1'440'000});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(t.result, kIOReturnSuccess);
  EXPECT_GE(elapsed, std::chrono::milliseconds(55));
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST_F(I2CTest, OpeningAndCountingBuses) {
  io_service_t fb = ServiceWithId(1);
  IOItemCount count = 0;
  EXPECT_EQ(IOFBGetI2CInterfaceCount(fb, &count), kIOReturnSuccess);
  EXPECT_EQ(count, 4u);
  io_service_t interface = IO_OBJECT_NULL;
  EXPECT_EQ(IOFBCopyI2CInterfaceForBus(fb, 4, &interface), kIOReturnNoDevice);
  IOObjectRelease(fb);
  IOI2CConnectRef connect = nullptr;
  EXPECT_EQ(OpenBus(3, &connect), kIOReturnNotPrivileged);
  EXPECT_EQ(connect, nullptr);
  EXPECT_EQ(IOI2CInterfaceClose(reinterpret_cast<IOI2CConnectRef>(0x1234), 0),
            kIOReturnBadArgument);
}

TEST_F(I2CTest, StatusFaultFailsTheWriteAndIsUsedUp) {
  const Request set{Hex("51 84 03 10 00 28 80"), 0};
  EXPECT_EQ(Send(1, set).result, kIOReturnBusy);
  EXPECT_EQ(ReadVCPValue("m", 0x10).Value, 50);
  EXPECT_EQ(Send(1, set).result, kIOReturnSuccess);
  EXPECT_EQ(ReadVCPValue("m", 0x10).Value, 40);
}

// Without a lock, a second conversation written during the first one's reply delay makes the
// first read the second's reply: the monitor only knows its latest request.
TEST_F(I2CTest, InterleavedConversationsGetCrossedReplies) {
  Transfer slow;
  std::thread first([&] { slow = Send(1, {Hex("51 82 01 10 AC"), 11, 2, 7'200'000}); });  // 300 ms
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const Transfer fast = Send(1, {Hex("51 82 01 12 AE")});
  first.join();
  EXPECT_EQ(Spaced(fast.reply), "6E 88 02 00 12 00 00 64 00 46 84");
  EXPECT_EQ(Spaced(slow.reply), Spaced(fast.reply));
}

}  // namespace
}  // namespace lumra::sim::testing
