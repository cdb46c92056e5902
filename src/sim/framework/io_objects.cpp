#include "sim/framework/io_objects.hpp"

#include <map>
#include <mutex>

#include "support/no_destructor.hpp"

namespace lumra::sim {
namespace {

struct Table {
  std::mutex Mutex;
  std::map<io_object_t, IoObject> Objects;
  io_object_t NextHandle = 0x1003;
  std::map<std::uintptr_t, I2CConnection> Connections;
  // Connection references are opaque tokens, never dereferenced, never reused.
  std::uintptr_t NextConnection = 0x51C0000;
  std::size_t Misuses = 0;
};

Table& Objects() {
  static support::NoDestructor<Table> table;
  return *table;
}

std::uintptr_t Token(IOI2CConnectRef ref) { return reinterpret_cast<std::uintptr_t>(ref); }

}  // namespace

io_object_t AddIoObject(IoObject object) {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  const io_object_t handle = table.NextHandle;
  table.NextHandle += 4;  // like port names: spaced, never zero
  table.Objects.emplace(handle, std::move(object));
  return handle;
}

std::optional<IoObject> FindIoObject(io_object_t handle) {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  auto found = table.Objects.find(handle);
  if (found == table.Objects.end()) {
    if (handle != IO_OBJECT_NULL) ++table.Misuses;
    return std::nullopt;
  }
  return found->second;
}

std::optional<EntryObject> FindEntry(io_object_t handle) {
  auto object = FindIoObject(handle);
  if (!object || !std::holds_alternative<EntryObject>(*object)) return std::nullopt;
  return std::get<EntryObject>(*object);
}

std::optional<EntryObject> AdvanceIterator(io_object_t handle) {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  auto found = table.Objects.find(handle);
  if (found == table.Objects.end()) {
    ++table.Misuses;
    return std::nullopt;
  }
  auto* iterator = std::get_if<IteratorObject>(&found->second);
  if (iterator == nullptr || iterator->Next >= iterator->Entries.size()) return std::nullopt;
  return EntryObject{iterator->World, iterator->Entries[iterator->Next++]};
}

bool ReleaseIoObject(io_object_t handle) {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  if (table.Objects.erase(handle) == 1) return true;
  ++table.Misuses;
  return false;
}

IOI2CConnectRef OpenConnection(I2CConnection connection) {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  const std::uintptr_t token = table.NextConnection;
  table.NextConnection += 0x10;
  table.Connections.emplace(token, std::move(connection));
  return reinterpret_cast<IOI2CConnectRef>(token);
}

std::optional<I2CConnection> FindConnection(IOI2CConnectRef ref) {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  auto found = table.Connections.find(Token(ref));
  if (found == table.Connections.end()) {
    ++table.Misuses;
    return std::nullopt;
  }
  return found->second;
}

bool CloseConnection(IOI2CConnectRef ref) {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  if (table.Connections.erase(Token(ref)) == 1) return true;
  ++table.Misuses;
  return false;
}

std::size_t LiveIoObjectCount() {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  return table.Objects.size();
}

std::size_t LiveConnectionCount() {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  return table.Connections.size();
}

std::size_t MisuseCount() {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  return table.Misuses;
}

void NoteMisuse() {
  Table& table = Objects();
  std::lock_guard lock(table.Mutex);
  ++table.Misuses;
}

}  // namespace lumra::sim
