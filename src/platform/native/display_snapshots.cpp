#include <cstring>
#include <limits>
#include <new>

#include "platform/native/handles.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {

namespace {

using core_display_create_info_fn = CFDictionaryRef (*)(CGDirectDisplayID);

// Looked up once per process, successful or not.
core_display_create_info_fn core_display_create_info = nullptr;
bool core_display_load_attempted = false;

constexpr const char* kCoreDisplayPath = "/System/Library/Frameworks/CoreDisplay.framework/CoreDisplay";

struct first_string_search {
  char* buffer;
  std::size_t capacity;
};

// Copies only while the buffer is still empty, so the first string met wins.
void copy_first_string_value(const void* /*key*/, const void* value, void* context) {
  auto* search = static_cast<first_string_search*>(context);
  if (search->buffer[0] != '\0') return;
  copy_cf_string(search->buffer, search->capacity, value);
}

bool fits_uint32(size_t value) { return value <= std::numeric_limits<uint32_t>::max(); }

}  // namespace

bool load_core_display_symbols() {
  if (core_display_create_info != nullptr) return true;
  if (core_display_load_attempted) return false;
  core_display_load_attempted = true;
  void* library = dlopen(kCoreDisplayPath, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) return false;
  void* symbol = dlsym(library, "CoreDisplay_DisplayCreateInfoDictionary");
  if (symbol == nullptr) {
    dlclose(library);
    return false;
  }
  core_display_create_info = reinterpret_cast<core_display_create_info_fn>(symbol);
  return true;
}

void copy_display_name_from_info(CFDictionaryRef info, char* name, std::size_t capacity) {
  if (capacity == 0) return;
  name[0] = '\0';
  const void* names = CFDictionaryGetValue(info, CFSTR("DisplayProductName"));
  if (names == nullptr || CFGetTypeID(names) != CFDictionaryGetTypeID()) return;
  const auto localized = static_cast<CFDictionaryRef>(names);
  if (CFDictionaryGetCount(localized) == 0) return;
  first_string_search search{name, capacity};
  CFDictionaryApplyFunction(localized, copy_first_string_value, &search);
}

void copy_core_display_metadata(CGDirectDisplayID display, char* name, std::size_t name_capacity,
                                char* location, std::size_t location_capacity) {
  if (name_capacity > 0) name[0] = '\0';
  if (location_capacity > 0) location[0] = '\0';
  if (!load_core_display_symbols()) return;
  cf_owned<CFDictionaryRef> info(core_display_create_info(display));
  if (!info) return;
  copy_display_name_from_info(info.get(), name, name_capacity);
  const void* value = CFDictionaryGetValue(info.get(), CFSTR("IODisplayLocation"));
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return;
  io_owned entry(IORegistryEntryCopyFromPath(kDefaultMainPort, static_cast<CFStringRef>(value)));
  if (!entry) return;
  copy_cf_string(location, location_capacity, value);
}

void copy_cg_display_mode(CGDirectDisplayID display, cg_display_snapshot& snapshot) {
  CGDisplayModeRef copied = CGDisplayCopyDisplayMode(display);
  if (copied == nullptr) return;
  const display_mode_owned mode(copied);
  const size_t pixel_width = CGDisplayModeGetPixelWidth(mode.get());
  const size_t pixel_height = CGDisplayModeGetPixelHeight(mode.get());
  const size_t logical_width = CGDisplayModeGetWidth(mode.get());
  const size_t logical_height = CGDisplayModeGetHeight(mode.get());
  if (pixel_width == 0 || pixel_height == 0 || !fits_uint32(pixel_width) ||
      !fits_uint32(pixel_height) || !fits_uint32(logical_width) || !fits_uint32(logical_height)) {
    return;
  }
  snapshot.mode_valid = 1;
  snapshot.pixel_width = static_cast<uint32_t>(pixel_width);
  snapshot.pixel_height = static_cast<uint32_t>(pixel_height);
  snapshot.logical_width = static_cast<uint32_t>(logical_width);
  snapshot.logical_height = static_cast<uint32_t>(logical_height);
  const double refresh = CGDisplayModeGetRefreshRate(mode.get());
  snapshot.refresh_hz = refresh > 0 ? refresh : 0;  // NaN and negative rates are unknown
}

int32_t copy_cg_display_snapshots(std::vector<cg_display_snapshot>& snapshots) {
  snapshots.clear();
  uint32_t count = 0;
  if (CGGetOnlineDisplayList(0, nullptr, &count) != kCGErrorSuccess) return LUMRA_NATIVE_FAILED;
  if (count == 0) return 0;
  if (count > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return LUMRA_NATIVE_FAILED;

  std::vector<CGDirectDisplayID> ids;
  try {
    ids.resize(count);
    snapshots.resize(count);
  } catch (const std::bad_alloc&) {
    snapshots.clear();
    return LUMRA_NATIVE_FAILED;
  }
  uint32_t listed = 0;
  if (CGGetOnlineDisplayList(count, ids.data(), &listed) != kCGErrorSuccess) {
    snapshots.clear();
    return LUMRA_NATIVE_FAILED;
  }
  if (listed < count) snapshots.resize(listed);

  for (uint32_t i = 0; i < snapshots.size(); ++i) {
    cg_display_snapshot& snapshot = snapshots[i];
    const CGDirectDisplayID id = ids[i];
    snapshot.display_id = id;
    snapshot.vendor = CGDisplayVendorNumber(id);
    snapshot.model = CGDisplayModelNumber(id);
    snapshot.serial = CGDisplaySerialNumber(id);
    snapshot.unit = CGDisplayUnitNumber(id);
    snapshot.builtin = CGDisplayIsBuiltin(id) ? 1 : 0;
    copy_core_display_metadata(id, snapshot.name, sizeof snapshot.name, snapshot.location,
                               sizeof snapshot.location);
    copy_cg_display_mode(id, snapshot);
  }
  return static_cast<int32_t>(snapshots.size());
}

}  // namespace lumra::native
