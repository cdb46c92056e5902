// Every fault the simulated monitors can inject, against get, set and capabilities, in text and
// JSON: the report's category and message, exit status 1 with nothing on standard output, the
// number of exchanges the monitor saw (attempts, resends), and a monitor whose value no failed
// or garbled set has changed. The scenario has one monitor per fault, each fault on every
// exchange, and a fault-free control monitor.
#include <gtest/gtest.h>

#include <optional>

#include "e2e/e2e_fixture.hpp"
#include "e2e/sim_state.hpp"
#include "support/format.hpp"

namespace lumra::testing {
namespace {

constexpr const char* kScenario = "fault_matrix.json";
constexpr std::uint16_t kInitialBrightness = 40;
constexpr std::uint16_t kWrittenBrightness = 77;
const std::string kMatrixCapabilities = "(prot(monitor)vcp(10))";

enum class Request { Get, Set, Capabilities };

// How a fault shows: an IOKit status on the write, or a reply the frame checks refuse.
struct FaultRow {
  std::string monitor;
  int position = 0;  // the monitor's place in the scenario: product 0x5000+n, serial n
  bool control = false;
  // Status faults.
  std::string status;    // "0xE00002D5"; empty for frame faults
  std::string sentinel;  // the message the status is classified as, with its ": "
  std::string category;
  bool retried = false;
  bool resentWithSimpleReply = false;
  // Frame faults: the decoding error for get and capabilities; none when the fault never
  // applies to that request.
  std::optional<std::string> getError;
  std::optional<std::string> capabilitiesError;
  bool prefixOnly = false;  // the message goes on with the reply's bytes
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.monitor; }

FaultRow Named(std::string monitor, int position) {
  FaultRow row;
  row.monitor = std::move(monitor);
  row.position = position;
  return row;
}
FaultRow Control(int position) {
  FaultRow row = Named("none", position);
  row.control = true;
  return row;
}
FaultRow Status(std::string monitor, int position, std::string status, std::string sentinel,
                std::string category, bool retried, bool resent = false) {
  FaultRow row = Named(std::move(monitor), position);
  row.status = std::move(status);
  row.sentinel = std::move(sentinel);
  row.category = std::move(category);
  row.retried = retried;
  row.resentWithSimpleReply = resent;
  return row;
}
FaultRow Frame(std::string monitor, int position, std::optional<std::string> getError,
               std::optional<std::string> capabilitiesError, bool prefixOnly = false) {
  FaultRow row = Named(std::move(monitor), position);
  row.category = "protocol";
  row.retried = true;
  row.getError = std::move(getError);
  row.capabilitiesError = std::move(capabilitiesError);
  row.prefixOnly = prefixOnly;
  return row;
}

const std::vector<FaultRow>& Rows() {
  static const std::vector<FaultRow> rows = {
      Control(1),
      Status("busy", 2, "0xE00002D5", "monitor transport is busy: ", "busy", true),
      Status("no-device", 3, "0xE00002C0", "monitor not found: ", "not-found-or-hotplug", false),
      Status("unsupported", 4, "0xE00002C7", "operation is not supported: ", "unsupported", false),
      // The framebuffer path resends a request that expects a reply once with the simple
      // reply transaction, and the fault refuses that too.
      Status("unsupported-mode", 5, "0xE00002E6", "operation is not supported: ", "unsupported",
             false, true),
      Status("not-privileged", 6, "0xE00002C1", "permission denied: ", "permission", false),
      Status("not-permitted", 7, "0xE00002E2", "permission denied: ", "permission", false),
      Status("bad-argument", 8, "0xE00002C2", "", "transport", true),
      Frame("checksum", 9, "DDC/CI checksum mismatch", "DDC/CI checksum mismatch"),
      Frame("null-reply", 10, "DDC/CI null response", "DDC/CI null response"),
      Frame("malformed-source", 11, "DDC/CI reply has malformed source: 0x6F in 6F 88 02 00 10 ",
            "DDC/CI reply has malformed source: 0x6F in 6F 99 E3 00 00 28 ", true),
      Frame("protocol-flag", 12, "DDC/CI reply has invalid protocol flag: 0x08",
            "DDC/CI reply has invalid protocol flag: 0x19"),
      Frame("short-reply", 13, "DDC/CI reply has invalid length: got 10 bytes, want 11",
            "DDC/CI reply has invalid length: got 27 bytes, want 28"),
      Frame("wrong-code", 14, "DDC/CI reply VCP code mismatch: got 0x11, want 0x10", std::nullopt),
      Frame("unexpected-result", 15, "DDC/CI reply has unexpected result code: 0x02", std::nullopt),
      Frame("offset-mismatch", 16, std::nullopt,
            "DDC/CI capabilities offset mismatch: got 1, want 0"),
      // The port loses every write: nothing is asked, so every read finds nothing to answer.
      Frame("dropped-write", 17, "DDC/CI null response", "DDC/CI null response"),
  };
  return rows;
}

std::string MonitorID(const FaultRow& row) {
  return support::Format("darwin:3E56:%04X:%08X", 0x5000 + row.position, row.position);
}

// What one command on one faulty monitor must give.
struct Expectation {
  bool fails = false;
  std::string category;
  std::string message;  // after "operation failed: "
  bool prefixOnly = false;
  std::uint64_t writes = 0;  // write transactions the monitor saw
  std::uint64_t faults = 0;  // faults it injected
};

std::string CommandByte(Request command) {
  switch (command) {
    case Request::Get:
      return "0x01";
    case Request::Set:
      return "0x03";
    case Request::Capabilities:
      return "0xF3";
  }
  return "";
}

// A successful exchange count: one for get and set, and for the short capabilities string one
// fragment plus the empty one that ends it.
std::uint64_t CleanWrites(Request command) { return command == Request::Capabilities ? 2 : 1; }

Expectation Expect(const FaultRow& row, Request command) {
  Expectation e;
  if (row.control) {
    e.writes = CleanWrites(command);
    return e;
  }
  if (!row.status.empty()) {
    const std::uint64_t attempts = row.retried ? 3 : 1;
    const std::uint64_t perAttempt = row.resentWithSimpleReply && command != Request::Set ? 2 : 1;
    e.fails = true;
    e.category = row.category;
    e.message = std::string(row.retried ? "DDC/CI failed after 3 attempts: " : "") + row.sentinel +
                "IOKit DDC/CI transaction failed: " + row.status +
                " (stage=IOFramebuffer, write_cycle=0, chip=0x37, command=" + CommandByte(command) +
                ")";
    e.writes = e.faults = attempts * perAttempt;
    return e;
  }
  // A garbled reply cannot fail a set, which reads none: the monitor drops the frame.
  if (command == Request::Set) {
    e.writes = e.faults = 1;
    return e;
  }
  const auto& error = command == Request::Get ? row.getError : row.capabilitiesError;
  if (!error) {
    e.writes = CleanWrites(command);
    return e;
  }
  e.fails = true;
  e.category = row.category;
  e.message = "DDC/CI failed after 3 attempts: " + *error;
  e.prefixOnly = row.prefixOnly;
  e.writes = e.faults = 3;
  return e;
}

std::vector<std::string> Words(const FaultRow& row, Request command, bool json) {
  std::vector<std::string> words;
  if (json) words.push_back("--json");
  switch (command) {
    case Request::Get:
      words.insert(words.end(), {"get", MonitorID(row), "brightness"});
      break;
    case Request::Set:
      words.insert(words.end(),
                   {"set", MonitorID(row), "brightness", std::to_string(kWrittenBrightness)});
      break;
    case Request::Capabilities:
      words.insert(words.end(), {"capabilities", MonitorID(row)});
      break;
  }
  return words;
}

void ExpectReport(const ProcessResult& result, const Expectation& e, bool json) {
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  const std::string message = "operation failed: " + e.message;
  if (json) {
    const std::string head = "{\"category\":\"" + e.category + "\",\"error\":\"" + message;
    const std::string tail = "\",\"kind\":\"runtime\"}\n";
    if (e.prefixOnly) {
      EXPECT_TRUE(result.err.starts_with(head) && result.err.ends_with(tail)) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    } else {
      EXPECT_EQ(result.err, head + tail);
    }
  } else if (e.prefixOnly) {
    EXPECT_TRUE(result.err.starts_with(message)) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  } else {
    EXPECT_EQ(result.err, message + "\n");
  }
}

void ExpectResult(const ProcessResult& result, const FaultRow& row, Request command, bool json) {
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  const std::string id = MonitorID(row);
  switch (command) {
    case Request::Get:
      EXPECT_EQ(result.out,
                json ? "{\"code\":16,\"current\":40,\"feature\":\"brightness\",\"maximum\":100,"
                       "\"maximum_meaningful\":true,\"momentary\":false,\"monitor\":\"" +
                           id + "\",\"raw\":[0,100,0,40]}\n"
                     : id + " (brightness / 0x10): 40 of 100\n");
      break;
    case Request::Set:
      EXPECT_EQ(result.out,
                json ? "{\"code\":16,\"feature\":\"brightness\",\"monitor\":\"" + id +
                           "\",\"transport_succeeded\":true,\"value\":77,\"verified\":false}\n"
                     : id + " (brightness / 0x10) command sent with value 77; the monitor value "
                            "was not read back\n");
      break;
    case Request::Capabilities:
      if (json) {
        EXPECT_TRUE(
            result.out.starts_with("{\"capabilities\":{\"raw\":\"" + kMatrixCapabilities + "\"") &&
            result.out.ends_with("\"monitor\":\"" + id + "\",\"parsed\":true}\n"))
            << result.out;
      } else {
        EXPECT_EQ(result.out, kMatrixCapabilities + "\n");
      }
      break;
  }
}

using MatrixCase = std::tuple<FaultRow, Request, bool>;

class FaultMatrix : public LumraBinary, public ::testing::WithParamInterface<MatrixCase> {};

TEST_P(FaultMatrix, ReportsAndCountsExactly) {
  const auto& [row, command, json] = GetParam();
  const Expectation expected = Expect(row, command);
  const ProcessResult result = run(Words(row, command, json), kScenario);
  if (expected.fails) {
    ExpectReport(result, expected, json);
  } else {
    ExpectResult(result, row, command, json);
  }

  const SimulatedState state(home(), scenario(kScenario));
  const sim::MonitorCounters counters = state.Counters(row.monitor);
  EXPECT_EQ(counters.Writes, expected.writes) << "write transactions";
  EXPECT_EQ(counters.Faults, expected.faults) << "faults injected";
  if (command == Request::Set) {
    EXPECT_EQ(state.Value(row.monitor, 0x10),
              row.control ? kWrittenBrightness : kInitialBrightness);
  }
}

std::string CaseName(const ::testing::TestParamInfo<MatrixCase>& info) {
  const auto& [row, command, json] = info.param;
  std::string name = row.monitor;
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  const char* commands[] = {"get", "set", "capabilities"};
  return name + "_" + commands[static_cast<int>(command)] + (json ? "_json" : "_text");
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(Rows()),
                                            ::testing::Values(Request::Get, Request::Set,
                                                              Request::Capabilities),
                                            ::testing::Bool()),
                         CaseName);

}  // namespace
}  // namespace lumra::testing
