// The CoreFoundation functions of macos_api.h over the simulator's objects.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "sim/framework/cf_objects.hpp"
#include "sim/framework/macos_api.h"

namespace lumra::sim {
namespace {

// Number types beyond the two that macos_api.h names, with the system's values.
enum : CFNumberType {
  kSInt8 = 1,
  kSInt16 = 2,
  kSInt32 = 3,
  kSInt64 = 4,
  kFloat32 = 5,
  kFloat64 = 6,
  kChar = 7,
  kShort = 8,
  kInt = 9,
  kLong = 10,
  kLongLong = 11,
  kFloat = 12,
  kDouble = 13,
  kCFIndexType = 14,
};

template <typename T>
bool StoreInteger(const CfNumber::Value& value, void* out) {
  T result{};
  bool exact = false;
  if (std::holds_alternative<std::int64_t>(value)) {
    const std::int64_t v = std::get<std::int64_t>(value);
    result = static_cast<T>(v);
    exact = v >= static_cast<std::int64_t>(std::numeric_limits<T>::min()) &&
            v <= static_cast<std::int64_t>(std::numeric_limits<T>::max());
  } else {
    const double v = std::get<double>(value);
    const bool inRange = std::isfinite(v) &&
                         v >= static_cast<double>(std::numeric_limits<T>::min()) &&
                         v < -static_cast<double>(std::numeric_limits<T>::min());
    result = inRange ? static_cast<T>(v) : T{};
    exact = inRange && static_cast<double>(result) == v;
  }
  std::memcpy(out, &result, sizeof result);
  return exact;
}

template <typename T>
bool StoreFloat(const CfNumber::Value& value, void* out) {
  T result{};
  bool exact = false;
  if (std::holds_alternative<std::int64_t>(value)) {
    const std::int64_t v = std::get<std::int64_t>(value);
    result = static_cast<T>(v);
    exact = static_cast<std::int64_t>(result) == v;
  } else {
    const double v = std::get<double>(value);
    result = static_cast<T>(v);
    exact = static_cast<double>(result) == v || std::isnan(v);
  }
  std::memcpy(out, &result, sizeof result);
  return exact;
}

bool StoreNumber(const CfNumber::Value& value, CFNumberType type, void* out) {
  switch (type) {
    case kSInt8:
    case kChar:
      return StoreInteger<std::int8_t>(value, out);
    case kSInt16:
    case kShort:
      return StoreInteger<std::int16_t>(value, out);
    case kSInt32:
    case kInt:
      return StoreInteger<std::int32_t>(value, out);
    case kSInt64:
    case kLong:
    case kLongLong:
    case kCFIndexType:
      return StoreInteger<std::int64_t>(value, out);
    case kFloat32:
    case kFloat:
      return StoreFloat<float>(value, out);
    case kFloat64:
    case kDouble:
      return StoreFloat<double>(value, out);
    default:
      return false;
  }
}

// UTF-16 code units of a UTF-8 text: four-byte sequences take two units.
CFIndex Utf16Length(const std::string& text) {
  CFIndex units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) == 0x80) continue;
    units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

const CfString* StringFrom(CFStringRef ref, const char* caller) {
  return As<CfString>(ObjectFrom(ref, caller), kCfStringType);
}

}  // namespace
}  // namespace lumra::sim

using namespace lumra::sim;

extern "C" {

const CFBooleanRef kCFBooleanTrue = ToRef<CFBooleanRef>(BooleanObject(true));
const CFBooleanRef kCFBooleanFalse = ToRef<CFBooleanRef>(BooleanObject(false));

CFTypeID CFGetTypeID(CFTypeRef cf) { return ObjectFrom(cf, "CFGetTypeID")->Type(); }
CFTypeID CFStringGetTypeID(void) { return kCfStringType; }
CFTypeID CFNumberGetTypeID(void) { return kCfNumberType; }
CFTypeID CFDictionaryGetTypeID(void) { return kCfDictionaryType; }
CFTypeID CFBooleanGetTypeID(void) { return kCfBooleanType; }
CFTypeID CFArrayGetTypeID(void) { return kCfArrayType; }
CFTypeID CFDataGetTypeID(void) { return kCfDataType; }

CFIndex CFArrayGetCount(CFArrayRef array) {
  const auto* values = As<CfArray>(ObjectFrom(array, "CFArrayGetCount"), kCfArrayType);
  return values == nullptr ? 0 : static_cast<CFIndex>(values->Values().size());
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index) {
  const auto* values = As<CfArray>(ObjectFrom(array, "CFArrayGetValueAtIndex"), kCfArrayType);
  if (values == nullptr || index < 0 ||
      static_cast<std::size_t>(index) >= values->Values().size()) {
    return nullptr;
  }
  return values->Values()[static_cast<std::size_t>(index)];
}

CFIndex CFDataGetLength(CFDataRef data) {
  const auto* bytes = As<CfData>(ObjectFrom(data, "CFDataGetLength"), kCfDataType);
  return bytes == nullptr ? 0 : static_cast<CFIndex>(bytes->Bytes().size());
}

const UInt8* CFDataGetBytePtr(CFDataRef data) {
  const auto* bytes = As<CfData>(ObjectFrom(data, "CFDataGetBytePtr"), kCfDataType);
  return bytes == nullptr ? nullptr : bytes->Bytes().data();
}

CFTypeRef CFRetain(CFTypeRef cf) {
  ObjectFrom(cf, "CFRetain")->Retain();
  return cf;
}

void CFRelease(CFTypeRef cf) { ObjectFrom(cf, "CFRelease")->Release(); }

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
  return CfEqual(ObjectFrom(a, "CFEqual"), ObjectFrom(b, "CFEqual")) ? 1 : 0;
}

