#include <cstring>
#include <limits>
#include <new>

#include "platform/native/handles.hpp"
#include "platform/native/lumra_native.h"
#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {

namespace {

using CoreDisplayCreateInfoFn = CFDictionaryRef (*)(CGDirectDisplayID);

// Looked up once per process, successful or not.
CoreDisplayCreateInfoFn core_display_create_info = nullptr;
bool core_display_load_attempted = false;

constexpr const char* kCoreDisplayPath =
    "/System/Library/Frameworks/CoreDisplay.framework/CoreDisplay";

struct FirstStringSearch {
  char* Buffer;
  std::size_t Capacity;
};

// Copies only while the buffer is still empty, so the first string met wins.
void CopyFirstStringValue(const void* /*key*/, const void* value, void* context) {
  auto* search = static_cast<FirstStringSearch*>(context);
  if (search->Buffer[0] != '\0') return;
  CopyCfString(search->Buffer, search->Capacity, value);
}

bool FitsUint32(size_t value) { return value <= std::numeric_limits<uint32_t>::max(); }

}  // namespace

bool LoadCoreDisplaySymbols() {
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
  core_display_create_info = reinterpret_cast<CoreDisplayCreateInfoFn>(symbol);
  return true;
}

void CopyDisplayNameFromInfo(CFDictionaryRef info, char* name, std::size_t capacity) {
  if (capacity == 0) return;
  name[0] = '\0';
  const void* names = CFDictionaryGetValue(info, CFSTR("DisplayProductName"));
  if (names == nullptr || CFGetTypeID(names) != CFDictionaryGetTypeID()) return;
  const auto localized = static_cast<CFDictionaryRef>(names);
  if (CFDictionaryGetCount(localized) == 0) return;
  FirstStringSearch search{name, capacity};
  CFDictionaryApplyFunction(localized, CopyFirstStringValue, &search);
}

void CopyCoreDisplayMetadata(CGDirectDisplayID display, char* name, std::size_t nameCapacity,
                             char* location, std::size_t locationCapacity) {
  if (nameCapacity > 0) name[0] = '\0';
  if (locationCapacity > 0) location[0] = '\0';
  if (!LoadCoreDisplaySymbols()) return;
  CfOwned<CFDictionaryRef> info(core_display_create_info(display));
  if (!info) return;
  CopyDisplayNameFromInfo(info.Get(), name, nameCapacity);
  const void* value = CFDictionaryGetValue(info.Get(), CFSTR("IODisplayLocation"));
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return;
  IoOwned entry(IORegistryEntryCopyFromPath(kDefaultMainPort, static_cast<CFStringRef>(value)));
  if (!entry) return;
  CopyCfString(location, locationCapacity, value);
}

void CopyCgDisplayMode(CGDirectDisplayID display, CgDisplaySnapshot& snapshot) {
  CGDisplayModeRef copied = CGDisplayCopyDisplayMode(display);
  if (copied == nullptr) return;
  const DisplayModeOwned mode(copied);
  const size_t pixelWidth = CGDisplayModeGetPixelWidth(mode.Get());
  const size_t pixelHeight = CGDisplayModeGetPixelHeight(mode.Get());
  const size_t logicalWidth = CGDisplayModeGetWidth(mode.Get());
  const size_t logicalHeight = CGDisplayModeGetHeight(mode.Get());
  if (pixelWidth == 0 || pixelHeight == 0 || !FitsUint32(pixelWidth) || !FitsUint32(pixelHeight) ||
      !FitsUint32(logicalWidth) || !FitsUint32(logicalHeight)) {
    return;
  }
  snapshot.ModeValid = 1;
  snapshot.PixelWidth = static_cast<uint32_t>(pixelWidth);
  snapshot.PixelHeight = static_cast<uint32_t>(pixelHeight);
  snapshot.LogicalWidth = static_cast<uint32_t>(logicalWidth);
  snapshot.LogicalHeight = static_cast<uint32_t>(logicalHeight);
  const double refresh = CGDisplayModeGetRefreshRate(mode.Get());
  snapshot.RefreshHz = refresh > 0 ? refresh : 0;  // NaN and negative rates are unknown
}

int32_t CopyCgDisplaySnapshots(std::vector<CgDisplaySnapshot>& snapshots) {
  snapshots.clear();
  uint32_t count = 0;
  if (CGGetOnlineDisplayList(0, nullptr, &count) != kCGErrorSuccess) return LUMRA_NATIVE_FAILED;
  if (count == 0) return 0;
  if (count > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
    return LUMRA_NATIVE_FAILED;

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
    CgDisplaySnapshot& snapshot = snapshots[i];
    const CGDirectDisplayID id = ids[i];
    snapshot.DisplayId = id;
    snapshot.Vendor = CGDisplayVendorNumber(id);
    snapshot.Model = CGDisplayModelNumber(id);
    snapshot.Serial = CGDisplaySerialNumber(id);
    snapshot.Unit = CGDisplayUnitNumber(id);
    snapshot.Builtin = CGDisplayIsBuiltin(id) ? 1 : 0;
    CopyCoreDisplayMetadata(id, snapshot.Name, sizeof snapshot.Name, snapshot.Location,
                            sizeof snapshot.Location);
    CopyCgDisplayMode(id, snapshot);
  }
  return static_cast<int32_t>(snapshots.size());
}

}  // namespace lumra::native
