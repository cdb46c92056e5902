#include <new>

#include "platform/native/exchange.hpp"
#include "platform/native/ioav_enumeration.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {

namespace {

template <typename Record>
void copy_snapshot_mode_to_monitor(const cg_display_snapshot& display, Record& record) {
  if (!display.mode_valid) return;
  record.mode_valid = 1;
  record.pixel_width = display.pixel_width;
  record.pixel_height = display.pixel_height;
  record.logical_width = display.logical_width;
  record.logical_height = display.logical_height;
  record.refresh_hz = display.refresh_hz;
}

void fill_external_record(const cg_display_snapshot& display,
                          const framebuffer_snapshot& framebuffer, lumra_external_display& record) {
  record = lumra_external_display{};
  record.display_id = display.display_id;
  record.endpoint_id = framebuffer.entry_id;
  record.vendor_id = display.vendor;
  record.product_id = display.model;
  record.serial_number = display.serial != 0 ? display.serial : framebuffer.serial;
  record.backend = LUMRA_BACKEND_IOFRAMEBUFFER;
  record.chip_address = ddcci::kDisplayChipAddress;
  copy_text_field(record.name, sizeof record.name,
                  display.name[0] != '\0' ? display.name : framebuffer.name);
  copy_snapshot_mode_to_monitor(display, record);
  copy_text_field(record.location, sizeof record.location,
                  framebuffer.location[0] != '\0' ? framebuffer.location
                                                  : framebuffer.registry_path);
}

void fill_metadata_record(const cg_display_snapshot& display, lumra_display_metadata& record) {
  record = lumra_display_metadata{};
  record.display_id = display.display_id;
  record.vendor_id = display.vendor;
  record.product_id = display.model;
  record.serial_number = display.serial;
  copy_snapshot_mode_to_monitor(display, record);
  copy_text_field(record.name, sizeof record.name, display.name);
  copy_text_field(record.display_location, sizeof record.display_location, display.location);
}

int32_t list_ioframebuffer_displays(lumra_external_display* records, int32_t capacity) {
  std::vector<cg_display_snapshot> displays;
  const int32_t display_count = copy_cg_display_snapshots(displays);
  if (display_count < 1) return display_count;
  std::vector<framebuffer_snapshot> framebuffers;
  if (copy_framebuffer_snapshots(framebuffers) == LUMRA_NATIVE_FAILED) return LUMRA_NATIVE_FAILED;

  int32_t count = 0;
  for (std::size_t i = 0; i < displays.size(); ++i) {
    if (displays[i].builtin) continue;
    const int32_t paired = unique_best_framebuffer(displays, i, framebuffers);
    if (paired < 0) continue;
    if (records != nullptr && count < capacity) {
      fill_external_record(displays[i], framebuffers[static_cast<std::size_t>(paired)],
                           records[count]);
    }
    ++count;
  }
  return count;
}

// The IOFramebuffer records (Intel Macs) first, then the IOAVService ones (Apple silicon),
// under one count and one capacity.
int32_t list_external_displays(lumra_external_display* records, int32_t capacity) {
  const int32_t framebuffer_count = list_ioframebuffer_displays(records, capacity);
  if (framebuffer_count < 0) return framebuffer_count;
  const bool room_left = records != nullptr && framebuffer_count < capacity;
  const int32_t ioav_count =
      list_ioav_displays(room_left ? records + framebuffer_count : nullptr,
                         room_left ? capacity - framebuffer_count : 0);
  if (ioav_count < 0) return ioav_count;
  if (ioav_count > INT32_MAX - framebuffer_count) return LUMRA_NATIVE_FAILED;
  return framebuffer_count + ioav_count;
}

int32_t list_display_metadata(lumra_display_metadata* records, int32_t capacity) {
  std::vector<cg_display_snapshot> displays;
  const int32_t display_count = copy_cg_display_snapshots(displays);
  if (display_count < 1) return display_count;
  int32_t count = 0;
  for (const cg_display_snapshot& display : displays) {
    if (display.builtin) continue;
    if (records != nullptr && count < capacity) fill_metadata_record(display, records[count]);
    ++count;
  }
  return count;
}

}  // namespace

}  // namespace lumra::native

// The C entry points never let an exception cross into their callers.
extern "C" int32_t lumra_list_external_displays(lumra_external_display* records, int32_t capacity) {
  try {
    return lumra::native::list_external_displays(records, capacity);
  } catch (...) {
    return LUMRA_NATIVE_FAILED;
  }
}

extern "C" int32_t lumra_list_display_metadata(lumra_display_metadata* records, int32_t capacity) {
  try {
    return lumra::native::list_display_metadata(records, capacity);
  } catch (...) {
    return LUMRA_NATIVE_FAILED;
  }
}
