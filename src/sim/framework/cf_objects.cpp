#include "sim/framework/cf_objects.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "support/no_destructor.hpp"

namespace lumra::sim {
namespace {

std::atomic<std::size_t> liveObjects{0};

[[noreturn]] void Crash(const char* caller, const char* what) {
  std::fprintf(stderr, "lumra simulator: %s: %s\n", caller, what);
  std::abort();
}

}  // namespace

CfObject::CfObject(CFTypeID type, bool constant) : type_(type), constant_(constant) {
  if (!constant_) liveObjects.fetch_add(1);
}

CfObject::~CfObject() {
  magic_ = 0;
  if (!constant_) liveObjects.fetch_sub(1);
}

void CfObject::Retain() const {
  if (!constant_) references_.fetch_add(1);
}

void CfObject::Release() const {
  if (constant_) return;
  if (references_.fetch_sub(1) == 1) delete this;
}

CfDictionary::~CfDictionary() {
  for (auto& [key, value] : entries_) {
    key->Release();
    value->Release();
  }
}

CfArray::~CfArray() {
  for (const CfObject* value : values_) value->Release();
}

void CfDictionary::Set(const CfObject* key, const CfObject* value) {
  key->Retain();
  value->Retain();
  for (auto& entry : entries_) {
    if (CfEqual(entry.first, key)) {
      entry.first->Release();
      entry.second->Release();
      entry = {key, value};
      return;
    }
  }
  entries_.emplace_back(key, value);
}

void CfDictionary::SetOwned(std::string_view key, const CfObject* value) {
  const CfString* keyObject = NewString(std::string(key));
  Set(keyObject, value);
  keyObject->Release();
  value->Release();
}

void CfDictionary::Remove(const CfObject* key) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (CfEqual(it->first, key)) {
      it->first->Release();
      it->second->Release();
      entries_.erase(it);
      return;
    }
  }
}

const CfObject* CfDictionary::Find(const CfObject* key) const {
  for (const auto& [k, v] : entries_) {
    if (CfEqual(k, key)) return v;
  }
  return nullptr;
}

const CfObject* ObjectFrom(CFTypeRef ref, const char* caller) {
  if (ref == nullptr) Crash(caller, "NULL argument");
  const auto* object = static_cast<const CfObject*>(ref);
  if (!object->Valid()) Crash(caller, "not a live CF object");
  return object;
}

const CfObject* ObjectOrNull(CFTypeRef ref, const char* caller) {
  return ref == nullptr ? nullptr : ObjectFrom(ref, caller);
}

bool CfEqual(const CfObject* a, const CfObject* b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr || a->Type() != b->Type()) return false;
  switch (a->Type()) {
    case kCfStringType:
      return static_cast<const CfString*>(a)->Text() == static_cast<const CfString*>(b)->Text();
    case kCfNumberType: {
      const auto& x = static_cast<const CfNumber*>(a)->Get();
      const auto& y = static_cast<const CfNumber*>(b)->Get();
      const auto asDouble = [](const CfNumber::Value& v) {
        return std::holds_alternative<double>(v) ? std::get<double>(v)
                                                 : static_cast<double>(std::get<std::int64_t>(v));
      };
      if (x.index() == y.index()) return x == y;
      return asDouble(x) == asDouble(y);
    }
    case kCfDictionaryType: {
      const auto* left = static_cast<const CfDictionary*>(a);
      const auto* right = static_cast<const CfDictionary*>(b);
      if (left->Entries().size() != right->Entries().size()) return false;
      for (const auto& [key, value] : left->Entries()) {
        if (!CfEqual(value, right->Find(key))) return false;
      }
      return true;
    }
    case kCfArrayType: {
      const auto& left = static_cast<const CfArray*>(a)->Values();
      const auto& right = static_cast<const CfArray*>(b)->Values();
      return std::equal(left.begin(), left.end(), right.begin(), right.end(), CfEqual);
    }
    case kCfDataType:
      return static_cast<const CfData*>(a)->Bytes() == static_cast<const CfData*>(b)->Bytes();
    default:
      return false;
  }
}

const CfString* NewString(std::string utf8) { return new CfString(std::move(utf8)); }

const CfNumber* NewNumber(CfNumber::Value value) { return new CfNumber(value); }

CfDictionary* NewDictionary() { return new CfDictionary(); }

CfArray* NewArray() { return new CfArray(); }

const CfData* NewData(std::vector<std::uint8_t> bytes) { return new CfData(std::move(bytes)); }

const CfBoolean* BooleanObject(bool value) {
  static support::NoDestructor<const CfBoolean> kTrueObject(true);
  static support::NoDestructor<const CfBoolean> kFalseObject(false);
  return value ? &*kTrueObject : &*kFalseObject;
}

const CfString* ConstantString(std::string_view utf8) {
  static std::mutex mutex;
  static support::NoDestructor<std::map<std::string, std::unique_ptr<CfString>, std::less<>>>
      interned;
  std::lock_guard lock(mutex);
  auto found = interned->find(utf8);
  if (found == interned->end()) {
    std::string key(utf8);
    found = interned->emplace(key, std::make_unique<CfString>(key, true)).first;
  }
  return found->second.get();
}

std::size_t LiveCfObjectCount() { return liveObjects.load(); }

}  // namespace lumra::sim
