#include "platform/native/sim/cf_json.hpp"

namespace lumra::sim {

const CfObject* CfFromJson(const Json& value) {
  if (value.is_string()) return NewString(value.get<std::string>());
  if (value.is_boolean()) return BooleanObject(value.get<bool>());
  if (value.is_number_unsigned()) {
    // CF numbers are signed: larger values keep their bits, as a UInt64 would read back.
    return NewNumber(static_cast<std::int64_t>(value.get<std::uint64_t>()));
  }
  if (value.is_number_integer()) return NewNumber(value.get<std::int64_t>());
  if (value.is_number_float()) return NewNumber(value.get<double>());
  if (value.is_object()) {
    CfDictionary* dictionary = NewDictionary();
    for (const auto& [key, member] : value.items()) {
      if (const CfObject* converted = CfFromJson(member)) dictionary->SetOwned(key, converted);
    }
    return dictionary;
  }
  return nullptr;
}

const CfObject* LocalizedNamesObject(const LocalizedNames& names) {
  if (names.empty()) return nullptr;
  CfDictionary* dictionary = NewDictionary();
  for (const auto& [locale, name] : names) dictionary->SetOwned(locale, NewString(name));
  return dictionary;
}

}  // namespace lumra::sim
