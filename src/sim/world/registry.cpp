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
    if (std::find(chain.begin(), chain.end(), name) == chain.end())
      chain.push_back(std::move(name));
  }
  return chain;
}

// The scenario's chain, or the kind's default below the leaf class.
std::vector<std::string> ChainOr(const ClassChainSpec& given, std::vector<std::string> fallback) {
  if (given.empty()) return fallback;
  return given;
}

// Assumed, not seen in a dump: the M1/M2 pipe class sits below an "AP" class, the newer one
// directly below the common base class.
std::vector<std::string> DisplayPipeChain(const MobileFramebufferSpec& fb) {
  if (!fb.Classes.empty()) return fb.Classes;
  if (fb.ClassName == "AppleCLCD2") {
    return {fb.ClassName, "IOMobileFramebufferAP", "IOMobileFramebuffer"};
  }
  if (fb.ClassName == "IOMobileFramebufferShim") return {fb.ClassName, "IOMobileFramebuffer"};
  return {fb.ClassName};
}

void MergeProperties(Json& into, const Json& from) {
  for (const auto& [key, value] : from.items()) into[key] = value;
}

// "DisplayAttributes" as a display pipe carries it: the EDID numbers and the product name under
// "ProductAttributes"; absent values are left out.
Json DisplayAttributes(const ProductAttributesSpec& display) {
  Json product = Json::object();
  if (display.Vendor) product["LegacyManufacturerID"] = *display.Vendor;
  if (display.Product) product["ProductID"] = *display.Product;
  if (display.Serial) product["SerialNumber"] = *display.Serial;
  if (display.Name) product["ProductName"] = *display.Name;
  return Json{{"ProductAttributes", product}};
}

}  // namespace

Registry::Registry(const Scenario& scenario) {
  // Explicit identifiers first, so generated ones never collide with them.
  for (const auto& fb : scenario.Framebuffers) {
    if (fb.EntryId) reserved_.insert(*fb.EntryId);
  }
  for (const auto& av : scenario.AvServices) reserved_.insert(av.EntryId);
  for (const auto& fb : scenario.MobileFramebuffers) {
    if (fb.EntryId) reserved_.insert(*fb.EntryId);
  }

  for (std::size_t i = 0; i < scenario.Framebuffers.size(); ++i) {
    const auto& fb = scenario.Framebuffers[i];
    RegistryEntry& entry = Place(fb.Path, fb.EntryId, EntryRole::Framebuffer, i,
                                 ChainOr(fb.Classes, {fb.ClassName, "IOFramebuffer"}));
    if (!fb.EntryId) entry.EntryId.reset();  // a null entry_id: the entry has no identifier
    MergeProperties(entry.Properties, fb.Properties);
  }
  for (std::size_t i = 0; i < scenario.AvServices.size(); ++i) {
    const auto& av = scenario.AvServices[i];
    RegistryEntry& entry = Place(av.Path, av.EntryId, EntryRole::AvService, i,
                                 ChainOr(av.Classes, {"DCPAVServiceProxy"}));
    MergeProperties(entry.Properties, av.Properties);
    if (entry.Parent) MergeProperties(entries_[*entry.Parent].Properties, av.ParentProperties);
    if (av.Location) {
      RegistryEntry& holder = av.LocationOnParent && entry.Parent ? entries_[*entry.Parent] : entry;
      holder.Properties["Location"] = *av.Location;
    }
  }
  for (std::size_t i = 0; i < scenario.MobileFramebuffers.size(); ++i) {
    const auto& fb = scenario.MobileFramebuffers[i];
    RegistryEntry& entry =
        Place(fb.Path, fb.EntryId, EntryRole::MobileFramebuffer, i, DisplayPipeChain(fb));
    if (fb.Display) entry.Properties["DisplayAttributes"] = DisplayAttributes(*fb.Display);
    MergeProperties(entry.Properties, fb.Properties);
  }
  for (const auto& display : scenario.Displays) {
    if (display.Location && display.LocationExists) Ensure(*display.Location);
  }
  // After the services, so their parents' generated identifiers stay what they were.
  for (const auto& spec : scenario.RegistryEntries) {
    RegistryEntry& entry = entries_[Ensure(spec.Path)];
    entry.ClassChain = ClassChain(spec.Classes);
    MergeProperties(entry.Properties, spec.Properties);
  }
  for (const auto& fb : scenario.Framebuffers) {
    if (fb.Location && fb.Location->starts_with(kRootPath)) Ensure(*fb.Location);
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
  entry.Role = role;
  entry.SpecIndex = specIndex;
  entry.ClassChain = ClassChain(std::move(classes));
  if (entryId) entry.EntryId = entryId;
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
  entry.Path = std::string(path);
  entry.Name = EntryName(path);
  entry.ClassChain = parent ? ClassChain({}) : std::vector<std::string>{"IORegistryEntry"};
  entry.Parent = parent;
  entry.EntryId = NextFreeId();
  const std::size_t index = entries_.size();
  byPath_.emplace(entry.Path, index);
  entries_.push_back(std::move(entry));
  if (parent) entries_[*parent].Children.push_back(index);
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
  const auto& chain = entries_[index].ClassChain;
  return std::find(chain.begin(), chain.end(), className) != chain.end();
}

}  // namespace lumra::sim
