// CoreDisplay_DisplayCreateInfoDictionary over the scenario's displays.
#include "platform/native/sim/display_info.hpp"
#include "platform/native/sim/private_frameworks.hpp"
#include "platform/native/sim/world.hpp"

namespace lumra::sim {

CFDictionaryRef CoreDisplayCreateInfoDictionary(CGDirectDisplayID display) {
  WorldPtr world = CurrentWorld();
  if (!world) return nullptr;
  for (const auto& spec : world->scenario.displays) {
    if (spec.id == display) return ToRef<CFDictionaryRef>(CoreDisplayInfoDictionary(spec));
  }
  return nullptr;
}

}  // namespace lumra::sim
