// Shared helpers of the bridge's tests against the stand-in platform: a fresh HOME and scenario
// per test, call wrappers that check every platform object was released, and byte helpers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/native/lumra_native.h"
#include "sim/framework/macos_api.h"
#include "sim/simulator.hpp"

namespace lumra::native::testing {

using Bytes = std::vector<uint8_t>;

// "51 82 01 10 AC" → {0x51, 0x82, 0x01, 0x10, 0xAC}.
inline Bytes Hex(const std::string& text) {
  Bytes out;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) out.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
  return out;
}

inline std::string Spaced(const uint8_t* bytes, std::size_t count) {
  std::string text;
  char pair[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += (i == 0 ? "" : " ") + std::string(pair);
  }
  return text;
}

// Every bridge call must leave the platform as it found it, on success and on failure.
inline void ExpectNothingLeftAlive(const std::string& call) {
  EXPECT_EQ(sim::LiveObjectCount(), 0u) << call << ": " << sim::DescribeLiveObjects();
  EXPECT_EQ(sim::MisuseCount(), 0u) << call;
}

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::ResetScenario(); }
  void TearDown() override { sim::ResetScenario(); }

  static void Use(const std::string& json) {
    const auto err = sim::UseScenarioText(json, "bridge-test.json");
    ASSERT_FALSE(err) << err.Message();
  }

  static sim::MonitorCounters Counters(const char* monitor) {
    auto counters = sim::ReadMonitorCounters(monitor);
    EXPECT_FALSE(counters.Err) << counters.Err.Message();
    return counters.Value;
  }

  // The end of a death test's child, which runs no destructor: its problems on standard error,
  // its own temporary home removed, and status 0 only when there are no problems.
  [[noreturn]] void ExitWithProblems(const std::string& problems) const {
    std::fputs(problems.c_str(), stderr);
    std::fflush(stderr);
    std::error_code ignored;
    std::filesystem::remove_all(home_.Path(), ignored);
    std::_Exit(problems.empty() ? 0 : 1);
  }

  sim::TemporaryHome home_;
};

// Both list functions through one shape: records start as 0xAB bytes so that what the bridge
// wrote, and what it left alone, can both be seen.
template <typename Record>
struct Listing {
  int32_t result = 0;
  std::vector<Record> records;
};

template <typename Record>
Listing<Record> List(int32_t (*list)(Record*, int32_t), int32_t capacity, bool withBuffer = true,
                     std::size_t bufferSize = 8) {
  Listing<Record> listing;
  listing.records.resize(bufferSize);
  std::memset(static_cast<void*>(listing.records.data()), 0xAB, bufferSize * sizeof(Record));
  listing.result = list(withBuffer ? listing.records.data() : nullptr, capacity);
  ExpectNothingLeftAlive("list");
  return listing;
}

inline Listing<lumra_external_display> ListExternal(int32_t capacity = 8) {
  return List(lumra_list_external_displays, capacity);
}

inline Listing<lumra_display_metadata> ListMetadata(int32_t capacity = 8) {
  return List(lumra_list_display_metadata, capacity);
}

// True when the record still holds the fill pattern of List, i.e. the bridge never wrote it.
template <typename Record>
bool Untouched(const Record& record) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (std::size_t i = 0; i < sizeof record; ++i) {
    if (bytes[i] != 0xAB) return false;
  }
  return true;
}

// A text field holds its text, then only NULs to the end of the field.
template <std::size_t N>
::testing::AssertionResult FieldHolds(const char (&field)[N], const std::string& text) {
  if (text.size() >= N) return ::testing::AssertionFailure() << "expected text does not fit";
  if (std::string(field, strnlen(field, N)) != text) {
    return ::testing::AssertionFailure()
           << "field holds \"" << std::string(field, strnlen(field, N)) << "\", expected \"" << text
           << "\"";
  }
  for (std::size_t i = text.size(); i < N; ++i) {
    if (field[i] != '\0') return ::testing::AssertionFailure() << "byte " << i << " is not NUL";
  }
  return ::testing::AssertionSuccess();
}

constexpr uint32_t kReplyLengthUnset = 0xDEADBEEF;
constexpr uint8_t kReplyFill = 0xEE;

struct ExchangeOutcome {
  int32_t status = 0;
  std::string stage;
  uint32_t write_cycle = 0;
  uint32_t reply_length = kReplyLengthUnset;
  Bytes reply;  // the whole reply buffer, filled with kReplyFill before the call
  double milliseconds = 0;
  uint64_t trailing_pause_ns = 0;

  // The delivered bytes, when reply_length was set.
  std::string Delivered() const {
    if (reply_length > reply.size()) return "(reply_length " + std::to_string(reply_length) + ")";
    return Spaced(reply.data(), reply_length);
  }
};

struct ExchangeCall {
  uint64_t endpoint = 0;
  uint32_t backend = LUMRA_BACKEND_IOFRAMEBUFFER;
  uint32_t chip = 0x37;
  Bytes request;
  uint32_t capacity = 0;
  uint64_t delay_ns = 0;
  uint32_t flags = 0;
};

inline ExchangeOutcome Exchange(const ExchangeCall& call) {
  ExchangeOutcome outcome;
  outcome.reply.assign(300, kReplyFill);
  lumra_exchange_diagnostics diagnostics{};
  diagnostics.stage = "unset";
  diagnostics.write_cycle = 99;
  diagnostics.flags = call.flags;
  diagnostics.trailing_pause_ns = 99;
  const auto start = std::chrono::steady_clock::now();
  outcome.status =
      lumra_exchange_ddcci(call.endpoint, call.backend, call.chip, call.request.data(),
                           static_cast<uint32_t>(call.request.size()), outcome.reply.data(),
                           call.capacity, &outcome.reply_length, call.delay_ns, &diagnostics);
  outcome.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  outcome.stage = diagnostics.stage != nullptr ? diagnostics.stage : "(null)";
  outcome.write_cycle = diagnostics.write_cycle;
  outcome.trailing_pause_ns = diagnostics.trailing_pause_ns;
  ExpectNothingLeftAlive("exchange");
  return outcome;
}

constexpr uint64_t kMillisecond = 1'000'000;
// Upper bounds on waits stay loose: the machine may be loaded.
constexpr double kSlackMilliseconds = 150;

}  // namespace lumra::native::testing
