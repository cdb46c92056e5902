// The display information dictionaries: IODisplayCreateInfoDictionary for a framebuffer and
// the CoreDisplay dictionary for a CoreGraphics display.
#pragma once

#include "sim/framework/cf_objects.hpp"
#include "sim/framework/macos_api.h"
#include "sim/world/scenario.hpp"

namespace lumra::sim {

// A new dictionary (+1), or nullptr when the framebuffer has none ("info": false).
const CfObject* FramebufferInfoDictionary(const FramebufferSpec& framebuffer, IOOptionBits options);

// A new dictionary (+1) with the display's numbers, names and location.
const CfObject* CoreDisplayInfoDictionary(const DisplaySpec& display);

}  // namespace lumra::sim
