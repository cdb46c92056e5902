// IOAVService: the I2C path to a monitor behind a DCPAVServiceProxy.
#include <algorithm>
#include <cstring>

#include "platform/native/sim/bus_exchange.hpp"
#include "platform/native/sim/cf_objects.hpp"
#include "platform/native/sim/io_objects.hpp"
#include "platform/native/sim/private_frameworks.hpp"

namespace lumra::sim {
namespace {

constexpr std::uint32_t kConverterChip = 0xB7;

class IoavService final : public CfObject {
 public:
  IoavService(WorldPtr world, std::size_t index)
      : CfObject(kIoavServiceType), world_(std::move(world)), index_(index) {}
  const World& world() const { return *world_; }
  const AvServiceSpec& spec() const { return world_->scenario.avServices[index_]; }

 private:
  WorldPtr world_;
  std::size_t index_;
};

const IoavService* ServiceFrom(CFTypeRef ref, const char* caller) {
  return As<IoavService>(ObjectFrom(ref, caller), kIoavServiceType);
}

// NoDevice unless a monitor answers at this chip address.
IOReturn CheckChip(const AvServiceSpec& spec, std::uint32_t chipAddress) {
  return spec.monitor && chipAddress == spec.chip ? kIOReturnSuccess : kIOReturnNoDevice;
}

}  // namespace

CFTypeRef IoavCreateWithService(CFAllocatorRef, io_service_t service) {
  const auto entry = FindEntry(service);
  if (!entry) return nullptr;
  const RegistryEntry& registryEntry = entry->world->registry.Entry(entry->entry);
  if (registryEntry.role != EntryRole::AvService) return nullptr;
  if (entry->world->scenario.avServices[registryEntry.specIndex].createFails) return nullptr;
  return new IoavService(entry->world, registryEntry.specIndex);
}

IOReturn IoavWriteI2C(CFTypeRef service, uint32_t chipAddress, uint32_t dataAddress, void* buffer,
                      uint32_t length) {
  const IoavService* av = ServiceFrom(service, "IOAVServiceWriteI2C");
  if (av == nullptr || (buffer == nullptr && length > 0)) return kIOReturnBadArgument;
  if (const IOReturn status = CheckChip(av->spec(), chipAddress); status != kIOReturnSuccess) {
    return status;
  }
  // The data address goes on the wire first: for DDC/CI it is the source byte 0x51.
  Bytes frame{static_cast<std::uint8_t>(dataAddress & 0xFF)};
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  frame.insert(frame.end(), bytes, bytes + length);
  const ChecksumRule rule =
      chipAddress == kConverterChip ? ChecksumRule::Standard : ChecksumRule::GetVcpSkipsSource;
  return WriteToMonitor(av->world(), *av->spec().monitor, frame, rule);
}

IOReturn IoavReadI2C(CFTypeRef service, uint32_t chipAddress, uint32_t offset, void* buffer,
                     uint32_t length) {
  const IoavService* av = ServiceFrom(service, "IOAVServiceReadI2C");
  if (av == nullptr || (buffer == nullptr && length > 0)) return kIOReturnBadArgument;
  if (const IOReturn status = CheckChip(av->spec(), chipAddress); status != kIOReturnSuccess) {
    return status;
  }
  Bytes reply;
  const IOReturn status =
      ReadFromMonitor(av->world(), *av->spec().monitor, ReadTransaction{chipAddress, offset, length}, reply);
  if (status != kIOReturnSuccess) return status;
  // A fixed-length read: the reply, then zeros.
  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::size_t copied = std::min<std::size_t>(length, reply.size());
  std::memcpy(out, reply.data(), copied);
  std::memset(out + copied, 0, length - copied);
  return kIOReturnSuccess;
}

}  // namespace lumra::sim
