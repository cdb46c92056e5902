#include "sim/world/monitor_state.hpp"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "sim/world/json_reader.hpp"
#include "sim/world/state_file.hpp"
#include "support/environment.hpp"
#include "support/hex.hpp"
#include "support/no_destructor.hpp"
#include "support/posix/directories.hpp"

namespace lumra::sim {
namespace {

constexpr int kFormat = 1;

// Every exchange reads and writes the whole state, so bytes are turned into text by hand
// rather than through a formatted call per byte.
std::string HexBytes(const Bytes& bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += ' ';
    support::AppendHexByte(text, bytes[i], support::HexCase::Upper);
  }
  return text;
}

// "51 82 01 10 AC" back to bytes; anything malformed ends the sequence.
Bytes BytesFromHex(const char* text) {
  Bytes bytes;
  for (const char* pair = text; pair[0] != '\0'; pair += 3) {
    const int high = support::HexDigitValue(pair[0]);
    const int low = pair[1] == '\0' ? -1 : support::HexDigitValue(pair[1]);
    if (high < 0 || low < 0) break;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    if (pair[2] != ' ') break;
  }
  return bytes;
}

Bytes BytesFromHex(const Json& value) {
  return value.is_string() ? BytesFromHex(value.get_ref<const std::string&>().c_str()) : Bytes();
}

std::optional<std::size_t> IndexFrom(const std::string& key) {
  if (key.empty() || key.size() > 9) return std::nullopt;
  std::size_t index = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    index = index * 10 + static_cast<std::size_t>(c - '0');
  }
  return index;
}

std::string CodeKey(std::uint8_t code) {
  char key[8];
  std::snprintf(key, sizeof key, "0x%02X", code);
  return key;
}

std::uint64_t Counter(const Json& counters, const char* name) {
  auto found = counters.find(name);
  return found != counters.end() && found->is_number_unsigned() ? found->get<std::uint64_t>() : 0;
}

// The unsigned numbers of an array member, up to the last kBusTimesKept; anything else is dropped.
std::vector<std::uint64_t> Times(const Json& json, const char* name) {
  std::vector<std::uint64_t> times;
  auto found = json.find(name);
  if (found == json.end() || !found->is_array()) return times;
  for (const Json& time : *found) {
    if (time.is_number_unsigned()) times.push_back(time.get<std::uint64_t>());
  }
  if (times.size() > kBusTimesKept) times.erase(times.begin(), times.end() - kBusTimesKept);
  return times;
}

// Processes share the file; threads of this process also share this mutex, so the file lock
// is never contended within the process.
std::mutex& ProcessMutex() {
  static std::mutex mutex;
  return mutex;
}

using MemoryState = std::map<std::string, std::map<std::string, MonitorRecord>>;
MemoryState& Memory() {
  static support::NoDestructor<MemoryState> state;
  return *state;
}

Json ParseState(const std::string& text) {
  Json state;
  try {
    state = ParseJson(text);
  } catch (const std::exception&) {
    // Not JSON: left null, it counts as empty below.
  }
  if (!state.is_object() || !state["monitors"].is_object()) {
    state = Json{{"format", kFormat}, {"monitors", Json::object()}};
  }
  return state;
}

struct StatePaths {
  std::string Lock;
  std::string File;
};

std::optional<StatePaths> PathsFor(const std::string& stateKey) {
  const std::string directory = StateDirectory();
  if (directory.empty() || support::MakeDirectories(directory, 0777)) return std::nullopt;
  return StatePaths{directory + "/" + stateKey + ".lock", directory + "/" + stateKey + ".json"};
}

}  // namespace

std::string StateDirectory() {
  const std::string home = support::Getenv("HOME");
  if (home.empty()) return "";
  return home + "/Library/Caches/lumra/sim";
}

