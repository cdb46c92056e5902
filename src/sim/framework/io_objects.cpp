#include "sim/framework/io_objects.hpp"

#include <map>
#include <mutex>

namespace lumra::sim {
namespace {

struct Table {
  std::mutex mutex;
  std::map<io_object_t, IoObject> objects;
  io_object_t nextHandle = 0x1003;
  std::map<std::uintptr_t, I2CConnection> connections;
  // Connection references are opaque tokens, never dereferenced, never reused.
  std::uintptr_t nextConnection = 0x51C0000;
  std::size_t misuses = 0;
};

Table& Objects() {
  static Table table;
  return table;
}

std::uintptr_t Token(IOI2CConnectRef ref) { return reinterpret_cast<std::uintptr_t>(ref); }

}  // namespace

io_object_t AddIoObject(IoObject object) {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  const io_object_t handle = table.nextHandle;
  table.nextHandle += 4;  // like port names: spaced, never zero
  table.objects.emplace(handle, std::move(object));
  return handle;
}

std::optional<IoObject> FindIoObject(io_object_t handle) {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  auto found = table.objects.find(handle);
  if (found == table.objects.end()) {
    if (handle != IO_OBJECT_NULL) ++table.misuses;
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
  std::lock_guard lock(table.mutex);
  auto found = table.objects.find(handle);
  if (found == table.objects.end()) {
    ++table.misuses;
    return std::nullopt;
  }
  auto* iterator = std::get_if<IteratorObject>(&found->second);
  if (iterator == nullptr || iterator->next >= iterator->entries.size()) return std::nullopt;
  return EntryObject{iterator->world, iterator->entries[iterator->next++]};
}

bool ReleaseIoObject(io_object_t handle) {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  if (table.objects.erase(handle) == 1) return true;
  ++table.misuses;
  return false;
}

IOI2CConnectRef OpenConnection(I2CConnection connection) {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  const std::uintptr_t token = table.nextConnection;
  table.nextConnection += 0x10;
  table.connections.emplace(token, std::move(connection));
  return reinterpret_cast<IOI2CConnectRef>(token);
}

std::optional<I2CConnection> FindConnection(IOI2CConnectRef ref) {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  auto found = table.connections.find(Token(ref));
  if (found == table.connections.end()) {
    ++table.misuses;
    return std::nullopt;
  }
  return found->second;
}

bool CloseConnection(IOI2CConnectRef ref) {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  if (table.connections.erase(Token(ref)) == 1) return true;
  ++table.misuses;
  return false;
}

std::size_t LiveIoObjectCount() {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  return table.objects.size();
}

std::size_t LiveConnectionCount() {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  return table.connections.size();
}

std::size_t MisuseCount() {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  return table.misuses;
}

void NoteMisuse() {
  Table& table = Objects();
  std::lock_guard lock(table.mutex);
  ++table.misuses;
}

}  // namespace lumra::sim
