#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "platform/native/handles.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {

namespace {

constexpr std::size_t kInitialCapacity = 4;
constexpr std::size_t kMaximumFramebuffers =
    static_cast<std::size_t>(std::numeric_limits<int32_t>::max());

// Grows like a doubling array starting at four entries; false when it may not grow further.
bool AppendSnapshot(std::vector<FramebufferSnapshot>& snapshots,
                    const FramebufferSnapshot& snapshot) {
  if (snapshots.size() >= kMaximumFramebuffers) return false;
  try {
    if (snapshots.size() == snapshots.capacity()) {
      const std::size_t grown = snapshots.empty() ? kInitialCapacity : snapshots.capacity() * 2;
      if (grown > snapshots.max_size()) return false;
      snapshots.reserve(grown);
    }
    snapshots.push_back(snapshot);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

bool HasI2cBuses(io_service_t service) {
  IOItemCount buses = 0;
  return IOFBGetI2CInterfaceCount(service, &buses) == kIOReturnSuccess && buses > 0;
}

// Fills a snapshot from one framebuffer and its display information; false to skip it.
bool SnapshotFramebuffer(io_service_t service, CFDictionaryRef info,
                         FramebufferSnapshot& snapshot) {
  if (IORegistryEntryGetRegistryEntryID(service, &snapshot.EntryId) != KERN_SUCCESS) return false;
  if (!CopyUint32Property(info, CFSTR("DisplayVendorID"), snapshot.Vendor)) return false;
  if (!CopyUint32Property(info, CFSTR("DisplayProductID"), snapshot.Product)) return false;
  CopyUint32Property(info, CFSTR("DisplaySerialNumber"), snapshot.Serial);
  CopyDisplayNameFromInfo(info, snapshot.Name, sizeof snapshot.Name);
  CopyStringProperty(info, CFSTR("IODisplayLocation"), snapshot.Location, sizeof snapshot.Location);
  snapshot.UnitValid = ParseDisplayUnit(snapshot.Location, snapshot.Unit) ? 1 : 0;
  CopyRegistryPath(service, snapshot.RegistryPath, sizeof snapshot.RegistryPath);
  return true;
}

}  // namespace

bool CopyUint32Property(CFDictionaryRef dictionary, CFStringRef key, uint32_t& out) {
  const void* value = CFDictionaryGetValue(dictionary, key);
  if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()) return false;
  int64_t number = 0;
  if (!CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number))
    return false;
  if (number < std::numeric_limits<int32_t>::min() ||
      number > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
    return false;
  }
  out = static_cast<uint32_t>(number);  // the low 32 bits, so −1 reads 0xFFFFFFFF
  return true;
}

bool IsStringEqualTo(CFTypeRef value, CFStringRef expected) {
  return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() &&
         CFStringCompare(static_cast<CFStringRef>(value), expected, 0) == kCFCompareEqualTo;
}

bool CopyStringProperty(CFDictionaryRef dictionary, CFStringRef key, char* buffer,
                        std::size_t capacity) {
  if (capacity == 0) return false;
  buffer[0] = '\0';
  return CopyCfString(buffer, capacity, CFDictionaryGetValue(dictionary, key));
}

bool ParseDisplayUnit(const char* location, uint32_t& unit) {
  const char* at = std::strrchr(location, '@');
  if (at == nullptr || at[1] < '0' || at[1] > '9') return false;
  uint64_t value = 0;
  for (const char* digit = at + 1; *digit >= '0' && *digit <= '9'; ++digit) {
    value = value * 10 + static_cast<uint64_t>(*digit - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return false;
  }
  unit = static_cast<uint32_t>(value);
  return true;
}

void CopyRegistryPath(io_service_t service, char* buffer, std::size_t capacity) {
  if (capacity == 0) return;
  buffer[0] = '\0';
  if (service == IO_OBJECT_NULL) return;
  io_string_t path = {};
  if (IORegistryEntryGetPath(service, kIOServicePlane, path) != KERN_SUCCESS) return;
  CopyTextField(buffer, capacity, std::string_view(path, strnlen(path, sizeof path)));
}

int32_t CopyFramebufferSnapshots(std::vector<FramebufferSnapshot>& snapshots) {
  snapshots.clear();
  io_iterator_t iterator = IO_OBJECT_NULL;
  // The matching dictionary is consumed by the call, whatever happens.
  if (IOServiceGetMatchingServices(kDefaultMainPort, IOServiceMatching("IOFramebuffer"),
                                   &iterator) != KERN_SUCCESS) {
    return LUMRA_NATIVE_FAILED;
  }
  const IoOwned services(iterator);
  for (IoOwned service(IOIteratorNext(iterator)); service;
       service.Reset(IOIteratorNext(iterator))) {
    if (!HasI2cBuses(service.Get())) continue;
    CfOwned<CFDictionaryRef> info(
        IODisplayCreateInfoDictionary(service.Get(), kIODisplayOnlyPreferredName));
    if (!info) continue;
    FramebufferSnapshot snapshot;
    if (!SnapshotFramebuffer(service.Get(), info.Get(), snapshot)) continue;
    if (!AppendSnapshot(snapshots, snapshot)) {
      snapshots.clear();
      return LUMRA_NATIVE_FAILED;
    }
  }
  return static_cast<int32_t>(snapshots.size());
}

}  // namespace lumra::native
