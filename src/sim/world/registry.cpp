#include "sim/world/registry.hpp"

#include <algorithm>

namespace lumra::sim {
namespace {

constexpr std::string_view kRootPath = "IOService:/";

std::string EntryName(std::string_view path) {
  if (path == kRootPath) return "Root";
  std::string_view component = path.substr(path.rfind('/') + 1);
  return std::string(component.substr(0, component.find('@')));
}

// Every service conforms to IOService and every entry to IORegistryEntry, whatever the
// scenario lists; a class named twice keeps its first place.
std::vector<std::string> ClassChain(std::vector<std::string> classes) {
  classes.emplace_back("IOService");
  classes.emplace_back("IORegistryEntry");
  std::vector<std::string> chain;
  for (auto& name : classes) {
    if (std::find(chain.begin(), chain.end(), name) == chain.end()) chain.push_back(std::move(name));
  }
  return chain;
}

// The scenario's chain, or the kind's default below the leaf class.
std::vector<std::string> ChainOr(const ClassChainSpec& given, std::vector<std::string> fallback) {
  return given.empty() ? std::move(fallback) : given;
}

// Assumed, not seen in a dump: the M1/M2 pipe class sits below an "AP" class, the newer one
// directly below the common base class.
std::vector<std::string> DisplayPipeChain(const MobileFramebufferSpec& fb) {
  if (!fb.classes.empty()) return fb.classes;
  if (fb.className == "AppleCLCD2") {
    return {fb.className, "IOMobileFramebufferAP", "IOMobileFramebuffer"};
  }
  if (fb.className == "IOMobileFramebufferShim") return {fb.className, "IOMobileFramebuffer"};
  return {fb.className};
}

void MergeProperties(Json& into, const Json& from) {
  for (const auto& [key, value] : from.items()) into[key] = value;
}

// "DisplayAttributes" as a display pipe carries it: the EDID numbers and the product name under
// "ProductAttributes"; absent values are left out.
Json DisplayAttributes(const ProductAttributesSpec& display) {
  Json product = Json::object();
  if (display.vendor) product["LegacyManufacturerID"] = *display.vendor;
  if (display.product) product["ProductID"] = *display.product;
  if (display.serial) product["SerialNumber"] = *display.serial;
  if (display.name) product["ProductName"] = *display.name;
  return Json{{"ProductAttributes", product}};
}

}  // namespace

Registry::Registry(const Scenario& scenario) {
  // Explicit identifiers first, so generated ones never collide with them.
  for (const auto& fb : scenario.framebuffers) {
    if (fb.entryId) reserved_.insert(*fb.entryId);
  }
  for (const auto& av : scenario.avServices) reserved_.insert(av.entryId);
  for (const auto& fb : scenario.mobileFramebuffers) {
    if (fb.entryId) reserved_.insert(*fb.entryId);
  }

  for (std::size_t i = 0; i < scenario.framebuffers.size(); ++i) {
    const auto& fb = scenario.framebuffers[i];
    RegistryEntry& entry = Place(fb.path, fb.entryId, EntryRole::Framebuffer, i,
                                 ChainOr(fb.classes, {fb.className, "IOFramebuffer"}));
    if (!fb.entryId) entry.entryId.reset();  // a null entry_id: the entry has no identifier
    MergeProperties(entry.properties, fb.properties);
  }
  for (std::size_t i = 0; i < scenario.avServices.size(); ++i) {
    const auto& av = scenario.avServices[i];
    RegistryEntry& entry = Place(av.path, av.entryId, EntryRole::AvService, i,
                                 ChainOr(av.classes, {"DCPAVServiceProxy"}));
    MergeProperties(entry.properties, av.properties);
    if (entry.parent) MergeProperties(entries_[*entry.parent].properties, av.parentProperties);
    if (av.location) {
      RegistryEntry& holder = av.locationOnParent && entry.parent ? entries_[*entry.parent] : entry;
      holder.properties["Location"] = *av.location;
    }
  }
  for (std::size_t i = 0; i < scenario.mobileFramebuffers.size(); ++i) {
    const auto& fb = scenario.mobileFramebuffers[i];
    RegistryEntry& entry = Place(fb.path, fb.entryId, EntryRole::MobileFramebuffer, i,
                                 DisplayPipeChain(fb));
    if (fb.display) entry.properties["DisplayAttributes"] = DisplayAttributes(*fb.display);
    MergeProperties(entry.properties, fb.properties);
  }
  for (const auto& display : scenario.displays) {
    if (display.location && display.locationExists) Ensure(*display.location);
  }
  // After the services, so their parents' generated identifiers stay what they were.
  for (const auto& spec : scenario.registryEntries) {
    RegistryEntry& entry = entries_[Ensure(spec.path)];
    entry.classChain = ClassChain(spec.classes);
    MergeProperties(entry.properties, spec.properties);
  }
  for (const auto& fb : scenario.framebuffers) {
    if (fb.location && fb.location->starts_with(kRootPath)) Ensure(*fb.location);
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (std::find(matchOrder_.begin(), matchOrder_.end(), i) == matchOrder_.end()) {
      matchOrder_.push_back(i);
    }
  }
}

// Makes the entry at `path` (created with its parents if needed) a scenario service, queued
// for matching in scenario order; a given `entryId` replaces the generated one.
RegistryEntry& Registry::Place(std::string_view path, std::optional<std::uint64_t> entryId,
                               EntryRole role, std::size_t specIndex,
                               std::vector<std::string> classes) {
  const std::size_t at = Ensure(path);
  RegistryEntry& entry = entries_[at];
  entry.role = role;
  entry.specIndex = specIndex;
  entry.classChain = ClassChain(std::move(classes));
  if (entryId) entry.entryId = entryId;
  matchOrder_.push_back(at);
  return entry;
}

std::size_t Registry::Ensure(std::string_view path) {
  if (auto found = byPath_.find(path); found != byPath_.end()) return found->second;
  std::optional<std::size_t> parent;
  if (path != kRootPath) {
    const std::size_t slash = path.rfind('/');
    const std::string_view parentPath = path.substr(0, slash);
    parent = Ensure(parentPath.size() < kRootPath.size() ? kRootPath : parentPath);
  }
  RegistryEntry entry;
  entry.path = std::string(path);
  entry.name = EntryName(path);
  entry.classChain = parent ? ClassChain({}) : std::vector<std::string>{"IORegistryEntry"};
  entry.parent = parent;
  entry.entryId = NextFreeId();
  const std::size_t index = entries_.size();
  byPath_.emplace(entry.path, index);
  entries_.push_back(std::move(entry));
  if (parent) entries_[*parent].children.push_back(index);
  return index;
}

std::uint64_t Registry::NextFreeId() {
  while (reserved_.contains(nextId_)) ++nextId_;
  return nextId_++;
}

std::optional<std::size_t> Registry::FindPath(std::string_view path) const {
  auto found = byPath_.find(path);
  if (found == byPath_.end()) return std::nullopt;
  return found->second;
}

bool Registry::ConformsTo(std::size_t index, std::string_view className) const {
  const auto& chain = entries_[index].classChain;
  return std::find(chain.begin(), chain.end(), className) != chain.end();
}

}  // namespace lumra::sim
