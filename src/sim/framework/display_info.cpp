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
  if (!framebuffer.HasInfo) return nullptr;
  CfDictionary* dictionary = NewDictionary();
  if (framebuffer.Vendor) dictionary->SetOwned("DisplayVendorID", NewNumber(*framebuffer.Vendor));
  if (framebuffer.Product) {
    dictionary->SetOwned("DisplayProductID", NewNumber(*framebuffer.Product));
  }
  if (framebuffer.Serial) {
    dictionary->SetOwned("DisplaySerialNumber", NewNumber(*framebuffer.Serial));
  }
  // The preferred-name option keeps one locale: the first one given.
  const bool preferredOnly = (options & kIODisplayOnlyPreferredName) != 0;
  LocalizedNames names = framebuffer.Names;
  if (preferredOnly && names.size() > 1) names.resize(1);
  SetNames(*dictionary, names);
  dictionary->SetOwned(kLocationKey, NewString(framebuffer.Location.value_or("unknown")));
  ApplyExtra(*dictionary, framebuffer.InfoExtra);
  return dictionary;
}

const CfObject* CoreDisplayInfoDictionary(const DisplaySpec& display) {
  CfDictionary* dictionary = NewDictionary();
  dictionary->SetOwned("DisplayVendorID", NewNumber(std::int64_t{display.Vendor}));
  dictionary->SetOwned("DisplayProductID", NewNumber(std::int64_t{display.Product}));
  if (display.Serial != 0) {
    dictionary->SetOwned("DisplaySerialNumber", NewNumber(std::int64_t{display.Serial}));
  }
  SetNames(*dictionary, display.Names);
  if (display.Location) dictionary->SetOwned(kLocationKey, NewString(*display.Location));
  return dictionary;
}

}  // namespace lumra::sim
