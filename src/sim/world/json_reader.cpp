#include "sim/world/json_reader.hpp"

#include <limits>
#include <utility>
#include <vector>

#include "support/hex.hpp"

namespace lumra::sim {

namespace {

// The SAX handler behind ParseJson: the values of the objects and arrays still open, innermost
// last.
class JsonBuilder {
 public:
  // NOLINTBEGIN(readability-identifier-naming): the names nlohmann's SAX parser calls.
  bool null() { return Add(Json(nullptr)); }
  bool boolean(bool value) { return Add(Json(value)); }
  bool number_integer(Json::number_integer_t value) { return Add(Json(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return Add(Json(value)); }
  bool number_float(Json::number_float_t value, const Json::string_t& /*text*/) {
    return Add(Json(value));
  }
  bool string(Json::string_t& value) { return Add(Json(std::move(value))); }
  bool binary(Json::binary_t& value) { return Add(Json::binary(std::move(value))); }
  bool start_object(std::size_t /*elements*/) {
    open_.push_back({true, {}, {}, {}});
    return true;
  }
  bool key(Json::string_t& key) {
    open_.back().Key = std::move(key);
    return true;
  }
  bool end_object() {
    Open done = std::move(open_.back());
    open_.pop_back();
    Json object(Json::value_t::object);
    auto& members = object.get_ref<Json::object_t&>();
    members.reserve(done.Members.size());
    for (auto& [key, value] : done.Members) {
      if (const auto kept = members.find(key); kept != members.end()) {
        kept->second = std::move(value);
      } else {
        members.emplace_back(std::move(key), std::move(value));
      }
    }
    return Add(std::move(object));
  }
  bool start_array(std::size_t /*elements*/) {
    open_.push_back({false, {}, {}, {}});
    return true;
  }
  bool end_array() {
    Open done = std::move(open_.back());
    open_.pop_back();
    return Add(Json(Json::array_t(std::make_move_iterator(done.Elements.begin()),
                                  std::make_move_iterator(done.Elements.end()))));
  }
  template <typename Exception>
  bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const Exception& error) {
    throw error;
  }
  // NOLINTEND(readability-identifier-naming)

  Json Take() { return std::move(result_); }

 private:
  struct Open {
    bool IsObject;
    std::string Key;
    std::vector<std::pair<std::string, Json>> Members;
    std::vector<Json> Elements;
  };

  bool Add(Json value) {
    if (open_.empty()) {
      result_ = std::move(value);
    } else if (Open& parent = open_.back(); parent.IsObject) {
      parent.Members.emplace_back(std::move(parent.Key), std::move(value));
    } else {
      parent.Elements.push_back(std::move(value));
    }
    return true;
  }

  std::vector<Open> open_;
  Json result_;
};

}  // namespace

Json ParseJson(std::string_view text) {
  JsonBuilder builder;
  Json::sax_parse(text.begin(), text.end(), &builder);
  return builder.Take();
}

namespace {

std::optional<std::uint64_t> ParseHex(std::string_view text, std::size_t maxDigits) {
  if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return std::nullopt;
  text.remove_prefix(2);
  if (text.size() > maxDigits) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    const int digit = support::HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return value;
}

}  // namespace

std::string InDoubleQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

void Problems::Add(const std::string& path, const std::string& text) {
  if (first_.empty()) first_ = path.empty() ? text : path + ": " + text;
}

std::optional<std::uint64_t> ReadUnsigned(const Json& value, const std::string& path,
                                          std::uint64_t max, Problems& problems) {
  std::optional<std::uint64_t> result;
  if (value.is_number_unsigned()) {
    result = value.get<std::uint64_t>();
  } else if (value.is_number_integer() && value.get<std::int64_t>() >= 0) {
    result = static_cast<std::uint64_t>(value.get<std::int64_t>());
  } else if (value.is_string()) {
    result = ParseHex(value.get<std::string>(), 16);
  }
  if (!result || *result > max) {
    problems.Add(path, "must be an integer from 0 to " + std::to_string(max) +
                           " or a hexadecimal string such as \"0x1F\"");
    return std::nullopt;
  }
  return result;
}

std::optional<std::int64_t> ReadSigned(const Json& value, const std::string& path,
                                       Problems& problems) {
  if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
  std::optional<std::uint64_t> magnitude;
  if (value.is_number_unsigned()) magnitude = value.get<std::uint64_t>();
  if (value.is_string()) magnitude = ParseHex(value.get<std::string>(), 16);
  const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (!magnitude || *magnitude > limit) {
    problems.Add(path,
                 "must be a 64-bit signed integer or a hexadecimal string such as \"0x10AC\"");
    return std::nullopt;
  }
  return static_cast<std::int64_t>(*magnitude);
}

std::optional<std::int32_t> ReadStatus(const Json& value, const std::string& path,
                                       Problems& problems) {
  std::optional<std::uint64_t> status;
  if (value.is_string()) status = ParseHex(value.get<std::string>(), 8);
  if (!status || *status == 0) {
    problems.Add(path, "must be a non-zero IOReturn written like \"0xE00002D5\"");
    return std::nullopt;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(*status));
}

std::optional<std::uint8_t> ReadVcpCode(std::string_view text) {
  auto code = ParseHex(text, 2);
  if (!code) return std::nullopt;
  return static_cast<std::uint8_t>(*code);
}

ObjectReader::ObjectReader(const Json& value, std::string path, Problems& problems)
    : path_(std::move(path)), problems_(problems) {
  if (value.is_object()) {
    object_ = &value;
  } else {
    problems_.Add(path_, "must be an object");
  }
}

std::string ObjectReader::PathOf(std::string_view key) const {
  return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

const Json* ObjectReader::Take(std::string_view key) {
  if (object_ == nullptr) return nullptr;
  taken_.emplace(key);
  auto found = object_->find(std::string(key));
  return found == object_->end() ? nullptr : &*found;
}

const Json* ObjectReader::Require(std::string_view key) {
  const Json* value = Take(key);
  if (value == nullptr && object_ != nullptr) problems_.Add(PathOf(key), "is required");
  return value;
}

std::optional<std::uint64_t> ObjectReader::Unsigned(std::string_view key, std::uint64_t max,
                                                    bool required) {
  const Json* value = required ? Require(key) : Take(key);
  if (value == nullptr) return std::nullopt;
  return ReadUnsigned(*value, PathOf(key), max, problems_);
}

std::optional<std::int64_t> ObjectReader::Signed(std::string_view key) {
  const Json* value = Take(key);
  if (value == nullptr) return std::nullopt;
  return ReadSigned(*value, PathOf(key), problems_);
}

std::optional<std::string> ObjectReader::String(std::string_view key, bool required) {
  const Json* value = required ? Require(key) : Take(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_string()) {
    problems_.Add(PathOf(key), "must be a string");
    return std::nullopt;
  }
  return value->get<std::string>();
}

std::optional<bool> ObjectReader::Bool(std::string_view key) {
  const Json* value = Take(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_boolean()) {
    problems_.Add(PathOf(key), "must be true or false");
    return std::nullopt;
  }
  return value->get<bool>();
}

std::optional<std::int32_t> ObjectReader::Status(std::string_view key) {
  const Json* value = Take(key);
  if (value == nullptr) return std::nullopt;
  return ReadStatus(*value, PathOf(key), problems_);
}

std::optional<Json> ObjectReader::FreeObject(std::string_view key, bool allowNull) {
  const Json* value = Take(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_object()) {
    problems_.Add(PathOf(key), "must be an object");
    return std::nullopt;
  }
  CheckPropertyValues(*value, PathOf(key), allowNull);
  return *value;
}

void ObjectReader::CheckPropertyValues(const Json& object, const std::string& path,
                                       bool allowNull) {
  for (const auto& [key, member] : object.items()) {
    const std::string at = path + "." + key;
    if (member.is_object()) {
      CheckPropertyValues(member, at, false);
    } else if (member.is_array()) {
      CheckArrayValues(member, at);
    } else if (!(member.is_string() || member.is_number() || member.is_boolean() ||
                 (allowNull && member.is_null()))) {
      problems_.Add(at, allowNull ? "must be a string, number, boolean, array, object or null"
                                  : "must be a string, number, boolean, array or object");
    }
  }
}

void ObjectReader::CheckArrayValues(const Json& array, const std::string& path) {
  for (std::size_t i = 0; i < array.size(); ++i) {
    const Json& member = array[i];
    const std::string at = path + "[" + std::to_string(i) + "]";
    if (member.is_object()) {
      CheckPropertyValues(member, at, false);
    } else if (member.is_array()) {
      CheckArrayValues(member, at);
    } else if (!(member.is_string() || member.is_number() || member.is_boolean())) {
      problems_.Add(at, "must be a string, number, boolean, array or object");
    }
  }
}

void ObjectReader::RejectUnknownKeys() {
  if (object_ == nullptr) return;
  for (const auto& [key, value] : object_->items()) {
    if (!taken_.contains(key)) {
      problems_.Add(
          path_, (path_.empty() ? "unknown top-level key " : "unknown key ") + InDoubleQuotes(key));
      return;
    }
  }
}

}  // namespace lumra::sim
