#include "sim/framework/display_info.hpp"

#include "sim/framework/cf_json.hpp"

namespace lumra::sim {
namespace {

constexpr const char* kProductNameKey = "DisplayProductName";
constexpr const char* kLocationKey = "IODisplayLocation";

void SetNames(CfDictionary& dictionary, const LocalizedNames& names) {
  if (const CfObject* localized = LocalizedNamesObject(names)) {
    dictionary.SetOwned(kProductNameKey, localized);
  }
}

void ApplyExtra(CfDictionary& dictionary, const Json& extra) {
  for (const auto& [key, value] : extra.items()) {
    if (value.is_null()) {
      dictionary.Remove(ConstantString(key));
    } else if (const CfObject* converted = CfFromJson(value)) {
      dictionary.SetOwned(key, converted);
    }
  }
}

}  // namespace

const CfObject* FramebufferInfoDictionary(const FramebufferSpec& framebuffer,
                                          IOOptionBits options) {
  if (!framebuffer.hasInfo) return nullptr;
  CfDictionary* dictionary = NewDictionary();
  if (framebuffer.vendor) dictionary->SetOwned("DisplayVendorID", NewNumber(*framebuffer.vendor));
  if (framebuffer.product) {
    dictionary->SetOwned("DisplayProductID", NewNumber(*framebuffer.product));
  }
  if (framebuffer.serial) {
    dictionary->SetOwned("DisplaySerialNumber", NewNumber(*framebuffer.serial));
  }
  // The preferred-name option keeps one locale: the first one given.
  const bool preferredOnly = (options & kIODisplayOnlyPreferredName) != 0;
  LocalizedNames names = framebuffer.names;
  if (preferredOnly && names.size() > 1) names.resize(1);
  SetNames(*dictionary, names);
  dictionary->SetOwned(kLocationKey, NewString(framebuffer.location.value_or("unknown")));
  ApplyExtra(*dictionary, framebuffer.infoExtra);
  return dictionary;
}

const CfObject* CoreDisplayInfoDictionary(const DisplaySpec& display) {
  CfDictionary* dictionary = NewDictionary();
  dictionary->SetOwned("DisplayVendorID", NewNumber(std::int64_t{display.vendor}));
  dictionary->SetOwned("DisplayProductID", NewNumber(std::int64_t{display.product}));
  if (display.serial != 0) {
    dictionary->SetOwned("DisplaySerialNumber", NewNumber(std::int64_t{display.serial}));
  }
  SetNames(*dictionary, display.names);
  if (display.location) dictionary->SetOwned(kLocationKey, NewString(*display.location));
  return dictionary;
}

}  // namespace lumra::sim