const void* CFDictionaryGetValue(CFDictionaryRef dict, const void* key) {
  const auto* dictionary =
      As<CfDictionary>(ObjectFrom(dict, "CFDictionaryGetValue"), kCfDictionaryType);
  if (dictionary == nullptr || key == nullptr) return nullptr;
  return dictionary->Find(ObjectFrom(key, "CFDictionaryGetValue"));
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dict) {
  const auto* dictionary =
      As<CfDictionary>(ObjectFrom(dict, "CFDictionaryGetCount"), kCfDictionaryType);
  return dictionary == nullptr ? 0 : static_cast<CFIndex>(dictionary->Entries().size());
}

void CFDictionaryApplyFunction(CFDictionaryRef dict, CFDictionaryApplierFunction applier,
                               void* context) {
  const auto* dictionary =
      As<CfDictionary>(ObjectFrom(dict, "CFDictionaryApplyFunction"), kCfDictionaryType);
  if (dictionary == nullptr || applier == nullptr) return;
  // A copy, so an applier that releases the dictionary's last outside reference stays safe.
  const auto entries = dictionary->Entries();
  for (const auto& [key, value] : entries) applier(key, value, context);
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* out) {
  const auto* object = As<CfNumber>(ObjectFrom(number, "CFNumberGetValue"), kCfNumberType);
  if (object == nullptr || out == nullptr) return 0;
  return StoreNumber(object->Get(), type, out) ? 1 : 0;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
  const auto* object = As<CfBoolean>(ObjectFrom(boolean, "CFBooleanGetValue"), kCfBooleanType);
  return object != nullptr && object->Get() ? 1 : 0;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cstr, CFStringEncoding encoding) {
  if (cstr == nullptr || encoding != kCFStringEncodingUTF8) return nullptr;
  return ToRef<CFStringRef>(NewString(cstr));
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex size,
                           CFStringEncoding encoding) {
  const CfString* object = StringFrom(string, "CFStringGetCString");
  if (object == nullptr || buffer == nullptr || size <= 0 || encoding != kCFStringEncodingUTF8) {
    return 0;
  }
  const std::string& text = object->Text();
  if (static_cast<CFIndex>(text.size()) + 1 > size) return 0;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return 1;
}

CFIndex CFStringGetLength(CFStringRef string) {
  const CfString* object = StringFrom(string, "CFStringGetLength");
  return object == nullptr ? 0 : Utf16Length(object->Text());
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  if (encoding != kCFStringEncodingUTF8 || length < 0 ||
      length > std::numeric_limits<CFIndex>::max() / 3) {
    return -1;  // kCFNotFound
  }
  return length * 3;
}

CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFStringCompareFlags options) {
  const CfString* left = StringFrom(a, "CFStringCompare");
  const CfString* right = StringFrom(b, "CFStringCompare");
  std::string x = left == nullptr ? std::string() : left->Text();
  std::string y = right == nullptr ? std::string() : right->Text();
  constexpr CFStringCompareFlags kCaseInsensitive = 1;
  if ((options & kCaseInsensitive) != 0) {
    for (auto* text : {&x, &y}) {
      for (char& c : *text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
  }
  const int order = x.compare(y);
  return order < 0 ? -1 : (order > 0 ? 1 : kCFCompareEqualTo);
}

CFStringRef lumra_sim_constant_string(const char* cstr) {
  return ToRef<CFStringRef>(ConstantString(cstr == nullptr ? "" : cstr));
}

}  // extern "C"
