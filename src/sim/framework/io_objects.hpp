// Live IOKit objects handed out by the simulator: registry entry references, iterators, I2C
// interfaces (io_object_t handles) and open I2C connections. Every handle keeps the world it
// came from alive, so a test that switches scenarios never leaves a handle dangling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "sim/framework/macos_api.h"
#include "sim/world/world.hpp"

namespace lumra::sim {

struct EntryObject {
  WorldPtr World;
  std::size_t Entry = 0;
};

struct IteratorObject {
  WorldPtr World;
  std::vector<std::size_t> Entries;
  std::size_t Next = 0;
};

struct I2CInterfaceObject {
  WorldPtr World;
  std::size_t Framebuffer = 0;  // index into Scenario::framebuffers
  std::uint32_t Bus = 0;
};

using IoObject = std::variant<EntryObject, IteratorObject, I2CInterfaceObject>;

// A new handle with one reference; handles are never reused within a process.
io_object_t AddIoObject(IoObject object);
// A copy of the object behind a live handle.
std::optional<IoObject> FindIoObject(io_object_t handle);
std::optional<EntryObject> FindEntry(io_object_t handle);
// The next entry of an iterator, advancing it; nullopt at the end or for a bad handle.
std::optional<EntryObject> AdvanceIterator(io_object_t handle);
// False when the handle is not live (a double release, or never handed out).
bool ReleaseIoObject(io_object_t handle);

// An open I2C connection (IOI2CConnectRef).
struct I2CConnection {
  WorldPtr World;
  std::size_t Framebuffer = 0;
  std::uint32_t Bus = 0;
};
IOI2CConnectRef OpenConnection(I2CConnection connection);
std::optional<I2CConnection> FindConnection(IOI2CConnectRef ref);
bool CloseConnection(IOI2CConnectRef ref);

std::size_t LiveIoObjectCount();
std::size_t LiveConnectionCount();
// Releases or uses of handles that were not live.
std::size_t MisuseCount();
void NoteMisuse();

}  // namespace lumra::sim
