#include "sim/world/monitor_state.hpp"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "sim/world/json_reader.hpp"
#include "sim/world/state_file.hpp"
#include "support/environment.hpp"
#include "support/hex.hpp"
#include "support/json.hpp"
#include "support/json_reader.hpp"
#include "support/no_destructor.hpp"
#include "support/posix/directories.hpp"

namespace lumra::sim {
namespace {

using support::JSONKind;
using support::JSONValue;
using support::JSONWriter;

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

Bytes BytesFromHex(const JSONValue* value) {
  return value != nullptr && value->Kind == JSONKind::String ? BytesFromHex(value->Text.c_str())
                                                             : Bytes();
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

// A member's unsigned integer; 0 when it is missing or anything else.
std::uint64_t Counter(const JSONValue& object, std::string_view name) {
  const JSONValue* found = object.Find(name);
  return found != nullptr ? found->AsUint64().value_or(0) : 0;
}

// The unsigned numbers of an array member, up to the last kBusTimesKept; anything else is dropped.
std::vector<std::uint64_t> Times(const JSONValue& record, std::string_view name) {
  std::vector<std::uint64_t> times;
  const JSONValue* found = record.Find(name);
  if (found == nullptr) return times;
  for (const JSONValue& time : found->Elements) {
    if (auto value = time.AsUint64()) times.push_back(*value);
  }
  if (times.size() > kBusTimesKept) times.erase(times.begin(), times.end() - kBusTimesKept);
  return times;
}

void WriteTimes(JSONWriter& writer, const std::vector<std::uint64_t>& times) {
  writer.BeginArray();
  for (const std::uint64_t time : times) writer.Uint(time);
  writer.EndArray();
}

// One string a transaction, "W 37 00000051: 84 03 10 00 28 80": a list of strings reads back
// far faster than a list of objects, and every exchange reads the whole state.
void WriteTransactions(JSONWriter& writer, const std::vector<BusTransaction>& transactions) {
  writer.BeginArray();
  for (const BusTransaction& t : transactions) {
    char head[32];
    std::snprintf(head, sizeof head, "%c %02X %08X: ", t.Write ? 'W' : 'R', t.Chip, t.DataAddress);
    writer.String(head + HexBytes(t.Bytes));
  }
  writer.EndArray();
}

std::vector<BusTransaction> ReadTransactions(const JSONValue& record) {
  std::vector<BusTransaction> transactions;
  const JSONValue* list = record.Find("transactions");
  if (list == nullptr) return transactions;
  for (const JSONValue& item : list->Elements) {
    if (item.Kind != JSONKind::String) continue;
    char kind = 0;
    BusTransaction t;
    int consumed = 0;
    if (std::sscanf(item.Text.c_str(), "%c %x %x: %n", &kind, &t.Chip, &t.DataAddress, &consumed) <
        3) {
      continue;
    }
    t.Write = kind == 'W';
    t.Bytes = BytesFromHex(item.Text.c_str() + consumed);
    transactions.push_back(std::move(t));
  }
  return transactions;
}

void WriteValues(JSONWriter& writer, const std::map<std::uint8_t, std::uint16_t>& values) {
  writer.BeginObject();
  for (const auto& [code, value] : values) writer.Field(CodeKey(code), value);
  writer.EndObject();
}

std::map<std::uint8_t, std::uint16_t> ReadValues(const JSONValue& record, std::string_view name) {
  std::map<std::uint8_t, std::uint16_t> values;
  const JSONValue* found = record.Find(name);
  if (found == nullptr) return values;
  for (const support::JSONMember& member : found->Members) {
    const auto code = ReadVcpCode(member.Key);
    const auto value = member.Value.AsUint64();
    if (code && value && *value <= 0xFFFF) values[*code] = static_cast<std::uint16_t>(*value);
  }
  return values;
}

void WriteRecord(JSONWriter& writer, const MonitorRecord& record) {
  const MonitorCounters& c = record.Counters;
  writer.BeginObject();
  writer.Key("values");
  WriteValues(writer, record.Values);
  writer.Key("saved_values");
  WriteValues(writer, record.SavedValues);
  writer.Field("last_request", HexBytes(record.LastRequest));
  writer.Field("pending_reply", HexBytes(record.PendingReply));
  writer.Key("faults_used");
  writer.BeginObject();
  for (const auto& [index, used] : record.FaultsUsed) writer.Field(std::to_string(index), used);
  writer.EndObject();
  writer.Key("last_read");
  writer.BeginObject();
  writer.Field("chip", c.LastReadChip);
  writer.Field("address", c.LastReadAddress);
  writer.Field("length", c.LastReadLength);
  writer.Field("type", c.LastReadType);
  writer.EndObject();
  writer.Key("write_times_ns");
  WriteTimes(writer, c.WriteTimes);
  writer.Key("transactions");
  WriteTransactions(writer, c.Transactions);
  writer.Key("read_times_ns");
  WriteTimes(writer, c.ReadTimes);
  writer.Key("counters");
  writer.BeginObject();
  writer.Field("writes", c.Writes);
  writer.Field("reads", c.Reads);
  writer.Field("gets", c.Gets);
  writer.Field("sets", c.Sets);
  writer.Field("saves", c.Saves);
  writer.Field("capabilities", c.Capabilities);
  writer.Field("faults", c.Faults);
  writer.Field("ignored", c.Ignored);
  writer.EndObject();
  writer.EndObject();
}

// A malformed member reads as fresh.
MonitorRecord ReadRecord(const JSONValue& json) {
  MonitorRecord record;
  if (json.Kind != JSONKind::Object) return record;
  record.Values = ReadValues(json, "values");
  record.SavedValues = ReadValues(json, "saved_values");
  record.LastRequest = BytesFromHex(json.Find("last_request"));
  record.PendingReply = BytesFromHex(json.Find("pending_reply"));
  if (const JSONValue* faults = json.Find("faults_used")) {
    for (const support::JSONMember& member : faults->Members) {
      const auto index = IndexFrom(member.Key);
      const auto used = member.Value.AsUint64();
      if (index && used) record.FaultsUsed[*index] = *used;
    }
  }
  MonitorCounters& c = record.Counters;
  if (const JSONValue* counters = json.Find("counters")) {
    c.Writes = Counter(*counters, "writes");
    c.Reads = Counter(*counters, "reads");
    c.Gets = Counter(*counters, "gets");
    c.Sets = Counter(*counters, "sets");
    c.Saves = Counter(*counters, "saves");
    c.Capabilities = Counter(*counters, "capabilities");
    c.Faults = Counter(*counters, "faults");
    c.Ignored = Counter(*counters, "ignored");
  }
  if (const JSONValue* read = json.Find("last_read")) {
    c.LastReadChip = static_cast<std::uint32_t>(Counter(*read, "chip"));
    c.LastReadAddress = static_cast<std::uint32_t>(Counter(*read, "address"));
    c.LastReadLength = static_cast<std::uint32_t>(Counter(*read, "length"));
    c.LastReadType = static_cast<std::uint32_t>(Counter(*read, "type"));
  }
  c.WriteTimes = Times(json, "write_times_ns");
  c.ReadTimes = Times(json, "read_times_ns");
  c.Transactions = ReadTransactions(json);
  return record;
}

// The records of a state file, in the file's order.
using StateRecords = std::vector<std::pair<std::string, MonitorRecord>>;

// A file that is not a state counts as empty.
StateRecords ParseState(std::string_view text) {
  StateRecords records;
  auto state = support::ReadJSON(text);
  if (state.Err) return records;
  for (support::JSONMember& top : state.Value.Members) {
    if (top.Key != "monitors") continue;
    for (support::JSONMember& member : top.Value.Members) {
      records.emplace_back(std::move(member.Key), ReadRecord(member.Value));
    }
  }
  return records;
}

std::string StateText(const StateRecords& records) {
  JSONWriter writer;
  writer.BeginObject();
  writer.Field("format", kFormat);
  writer.Key("monitors");
  writer.BeginObject();
  for (const auto& [monitor, record] : records) {
    writer.Key(monitor);
    WriteRecord(writer, record);
  }
  writer.EndObject();
  writer.EndObject();
  return writer.Text() + "\n";
}

// The monitor's record, a fresh one added when the state has none.
MonitorRecord& RecordOf(StateRecords& records, const std::string& monitor) {
  for (auto& [name, record] : records) {
    if (name == monitor) return record;
  }
  return records.emplace_back(monitor, MonitorRecord()).second;
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

struct StatePaths {
  std::string Lock;
  std::string File;
};

std::optional<StatePaths> PathsFor(const std::string& stateKey) {
  const std::string directory = StateDirectory();
  if (directory.empty() || support::MakeDirectories(directory, 0777)) return std::nullopt;
  return StatePaths{directory + "/" + stateKey + ".lock", directory + "/" + stateKey + ".json"};
}

// The state this process wrote last: while the file still holds exactly that text, the next
// transaction takes it instead of reading the text again (a Get VCP is two transactions).
struct LastWritten {
  std::string File;
  std::string Text;
  StateRecords Records;
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
  StateRecords records =
      last.File == paths->File && last.Text == *text ? std::move(last.Records) : ParseState(*text);
  last = {};
  change(RecordOf(records, monitor));
  std::string written = StateText(records);
  if (!ReplaceFile(paths->File, written)) return false;
  last = {paths->File, std::move(written), std::move(records)};
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
  StateRecords records = ParseState(*text);
  return std::move(RecordOf(records, monitor));
}

}  // namespace

std::string StateDirectory() {
  const std::string home = support::Getenv("HOME");
  if (home.empty()) return "";
  return home + "/Library/Caches/lumra/sim";
}

bool UpdateMonitorRecord(const std::string& stateKey, const std::string& monitor,
                         const std::function<void(MonitorRecord&)>& change) {
  try {
    return UpdateLocked(stateKey, monitor, change);
  } catch (const std::exception&) {
    return false;  // an allocation that failed fails the transaction
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
