// The IOKit registry functions of macos_api.h over the simulated registry.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "sim/framework/cf_json.hpp"
#include "sim/framework/cf_objects.hpp"
#include "sim/framework/io_objects.hpp"
#include "sim/framework/macos_api.h"

namespace lumra::sim {
namespace {

constexpr std::string_view kProviderClassKey = "IOProviderClass";
constexpr std::string_view kEntryIdKey = "IORegistryEntryID";

// Releases the matching dictionary that the matching calls consume, on every path.
class ConsumedReference {
 public:
  explicit ConsumedReference(CFTypeRef ref) : object_(ObjectOrNull(ref, "IOServiceGetMatching")) {}
  ~ConsumedReference() {
    if (object_ != nullptr) object_->Release();
  }
  ConsumedReference(const ConsumedReference&) = delete;
  ConsumedReference& operator=(const ConsumedReference&) = delete;
  const CfObject* Get() const { return object_; }

 private:
  const CfObject* object_;
};

const CfObject* Lookup(const CfDictionary& dictionary, std::string_view key) {
  return dictionary.Find(ConstantString(key));
}

bool EntryMatches(const World& world, std::size_t index, const CfDictionary& matching) {
  const RegistryEntry& entry = world.Registry.Entry(index);
  if (!world.Registry.ConformsTo(index, "IOService")) return false;
  if (const auto* cls = As<CfString>(Lookup(matching, kProviderClassKey), kCfStringType)) {
    if (!world.Registry.ConformsTo(index, cls->Text())) return false;
  }
  if (const auto* id = As<CfNumber>(Lookup(matching, kEntryIdKey), kCfNumberType)) {
    const auto* value = std::get_if<std::int64_t>(&id->Get());
    if (value == nullptr || !entry.EntryId ||
        *entry.EntryId != static_cast<std::uint64_t>(*value)) {
      return false;
    }
  }
  return true;
}

bool MatchingFails(const World& world, const CfDictionary& matching) {
  const auto* cls = As<CfString>(Lookup(matching, kProviderClassKey), kCfStringType);
  if (cls == nullptr) return false;
  for (const auto& name : world.Scenario.Failures.ServiceMatching) {
    if (name == cls->Text()) return true;
  }
  return false;
}

std::vector<std::size_t> MatchingEntries(const World& world, const CfDictionary& matching) {
  std::vector<std::size_t> found;
  for (std::size_t index : world.Registry.MatchOrder()) {
    if (EntryMatches(world, index, matching)) found.push_back(index);
  }
  return found;
}

bool IsServicePlane(const char* plane) {
  return plane != nullptr && std::strcmp(plane, kIOServicePlane) == 0;
}

// The named property of one entry as a new CF object, or nullptr.
const CfObject* EntryProperty(const World& world, std::size_t index, std::string_view key) {
  const Json& properties = world.Registry.Entry(index).Properties;
  auto found = properties.find(std::string(key));
  return found == properties.end() ? nullptr : CfFromJson(*found);
}

const CfObject* SearchChildren(const World& world, std::size_t index, std::string_view key) {
  for (std::size_t child : world.Registry.Entry(index).Children) {
    if (const CfObject* value = EntryProperty(world, child, key)) return value;
    if (const CfObject* value = SearchChildren(world, child, key)) return value;
  }
  return nullptr;
}

const CfObject* SearchProperty(const World& world, std::size_t index, std::string_view key,
                               IOOptionBits options) {
  if (const CfObject* value = EntryProperty(world, index, key)) return value;
  if ((options & kIORegistryIterateRecursively) == 0) return nullptr;
  if ((options & kIORegistryIterateParents) == 0) return SearchChildren(world, index, key);
  for (auto parent = world.Registry.Entry(index).Parent; parent;
       parent = world.Registry.Entry(*parent).Parent) {
    if (const CfObject* value = EntryProperty(world, *parent, key)) return value;
  }
  return nullptr;
}

CFMutableDictionaryRef NewMatching(std::string_view key, const CfObject* value) {
  CfDictionary* dictionary = NewDictionary();
  dictionary->SetOwned(key, value);
  return ToRef<CFMutableDictionaryRef>(dictionary);
}

std::string_view KeyText(CFStringRef key, const char* caller) {
  const auto* text = As<CfString>(ObjectFrom(key, caller), kCfStringType);
  return text == nullptr ? std::string_view() : std::string_view(text->Text());
}

}  // namespace
}  // namespace lumra::sim

using namespace lumra::sim;