namespace {

// One string a transaction, "W 37 00000051: 84 03 10 00 28 80": a list of strings reads back
// far faster than a list of objects, and every exchange reads the whole state.
Json TransactionsToJson(const std::vector<BusTransaction>& transactions) {
  Json list = Json::array();
  for (const BusTransaction& t : transactions) {
    char head[32];
    std::snprintf(head, sizeof head, "%c %02X %08X: ", t.Write ? 'W' : 'R', t.Chip, t.DataAddress);
    list.push_back(head + HexBytes(t.Bytes));
  }
  return list;
}

std::vector<BusTransaction> TransactionsFromJson(const Json& json) {
  std::vector<BusTransaction> transactions;
  auto list = json.find("transactions");
  if (list == json.end() || !list->is_array()) return transactions;
  for (const Json& item : *list) {
    if (!item.is_string()) continue;
    const std::string& text = item.get_ref<const std::string&>();
    char kind = 0;
    BusTransaction t;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%c %x %x: %n", &kind, &t.Chip, &t.DataAddress, &consumed) < 3) {
      continue;
    }
    t.Write = kind == 'W';
    t.Bytes = BytesFromHex(text.c_str() + consumed);
    transactions.push_back(std::move(t));
  }
  return transactions;
}

}  // namespace

namespace {

Json ValuesToJson(const std::map<std::uint8_t, std::uint16_t>& values) {
  Json json = Json::object();
  for (const auto& [code, value] : values) json[CodeKey(code)] = value;
  return json;
}

std::map<std::uint8_t, std::uint16_t> ValuesFromJson(const Json& json, const char* name) {
  std::map<std::uint8_t, std::uint16_t> values;
  auto found = json.find(name);
  if (found == json.end() || !found->is_object()) return values;
  for (const auto& [key, value] : found->items()) {
    const auto code = ReadVcpCode(key);
    if (code && value.is_number_unsigned() && value.get<std::uint64_t>() <= 0xFFFF) {
      values[*code] = static_cast<std::uint16_t>(value.get<std::uint64_t>());
    }
  }
  return values;
}

}  // namespace

Json RecordToJson(const MonitorRecord& record) {
  Json faults = Json::object();
  for (const auto& [index, used] : record.FaultsUsed) faults[std::to_string(index)] = used;
  const MonitorCounters& c = record.Counters;
  return Json{{"values", ValuesToJson(record.Values)},
              {"saved_values", ValuesToJson(record.SavedValues)},
              {"last_request", HexBytes(record.LastRequest)},
              {"pending_reply", HexBytes(record.PendingReply)},
              {"faults_used", faults},
              {"last_read",
               {{"chip", c.LastReadChip},
                {"address", c.LastReadAddress},
                {"length", c.LastReadLength},
                {"type", c.LastReadType}}},
              {"write_times_ns", c.WriteTimes},
              {"transactions", TransactionsToJson(c.Transactions)},
              {"read_times_ns", c.ReadTimes},
              {"counters",
               {{"writes", c.Writes},
                {"reads", c.Reads},
                {"gets", c.Gets},
                {"sets", c.Sets},
                {"saves", c.Saves},
                {"capabilities", c.Capabilities},
                {"faults", c.Faults},
                {"ignored", c.Ignored}}}};
}

