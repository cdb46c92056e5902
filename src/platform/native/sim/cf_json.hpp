// Scenario JSON values as CF objects: registry properties and dictionary entries.
#pragma once

#include "platform/native/sim/cf_objects.hpp"
#include "platform/native/sim/scenario.hpp"

namespace lumra::sim {

// A new (+1) CF object for a JSON string, number, boolean or object; nullptr for anything else.
const CfObject* CfFromJson(const Json& value);

// A new dictionary of locale to name; nullptr when there are no names.
const CfObject* LocalizedNamesObject(const LocalizedNames& names);

}  // namespace lumra::sim
