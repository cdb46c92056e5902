// The simulator's CoreFoundation-style objects: reference-counted values behind the opaque
// CFTypeRef pointers of macos_api.h. Everything that a platform call returns with +1 is one of
// these, so the number of live objects tells whether a caller released what it took.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "sim/framework/macos_api.h"

namespace lumra::sim {

// Type identifiers the simulator reports from CFGetTypeID and the *GetTypeID functions.
enum CfTypeId : CFTypeID {
  kCfStringType = 7,
  kCfArrayType = 19,
  kCfDataType = 20,
  kCfDictionaryType = 18,
  kCfBooleanType = 21,
  kCfNumberType = 22,
  kCgDisplayModeType = 270,
  kIoavServiceType = 301,
};

class CfObject {
 public:
  explicit CfObject(CFTypeID type, bool constant = false);
  virtual ~CfObject();
  CfObject(const CfObject&) = delete;
  CfObject& operator=(const CfObject&) = delete;

  CFTypeID Type() const { return type_; }
  void Retain() const;
  // Drops one reference and deletes the object at zero; constants ignore both.
  void Release() const;
  bool Valid() const { return magic_ == kMagic; }

 private:
  static constexpr std::uint32_t kMagic = 0x4C4D4346;  // "LMCF"
  std::uint32_t magic_ = kMagic;
  CFTypeID type_;
  bool constant_;
  mutable std::atomic<long> references_{1};
};

class CfString final : public CfObject {
 public:
  explicit CfString(std::string utf8, bool constant = false)
      : CfObject(kCfStringType, constant), text_(std::move(utf8)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

class CfNumber final : public CfObject {
 public:
  using Value = std::variant<std::int64_t, double>;
  explicit CfNumber(Value value) : CfObject(kCfNumberType), value_(value) {}
  const Value& Get() const { return value_; }

 private:
  Value value_;
};

class CfBoolean final : public CfObject {
 public:
  explicit CfBoolean(bool value) : CfObject(kCfBooleanType, true), value_(value) {}
  bool Get() const { return value_; }

 private:
  bool value_;
};

// Keys and values are retained by the dictionary; iteration keeps insertion order.
class CfDictionary final : public CfObject {
 public:
  CfDictionary() : CfObject(kCfDictionaryType) {}
  ~CfDictionary() override;
  // Adds or replaces; takes its own references to both.
  void Set(const CfObject* key, const CfObject* value);
  // Convenience: a string key and a value whose +1 reference the dictionary takes over.
  void SetOwned(std::string_view key, const CfObject* value);
  void Remove(const CfObject* key);
  const CfObject* Find(const CfObject* key) const;
  const std::vector<std::pair<const CfObject*, const CfObject*>>& Entries() const {
    return entries_;
  }

 private:
  std::vector<std::pair<const CfObject*, const CfObject*>> entries_;
};

// Values are retained by the array, in their given order.
class CfArray final : public CfObject {
 public:
  CfArray() : CfObject(kCfArrayType) {}
  ~CfArray() override;
  // Appends a value whose +1 reference the array takes over.
  void AppendOwned(const CfObject* value) { values_.push_back(value); }
  const std::vector<const CfObject*>& Values() const { return values_; }

 private:
  std::vector<const CfObject*> values_;
};

class CfData final : public CfObject {
 public:
  explicit CfData(std::vector<std::uint8_t> bytes)
      : CfObject(kCfDataType), bytes_(std::move(bytes)) {}
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// The object behind a CF reference; aborts the process on NULL or on something that is not one
// of the simulator's objects, as a crash would on the real system.
const CfObject* ObjectFrom(CFTypeRef ref, const char* caller);
// The same, but NULL for NULL.
const CfObject* ObjectOrNull(CFTypeRef ref, const char* caller);

template <typename T>
const T* As(const CfObject* object, CFTypeID type) {
  return object != nullptr && object->Type() == type ? static_cast<const T*>(object) : nullptr;
}

bool CfEqual(const CfObject* a, const CfObject* b);

// New objects with one reference (+1).
const CfString* NewString(std::string utf8);
const CfNumber* NewNumber(CfNumber::Value value);
CfDictionary* NewDictionary();
CfArray* NewArray();
const CfData* NewData(std::vector<std::uint8_t> bytes);
const CfBoolean* BooleanObject(bool value);

// Never-released string interned by content (CFSTR).
const CfString* ConstantString(std::string_view utf8);

// The number of live non-constant objects.
std::size_t LiveCfObjectCount();

// The opaque pointer types of the C API are views of CfObject.
template <typename Ref>
Ref ToRef(const CfObject* object) {
  return reinterpret_cast<Ref>(const_cast<CfObject*>(object));
}

}  // namespace lumra::sim