MonitorRecord RecordFromJson(const Json& json) {
  MonitorRecord record;
  if (!json.is_object()) return record;
  record.Values = ValuesFromJson(json, "values");
  record.SavedValues = ValuesFromJson(json, "saved_values");
  if (auto last = json.find("last_request"); last != json.end())
    record.LastRequest = BytesFromHex(*last);
  if (auto reply = json.find("pending_reply"); reply != json.end()) {
    record.PendingReply = BytesFromHex(*reply);
  }
  if (auto faults = json.find("faults_used"); faults != json.end() && faults->is_object()) {
    for (const auto& [key, used] : faults->items()) {
      const auto index = IndexFrom(key);
      if (index && used.is_number_unsigned()) record.FaultsUsed[*index] = used.get<std::uint64_t>();
    }
  }
  if (auto counters = json.find("counters"); counters != json.end() && counters->is_object()) {
    MonitorCounters& c = record.Counters;
    c.Writes = Counter(*counters, "writes");
    c.Reads = Counter(*counters, "reads");
    c.Gets = Counter(*counters, "gets");
    c.Sets = Counter(*counters, "sets");
    c.Saves = Counter(*counters, "saves");
    c.Capabilities = Counter(*counters, "capabilities");
    c.Faults = Counter(*counters, "faults");
    c.Ignored = Counter(*counters, "ignored");
  }
  if (auto read = json.find("last_read"); read != json.end() && read->is_object()) {
    MonitorCounters& c = record.Counters;
    c.LastReadChip = static_cast<std::uint32_t>(Counter(*read, "chip"));
    c.LastReadAddress = static_cast<std::uint32_t>(Counter(*read, "address"));
    c.LastReadLength = static_cast<std::uint32_t>(Counter(*read, "length"));
    c.LastReadType = static_cast<std::uint32_t>(Counter(*read, "type"));
  }
  record.Counters.WriteTimes = Times(json, "write_times_ns");
  record.Counters.ReadTimes = Times(json, "read_times_ns");
  record.Counters.Transactions = TransactionsFromJson(json);
  return record;
}

namespace {

// The state this process wrote last, parsed: while the file still holds exactly that text, the
// next transaction takes it instead of parsing the text again (a Get VCP is two transactions).
struct LastWritten {
  std::string File;
  std::string Text;
  Json State;
};

LastWritten& LastWrittenState() {
  static support::NoDestructor<LastWritten> last;
  return *last;
}

bool UpdateLocked(const std::string& stateKey, const std::string& monitor,
                  const std::function<void(MonitorRecord&)>& change) {
  std::lock_guard processLock(ProcessMutex());
  if (StateDirectory().empty()) {
    change(Memory()[stateKey][monitor]);
    return true;
  }
  const auto paths = PathsFor(stateKey);
  if (!paths) return false;
  FileLock lock(paths->Lock);
  if (!lock.Held()) return false;
  const auto text = ReadWholeFile(paths->File);
  if (!text) return false;
  LastWritten& last = LastWrittenState();
  Json state =
      last.File == paths->File && last.Text == *text ? std::move(last.State) : ParseState(*text);
  last = {};
  MonitorRecord record = RecordFromJson(state["monitors"][monitor]);
  change(record);
  state["format"] = kFormat;
  state["monitors"][monitor] = RecordToJson(record);
  std::string written = state.dump(2) + "\n";
  if (!ReplaceFile(paths->File, written)) return false;
  last = {paths->File, std::move(written), std::move(state)};
  return true;
}

std::optional<MonitorRecord> ReadLocked(const std::string& stateKey, const std::string& monitor) {
  std::lock_guard processLock(ProcessMutex());
  if (StateDirectory().empty()) return Memory()[stateKey][monitor];
  const auto paths = PathsFor(stateKey);
  if (!paths) return std::nullopt;
  FileLock lock(paths->Lock);
  if (!lock.Held()) return std::nullopt;
  const auto text = ReadWholeFile(paths->File);
  if (!text) return std::nullopt;
  Json state = ParseState(*text);
  return RecordFromJson(state["monitors"][monitor]);
}

}  // namespace

bool UpdateMonitorRecord(const std::string& stateKey, const std::string& monitor,
                         const std::function<void(MonitorRecord&)>& change) {
  try {
    return UpdateLocked(stateKey, monitor, change);
  } catch (const std::exception&) {
    return false;  // the JSON library throws only on states it cannot encode
  }
}

std::optional<MonitorRecord> ReadMonitorRecord(const std::string& stateKey,
                                               const std::string& monitor) {
  try {
    return ReadLocked(stateKey, monitor);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace lumra::sim
