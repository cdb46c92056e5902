// The CoreGraphics functions of macos_api.h over the scenario's displays.
#include <algorithm>

#include "sim/framework/cf_objects.hpp"
#include "sim/framework/macos_api.h"
#include "sim/world/world.hpp"

// The object behind CGDisplayModeRef: a CF object, so CFRelease works on it as on the system.
struct CGDisplayMode final : lumra::sim::CfObject {
  explicit CGDisplayMode(const lumra::sim::DisplayModeSpec& mode)
      : CfObject(lumra::sim::kCgDisplayModeType), Spec(mode) {}
  lumra::sim::DisplayModeSpec Spec;
};

namespace lumra::sim {
namespace {

// `read` applied to the display with this id, or `absent` when there is none.
template <typename T, typename Read>
T ReadDisplay(CGDirectDisplayID id, T absent, Read read) {
  WorldPtr world = CurrentWorld();
  const DisplaySpec* display = world ? world->FindDisplay(id) : nullptr;
  return display ? read(*display) : absent;
}

const DisplayModeSpec* ModeOf(CGDisplayModeRef mode, const char* caller) {
  if (mode == nullptr) return nullptr;
  const CfObject* object = ObjectFrom(static_cast<const CfObject*>(mode), caller);
  if (object->Type() != kCgDisplayModeType) return nullptr;
  return &static_cast<const CGDisplayMode*>(object)->Spec;
}

}  // namespace
}  // namespace lumra::sim

using namespace lumra::sim;

extern "C" {

CGError CGGetOnlineDisplayList(uint32_t maxDisplays, CGDirectDisplayID* displays,
                               uint32_t* displayCount) {
  if (displayCount == nullptr) return kCGErrorIllegalArgument;
  WorldPtr world = CurrentWorld();
  if (!world) return kCGErrorFailure;
  const auto& all = world->Scenario.Displays;
  if (displays == nullptr) {
    if (world->Scenario.Failures.DisplayCount) return kCGErrorFailure;
    *displayCount = static_cast<uint32_t>(all.size());
    return kCGErrorSuccess;
  }
  if (world->Scenario.Failures.DisplayList) return kCGErrorFailure;
  const auto written = static_cast<uint32_t>(std::min<std::size_t>(maxDisplays, all.size()));
  for (uint32_t i = 0; i < written; ++i) displays[i] = all[i].Id;
  *displayCount = written;
  return kCGErrorSuccess;
}

uint32_t CGDisplayVendorNumber(CGDirectDisplayID display) {
  return ReadDisplay<uint32_t>(display, 0, [](const DisplaySpec& d) { return d.Vendor; });
}

uint32_t CGDisplayModelNumber(CGDirectDisplayID display) {
  return ReadDisplay<uint32_t>(display, 0, [](const DisplaySpec& d) { return d.Product; });
}

uint32_t CGDisplaySerialNumber(CGDirectDisplayID display) {
  return ReadDisplay<uint32_t>(display, 0, [](const DisplaySpec& d) { return d.Serial; });
}

uint32_t CGDisplayUnitNumber(CGDirectDisplayID display) {
  return ReadDisplay<uint32_t>(display, 0, [](const DisplaySpec& d) { return d.Unit; });
}

boolean_t CGDisplayIsBuiltin(CGDirectDisplayID display) {
  return ReadDisplay<boolean_t>(display, 0, [](const DisplaySpec& d) { return d.Builtin ? 1 : 0; });
}

CGDisplayModeRef CGDisplayCopyDisplayMode(CGDirectDisplayID display) {
  return ReadDisplay<CGDisplayModeRef>(display, nullptr, [](const DisplaySpec& d) {
    return d.Mode ? new CGDisplayMode(*d.Mode) : nullptr;
  });
}

size_t CGDisplayModeGetWidth(CGDisplayModeRef mode) {
  const auto* spec = ModeOf(mode, "CGDisplayModeGetWidth");
  return spec == nullptr ? 0 : static_cast<size_t>(spec->LogicalWidth);
}

size_t CGDisplayModeGetHeight(CGDisplayModeRef mode) {
  const auto* spec = ModeOf(mode, "CGDisplayModeGetHeight");
  return spec == nullptr ? 0 : static_cast<size_t>(spec->LogicalHeight);
}

size_t CGDisplayModeGetPixelWidth(CGDisplayModeRef mode) {
  const auto* spec = ModeOf(mode, "CGDisplayModeGetPixelWidth");
  return spec == nullptr ? 0 : static_cast<size_t>(spec->Width);
}

size_t CGDisplayModeGetPixelHeight(CGDisplayModeRef mode) {
  const auto* spec = ModeOf(mode, "CGDisplayModeGetPixelHeight");
  return spec == nullptr ? 0 : static_cast<size_t>(spec->Height);
}

double CGDisplayModeGetRefreshRate(CGDisplayModeRef mode) {
  const auto* spec = ModeOf(mode, "CGDisplayModeGetRefreshRate");
  return spec == nullptr ? 0.0 : spec->RefreshHz;
}

void CGDisplayModeRelease(CGDisplayModeRef mode) {
  if (mode != nullptr)
    ObjectFrom(static_cast<const CfObject*>(mode), "CGDisplayModeRelease")->Release();
}

}  // extern "C"
