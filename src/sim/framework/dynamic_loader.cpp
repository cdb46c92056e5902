// lumra_sim_dlopen/dlsym/dlclose: a dynamic loader that knows two libraries, IOKit (for the
// IOAVService entry points) and CoreDisplay, and whose answers the scenario's "frameworks"
// switches can take away.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

#include "sim/framework/io_objects.hpp"
#include "sim/framework/macos_api.h"
#include "sim/framework/private_frameworks.hpp"
#include "sim/simulator.hpp"
#include "sim/world/world.hpp"
#include "support/no_destructor.hpp"

namespace lumra::sim {

namespace {

struct Symbol {
  std::string_view Name;
  void* Address;
};

struct Library {
  std::string_view Path;
  FrameworkSpec Scenario::*Spec;
  std::vector<Symbol> Symbols;
  int Opens = 0;
};

template <typename Function>
void* Address(Function* function) {
  return reinterpret_cast<void*>(function);
}

// Pairs a library's entry point names with their addresses, given in the same order.
template <std::size_t N>
std::vector<Symbol> Symbols(const std::string_view (&names)[N], void* const (&addresses)[N]) {
  std::vector<Symbol> symbols;
  for (std::size_t i = 0; i < N; ++i) symbols.push_back({names[i], addresses[i]});
  return symbols;
}

struct Loader {
  std::mutex Mutex;
  Library IoKit{"/System/Library/Frameworks/IOKit.framework/IOKit", &Scenario::Ioav,
                Symbols(kIoavEntryPoints, {Address(&IoavCreateWithService), Address(&IoavWriteI2C),
                                           Address(&IoavReadI2C)})};
  Library CoreDisplay{
      "/System/Library/Frameworks/CoreDisplay.framework/CoreDisplay", &Scenario::CoreDisplay,
      Symbols(kCoreDisplayEntryPoints, {Address(&CoreDisplayCreateInfoDictionary)})};
};

Loader& TheLoader() {
  static support::NoDestructor<Loader> loader;
  return *loader;
}

FrameworkSpec SpecOf(const Library& library) {
  WorldPtr world = CurrentWorld();
  return world ? (*world).Scenario.*library.Spec : FrameworkSpec{};
}

Library* LibraryAt(Loader& loader, const char* path) {
  if (path == nullptr) return nullptr;
  for (Library* library : {&loader.IoKit, &loader.CoreDisplay}) {
    if (library->Path == path) return library;
  }
  return nullptr;
}

Library* LibraryFor(Loader& loader, void* handle) {
  for (Library* library : {&loader.IoKit, &loader.CoreDisplay}) {
    if (handle == library) return library;
  }
  return nullptr;
}

}  // namespace

std::size_t OpenLibraryHandles() {
  Loader& loader = TheLoader();
  std::lock_guard lock(loader.Mutex);
  return static_cast<std::size_t>(loader.IoKit.Opens + loader.CoreDisplay.Opens);
}

}  // namespace lumra::sim

using namespace lumra::sim;

extern "C" {

void* lumra_sim_dlopen(const char* path, int) {
  Loader& loader = TheLoader();
  Library* library = LibraryAt(loader, path);
  if (library == nullptr || !SpecOf(*library).Opens) return nullptr;
  std::lock_guard lock(loader.Mutex);
  ++library->Opens;
  return library;
}

void* lumra_sim_dlsym(void* handle, const char* symbol) {
  Loader& loader = TheLoader();
  Library* library = LibraryFor(loader, handle);
  if (library == nullptr || symbol == nullptr) return nullptr;
  const FrameworkSpec spec = SpecOf(*library);
  std::lock_guard lock(loader.Mutex);
  if (library->Opens == 0) return nullptr;
  const auto& missing = spec.MissingSymbols;
  if (std::find(missing.begin(), missing.end(), symbol) != missing.end()) return nullptr;
  for (const Symbol& entry : library->Symbols) {
    if (entry.Name == symbol) return entry.Address;
  }
  return nullptr;
}

int lumra_sim_dlclose(void* handle) {
  Loader& loader = TheLoader();
  Library* library = LibraryFor(loader, handle);
  std::lock_guard lock(loader.Mutex);
  if (library == nullptr || library->Opens == 0) {
    NoteMisuse();
    return -1;
  }
  --library->Opens;
  return 0;
}

}  // extern "C"
