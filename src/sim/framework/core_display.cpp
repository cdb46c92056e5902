// CoreDisplay_DisplayCreateInfoDictionary over the scenario's displays.
#include "sim/framework/display_info.hpp"
#include "sim/framework/private_frameworks.hpp"
#include "sim/world/world.hpp"

namespace lumra::sim {

CFDictionaryRef CoreDisplayCreateInfoDictionary(CGDirectDisplayID display) {
  WorldPtr world = CurrentWorld();
  const DisplaySpec* spec = world ? world->FindDisplay(display) : nullptr;
  return spec ? ToRef<CFDictionaryRef>(CoreDisplayInfoDictionary(*spec)) : nullptr;
}

}  // namespace lumra::sim
