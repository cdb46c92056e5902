#include "sim/framework/cf_json.hpp"

#include <optional>

#include "support/hex.hpp"

namespace lumra::sim {

std::optional<std::vector<std::uint8_t>> DataFromText(std::string_view text) {
  if (text.size() < 2 || text.front() != '<' || text.back() != '>' || text.size() % 2 != 0) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 1; i + 1 < text.size(); i += 2) {
    const int high = support::HexDigitValue(text[i]);
    const int low = support::HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

const CfObject* CfFromJson(const Json& value) {
  if (value.is_string()) {
    const auto& text = value.get_ref<const std::string&>();
    if (auto bytes = DataFromText(text)) return NewData(std::move(*bytes));
    return NewString(text);
  }
  if (value.is_array()) {
    CfArray* array = NewArray();
    for (const auto& member : value) {
      if (const CfObject* converted = CfFromJson(member)) array->AppendOwned(converted);
    }
    return array;
  }
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
