// Strict reading of scenario JSON: typed fields with ranges, required and optional keys, and
// the first problem found, named by its JSON path. Unknown keys are problems too, so a
// misspelt key is reported instead of silently ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "sim/world/scenario.hpp"

namespace lumra::sim {

// The JSON value of `text`, as Json::parse reads it (a repeated key keeps its first place and
// its last value), and with the same exceptions. Json::parse is slow for a scenario: its ordered
// objects keep members as pair<const string, json>, which cannot be moved, so each time an
// object grows every member read so far is copied whole. Here each object is built once, at its
// final size, from members gathered first.
Json ParseJson(std::string_view text);

// Collects the first problem; later ones are dropped so the message names the first fault.
class Problems {
 public:
  void Add(const std::string& path, const std::string& text);
  bool Any() const { return !first_.empty(); }
  const std::string& First() const { return first_; }

 private:
  std::string first_;
};

std::optional<std::uint64_t> ReadUnsigned(const Json& value, const std::string& path,
                                          std::uint64_t max, Problems& problems);
std::optional<std::int64_t> ReadSigned(const Json& value, const std::string& path,
                                       Problems& problems);
// An IOReturn written "0xE00002D5": a non-zero 32-bit value.
std::optional<std::int32_t> ReadStatus(const Json& value, const std::string& path,
                                       Problems& problems);
// A VCP code written "0x10".
std::optional<std::uint8_t> ReadVcpCode(std::string_view text);

// `text` between double quotes, as it is: a name in a problem, such as an unknown key.
std::string InDoubleQuotes(std::string_view text);

class ObjectReader {
 public:
  ObjectReader(const Json& value, std::string path, Problems& problems);

  bool IsObject() const { return object_ != nullptr; }
  const std::string& Path() const { return path_; }
  std::string PathOf(std::string_view key) const;
  // The value of `key`, marking the key as known; nullptr when absent (or not an object).
  const Json* Take(std::string_view key);
  const Json* Require(std::string_view key);

  std::optional<std::uint64_t> Unsigned(std::string_view key, std::uint64_t max, bool required);
  std::optional<std::int64_t> Signed(std::string_view key);
  std::optional<std::string> String(std::string_view key, bool required);
  std::optional<bool> Bool(std::string_view key);
  std::optional<std::int32_t> Status(std::string_view key);
  // An object of property values kept as given: strings, numbers, booleans, arrays and
  // objects of them; null members only when `allowNull` (they then remove a key).
  std::optional<Json> FreeObject(std::string_view key, bool allowNull);

  // Reports the first key that no Take consumed.
  void RejectUnknownKeys();

 private:
  void CheckPropertyValues(const Json& object, const std::string& path, bool allowNull);
  void CheckArrayValues(const Json& array, const std::string& path);

  const Json* object_ = nullptr;
  std::string path_;
  Problems& problems_;
  std::set<std::string, std::less<>> taken_;
};

}  // namespace lumra::sim
