// IOAVService: the I2C path to a monitor behind a DCPAVServiceProxy.
#include <cstring>
#include <span>

#include "sim/framework/cf_objects.hpp"
#include "sim/framework/io_objects.hpp"
#include "sim/framework/private_frameworks.hpp"
#include "sim/world/bus_exchange.hpp"

namespace lumra::sim {
namespace {

// The PS190 converter's data address for both calls: the request travels whole, source
// byte included, and the reply is read from the same place.
constexpr std::uint32_t kWholeRequestAddress = 0xFFFFFFFF;

class IoavService final : public CfObject {
 public:
  IoavService(WorldPtr world, std::size_t index)
      : CfObject(kIoavServiceType), world_(std::move(world)), index_(index) {}
  const sim::World& World() const { return *world_; }
  const AvServiceSpec& Spec() const { return world_->Scenario.AvServices[index_]; }

 private:
  WorldPtr world_;
  std::size_t index_;
};

const IoavService* ServiceFrom(CFTypeRef ref, const char* caller) {
  return As<IoavService>(ObjectFrom(ref, caller), kIoavServiceType);
}

// NoDevice unless a monitor answers at this chip address.
IOReturn CheckChip(const AvServiceSpec& spec, std::uint32_t chipAddress) {
  return spec.Monitor && chipAddress == spec.Chip ? kIOReturnSuccess : kIOReturnNoDevice;
}

}  // namespace

CFTypeRef IoavCreateWithService(CFAllocatorRef, io_service_t service) {
  const auto entry = FindEntry(service);
  if (!entry) return nullptr;
  const RegistryEntry& registryEntry = entry->World->Registry.Entry(entry->Entry);
  if (registryEntry.Role != EntryRole::AvService) return nullptr;
  if (entry->World->Scenario.AvServices[registryEntry.SpecIndex].CreateFails) return nullptr;
  return new IoavService(entry->World, registryEntry.SpecIndex);
}

IOReturn IoavWriteI2C(CFTypeRef service, uint32_t chipAddress, uint32_t dataAddress, void* buffer,
                      uint32_t length) {
  const IoavService* av = ServiceFrom(service, "IOAVServiceWriteI2C");
  if (av == nullptr || (buffer == nullptr && length > 0)) return kIOReturnBadArgument;
  if (const IOReturn status = CheckChip(av->Spec(), chipAddress); status != kIOReturnSuccess) {
    return status;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const std::span<const std::uint8_t> payload(bytes, length);
  Bytes frame;
  ChecksumRule rule = ChecksumRule::Standard;
  switch (av->Spec().Framing) {
    case I2cFraming::Ps190:
      // Any other data address makes the converter prepare a register first: the monitor
      // gets nothing it can read as a request.
      if (dataAddress == kWholeRequestAddress) frame.assign(payload.begin(), payload.end());
      break;
    case I2cFraming::Standard:
      rule = ChecksumRule::GetVcpSkipsSource;
      [[fallthrough]];
    case I2cFraming::Mcdp29xx:
      // The data address goes on the wire first: for DDC/CI it is the source byte 0x51.
      frame.push_back(static_cast<std::uint8_t>(dataAddress & 0xFF));
      frame.insert(frame.end(), payload.begin(), payload.end());
      break;
  }
  return WriteToMonitor(av->World(), *av->Spec().Monitor,
                        WriteTransaction{chipAddress, dataAddress, payload, frame, rule});
}

IOReturn IoavReadI2C(CFTypeRef service, uint32_t chipAddress, uint32_t offset, void* buffer,
                     uint32_t length) {
  const IoavService* av = ServiceFrom(service, "IOAVServiceReadI2C");
  if (av == nullptr || (buffer == nullptr && length > 0)) return kIOReturnBadArgument;
  if (const IOReturn status = CheckChip(av->Spec(), chipAddress); status != kIOReturnSuccess) {
    return status;
  }
  // Behind the PS190 converter only a read from the whole-request address reaches the
  // monitor; elsewhere the read returns zeros.
  const bool answered = av->Spec().Framing != I2cFraming::Ps190 || offset == kWholeRequestAddress;
  Bytes reply;
  const IOReturn status =
      ReadFromMonitor(av->World(), *av->Spec().Monitor,
                      ReadTransaction{chipAddress, offset, length, 0, answered, 0, true}, reply);
  if (status != kIOReturnSuccess) return status;
  if (length > 0) std::memcpy(buffer, reply.data(), length);
  return kIOReturnSuccess;
}

}  // namespace lumra::sim
