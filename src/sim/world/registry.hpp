// The simulated I/O Registry (IOService plane): a tree of entries built from a scenario, with
// registry entry identifiers, paths, class chains and properties.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sim/world/scenario.hpp"

namespace lumra::sim {

enum class EntryRole { Plain, Framebuffer, AvService, MobileFramebuffer };

struct RegistryEntry {
  std::string Path;                     // "IOService:/..." as IORegistryEntryGetPath gives it
  std::string Name;                     // the last path component up to its "@"
  std::vector<std::string> ClassChain;  // the class first, then its superclasses
  std::optional<std::uint64_t> EntryId;
  std::optional<std::size_t> Parent;
  std::vector<std::size_t> Children;
  Json Properties = Json::object();
  EntryRole Role = EntryRole::Plain;
  std::size_t SpecIndex = 0;  // into Scenario::framebuffers, avServices or mobileFramebuffers
};

class Registry {
 public:
  explicit Registry(const Scenario& scenario);

  const RegistryEntry& Entry(std::size_t index) const { return entries_[index]; }
  std::optional<std::size_t> FindPath(std::string_view path) const;
  bool ConformsTo(std::size_t index, std::string_view className) const;
  // Services in the order matching reports them: framebuffers, proxies and mobile
  // framebuffers in scenario order, then every other entry.
  const std::vector<std::size_t>& MatchOrder() const { return matchOrder_; }

 private:
  std::size_t Ensure(std::string_view path);
  std::uint64_t NextFreeId();
  RegistryEntry& Place(std::string_view path, std::optional<std::uint64_t> entryId, EntryRole role,
                       std::size_t specIndex, std::vector<std::string> classes);

  std::vector<RegistryEntry> entries_;
  std::map<std::string, std::size_t, std::less<>> byPath_;
  // Every explicit identifier; generated ones skip them and only grow, so none repeats.
  std::set<std::uint64_t> reserved_;
  std::vector<std::size_t> matchOrder_;
  std::uint64_t nextId_ = 0x100000100;
};

}  // namespace lumra::sim
