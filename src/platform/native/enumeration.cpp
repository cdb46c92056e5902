#include <new>

#include "platform/native/exchange.hpp"
#include "platform/native/ioav_enumeration.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {

namespace {

template <typename Record>
void CopySnapshotModeToMonitor(const CgDisplaySnapshot& display, Record& record) {
  if (!display.ModeValid) return;
  record.mode_valid = 1;
  record.pixel_width = display.PixelWidth;
  record.pixel_height = display.PixelHeight;
  record.logical_width = display.LogicalWidth;
  record.logical_height = display.LogicalHeight;
  record.refresh_hz = display.RefreshHz;
}

void FillExternalRecord(const CgDisplaySnapshot& display, const FramebufferSnapshot& framebuffer,
                        lumra_external_display& record) {
  record = lumra_external_display{};
  record.display_id = display.DisplayId;
  record.endpoint_id = framebuffer.EntryId;
  record.vendor_id = display.Vendor;
  record.product_id = display.Model;
  record.serial_number = display.Serial != 0 ? display.Serial : framebuffer.Serial;
  record.backend = LUMRA_BACKEND_IOFRAMEBUFFER;
  record.chip_address = ddcci::kDisplayChipAddress;
  CopyTextField(record.name, sizeof record.name,
                display.Name[0] != '\0' ? display.Name : framebuffer.Name);
  CopySnapshotModeToMonitor(display, record);
  CopyTextField(record.location, sizeof record.location,
                framebuffer.Location[0] != '\0' ? framebuffer.Location : framebuffer.RegistryPath);
}

void FillMetadataRecord(const CgDisplaySnapshot& display, lumra_display_metadata& record) {
  record = lumra_display_metadata{};
  record.display_id = display.DisplayId;
  record.vendor_id = display.Vendor;
  record.product_id = display.Model;
  record.serial_number = display.Serial;
  CopySnapshotModeToMonitor(display, record);
  CopyTextField(record.name, sizeof record.name, display.Name);
  CopyTextField(record.display_location, sizeof record.display_location, display.Location);
}

int32_t ListIoframebufferDisplays(lumra_external_display* records, int32_t capacity) {
  std::vector<CgDisplaySnapshot> displays;
  const int32_t displayCount = CopyCgDisplaySnapshots(displays);
  if (displayCount < 1) return displayCount;
  std::vector<FramebufferSnapshot> framebuffers;
  if (CopyFramebufferSnapshots(framebuffers) == LUMRA_NATIVE_FAILED) return LUMRA_NATIVE_FAILED;

  int32_t count = 0;
  for (std::size_t i = 0; i < displays.size(); ++i) {
    if (displays[i].Builtin) continue;
    const int32_t paired = UniqueBestFramebuffer(displays, i, framebuffers);
    if (paired < 0) continue;
    if (records != nullptr && count < capacity) {
      FillExternalRecord(displays[i], framebuffers[static_cast<std::size_t>(paired)],
                         records[count]);
    }
    ++count;
  }
  return count;
}

// The IOFramebuffer records (Intel Macs) first, then the IOAVService ones (Apple silicon),
// under one count and one capacity.
int32_t ListExternalDisplays(lumra_external_display* records, int32_t capacity) {
  const int32_t framebufferCount = ListIoframebufferDisplays(records, capacity);
  if (framebufferCount < 0) return framebufferCount;
  const bool roomLeft = records != nullptr && framebufferCount < capacity;
  const int32_t ioavCount = ListIoavDisplays(roomLeft ? records + framebufferCount : nullptr,
                                             roomLeft ? capacity - framebufferCount : 0);
  if (ioavCount < 0) return ioavCount;
  if (ioavCount > INT32_MAX - framebufferCount) return LUMRA_NATIVE_FAILED;
  return framebufferCount + ioavCount;
}

int32_t ListDisplayMetadata(lumra_display_metadata* records, int32_t capacity) {
  std::vector<CgDisplaySnapshot> displays;
  const int32_t displayCount = CopyCgDisplaySnapshots(displays);
  if (displayCount < 1) return displayCount;
  int32_t count = 0;
  for (const CgDisplaySnapshot& display : displays) {
    if (display.Builtin) continue;
    if (records != nullptr && count < capacity) FillMetadataRecord(display, records[count]);
    ++count;
  }
  return count;
}

}  // namespace

}  // namespace lumra::native

// The C entry points never let an exception cross into their callers.
extern "C" int32_t lumra_list_external_displays(lumra_external_display* records, int32_t capacity) {
  try {
    return lumra::native::ListExternalDisplays(records, capacity);
  } catch (...) {
    return LUMRA_NATIVE_FAILED;
  }
}

extern "C" int32_t lumra_list_display_metadata(lumra_display_metadata* records, int32_t capacity) {
  try {
    return lumra::native::ListDisplayMetadata(records, capacity);
  } catch (...) {
    return LUMRA_NATIVE_FAILED;
  }
}