extern "C" {

const mach_port_t kIOMainPortDefault = MACH_PORT_NULL;

CFMutableDictionaryRef IOServiceMatching(const char* name) {
  if (name == nullptr) return nullptr;
  return NewMatching(kProviderClassKey, NewString(name));
}

CFMutableDictionaryRef IORegistryEntryIDMatching(uint64_t entryID) {
  return NewMatching(kEntryIdKey, NewNumber(static_cast<std::int64_t>(entryID)));
}

kern_return_t IOServiceGetMatchingServices(mach_port_t, CFDictionaryRef matching,
                                           io_iterator_t* existing) {
  ConsumedReference consumed(matching);
  if (existing == nullptr) return kIOReturnBadArgument;
  *existing = IO_OBJECT_NULL;
  const auto* dictionary = As<CfDictionary>(consumed.Get(), kCfDictionaryType);
  if (dictionary == nullptr) return kIOReturnBadArgument;
  WorldPtr world = CurrentWorld();
  if (!world || MatchingFails(*world, *dictionary)) return kIOReturnError;
  *existing = AddIoObject(IteratorObject{world, MatchingEntries(*world, *dictionary), 0});
  return KERN_SUCCESS;
}

io_service_t IOServiceGetMatchingService(mach_port_t, CFDictionaryRef matching) {
  ConsumedReference consumed(matching);
  const auto* dictionary = As<CfDictionary>(consumed.Get(), kCfDictionaryType);
  WorldPtr world = CurrentWorld();
  if (dictionary == nullptr || !world) return IO_OBJECT_NULL;
  const auto entries = MatchingEntries(*world, *dictionary);
  if (entries.empty()) return IO_OBJECT_NULL;
  return AddIoObject(EntryObject{world, entries.front()});
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
  auto entry = AdvanceIterator(iterator);
  return entry ? AddIoObject(*entry) : IO_OBJECT_NULL;
}

kern_return_t IOObjectRelease(io_object_t object) {
  if (object == IO_OBJECT_NULL) return KERN_SUCCESS;
  return ReleaseIoObject(object) ? KERN_SUCCESS : kIOReturnBadArgument;
}

boolean_t IOObjectConformsTo(io_object_t object, const char* className) {
  auto entry = FindEntry(object);
  if (!entry || className == nullptr) return 0;
  return entry->World->Registry.ConformsTo(entry->Entry, className) ? 1 : 0;
}

kern_return_t IORegistryEntryGetRegistryEntryID(io_registry_entry_t entry, uint64_t* entryID) {
  auto found = FindEntry(entry);
  if (!found || entryID == nullptr) return kIOReturnBadArgument;
  const auto& id = found->World->Registry.Entry(found->Entry).EntryId;
  if (!id) return kIOReturnError;
  *entryID = *id;
  return KERN_SUCCESS;
}

CFTypeRef IORegistryEntrySearchCFProperty(io_registry_entry_t entry, const char* plane,
                                          CFStringRef key, CFAllocatorRef, IOOptionBits options) {
  auto found = FindEntry(entry);
  if (!found || !IsServicePlane(plane)) return nullptr;
  return SearchProperty(*found->World, found->Entry,
                        KeyText(key, "IORegistryEntrySearchCFProperty"), options);
}

CFTypeRef IORegistryEntryCreateCFProperty(io_registry_entry_t entry, CFStringRef key,
                                          CFAllocatorRef, IOOptionBits) {
  auto found = FindEntry(entry);
  if (!found) return nullptr;
  return EntryProperty(*found->World, found->Entry,
                       KeyText(key, "IORegistryEntryCreateCFProperty"));
}

kern_return_t IORegistryEntryGetPath(io_registry_entry_t entry, const char* plane,
                                     io_string_t path) {
  auto found = FindEntry(entry);
  if (!found || path == nullptr || !IsServicePlane(plane)) return kIOReturnBadArgument;
  const std::string& text = found->World->Registry.Entry(found->Entry).Path;
  if (text.size() >= sizeof(io_string_t)) return kIOReturnBadArgument;
  std::memcpy(path, text.c_str(), text.size() + 1);
  return KERN_SUCCESS;
}

io_registry_entry_t IORegistryEntryCopyFromPath(mach_port_t, CFStringRef path) {
  WorldPtr world = CurrentWorld();
  if (!world || path == nullptr) return IO_OBJECT_NULL;
  auto index = world->Registry.FindPath(KeyText(path, "IORegistryEntryCopyFromPath"));
  return index ? AddIoObject(EntryObject{world, *index}) : IO_OBJECT_NULL;
}

kern_return_t IORegistryEntryGetName(io_registry_entry_t entry, io_name_t name) {
  auto found = FindEntry(entry);
  if (!found || name == nullptr) return kIOReturnBadArgument;
  const std::string& text = found->World->Registry.Entry(found->Entry).Name;
  const std::size_t length = std::min(text.size(), sizeof(io_name_t) - 1);
  std::memcpy(name, text.data(), length);
  name[length] = '\0';
  return KERN_SUCCESS;
}

kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const char* plane,
                                            io_registry_entry_t* parent) {
  auto found = FindEntry(entry);
  if (!found || parent == nullptr || !IsServicePlane(plane)) return kIOReturnBadArgument;
  *parent = IO_OBJECT_NULL;
  const auto& up = found->World->Registry.Entry(found->Entry).Parent;
  if (!up) return kIOReturnNoDevice;
  *parent = AddIoObject(EntryObject{found->World, *up});
  return KERN_SUCCESS;
}

}  // extern "C"
