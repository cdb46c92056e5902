#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ddcci/frame.hpp"
#include "platform/native_bridge.hpp"
#include "support/context.hpp"

namespace lumra::platform::testing {

// One exchange call as the transport made it.
struct ExchangeCall {
  std::uint64_t endpointID = 0;
  std::uint32_t chipAddress = 0;
  ddcci::Bytes request;
  bool replyBufferGiven = false;
  std::uint32_t replyCapacity = 0;
  std::uint64_t delayNs = 0;
  std::uint32_t flags = 0;        // the diagnostics record's, as the transport set them
  support::Clock::time_point at;  // when the call was made
};

// What one scripted exchange answers; `reportedLength` < 0 reports the stored length.
struct ExchangeOutcome {
  std::int32_t status = 0;
  ddcci::Bytes reply;
  std::int64_t reportedLength = -1;
  const char* stage = nullptr;
  // The trailing pause a successful exchange reports; like the bridge, it is slept unless the
  // transport deferred it.
  std::uint64_t trailingPauseNs = 0;
};

// The scripted state behind the fake bridge: one process-wide value, since plain function
// pointers cannot capture. Each test resets it.
struct FakeNative {
  std::vector<lumra_external_display> displays;
  std::deque<std::int32_t> displayCounts;       // results of successive calls; then displays.size()
  std::vector<std::int32_t> displayCapacities;  // -1 for a call without a buffer
  std::vector<lumra_display_metadata> metadata;
  std::deque<std::int32_t> metadataCounts;
  std::vector<std::int32_t> metadataCapacities;
  std::deque<ExchangeOutcome> outcomes;  // used in turn when `respond` is empty
  std::function<ExchangeOutcome(const ExchangeCall&)> respond;
  std::vector<ExchangeCall> exchanges;
};

inline FakeNative& fakeNative() {
  static FakeNative state;
  return state;
}

inline void resetFakeNative() { fakeNative() = FakeNative{}; }

template <typename Record>
std::int32_t fakeList(const std::vector<Record>& source, std::deque<std::int32_t>& counts,
                      std::vector<std::int32_t>& capacities, Record* records,
                      std::int32_t capacity) {
  capacities.push_back(records != nullptr ? capacity : -1);
  std::int32_t count = static_cast<std::int32_t>(source.size());
  if (!counts.empty()) {
    count = counts.front();
    counts.pop_front();
  }
  for (std::int32_t i = 0; records != nullptr && i < std::min(capacity, count) &&
                           i < static_cast<std::int32_t>(source.size());
       ++i) {
    records[i] = source[static_cast<std::size_t>(i)];
  }
  return count;
}

inline NativeBridge fakeBridge() {
  NativeBridge bridge;
  bridge.ListExternalDisplays = [](lumra_external_display* records, std::int32_t capacity) {
    FakeNative& f = fakeNative();
    return fakeList(f.displays, f.displayCounts, f.displayCapacities, records, capacity);
  };
  bridge.ListDisplayMetadata = [](lumra_display_metadata* records, std::int32_t capacity) {
    FakeNative& f = fakeNative();
    return fakeList(f.metadata, f.metadataCounts, f.metadataCapacities, records, capacity);
  };
  bridge.ExchangeDDCCI = [](std::uint64_t endpointID, std::uint32_t, std::uint32_t chipAddress,
                            const std::uint8_t* request, std::uint32_t requestLength,
                            std::uint8_t* reply, std::uint32_t replyCapacity,
                            std::uint32_t* replyLength, std::uint64_t delayNs,
                            lumra_exchange_diagnostics* diagnostics) -> std::int32_t {
    FakeNative& f = fakeNative();
    f.exchanges.push_back({endpointID, chipAddress, ddcci::Bytes(request, request + requestLength),
                           reply != nullptr, replyCapacity, delayNs, diagnostics->flags,
                           support::Clock::now()});
    ExchangeOutcome outcome;
    if (f.respond) {
      outcome = f.respond(f.exchanges.back());
    } else if (!f.outcomes.empty()) {
      outcome = f.outcomes.front();
      f.outcomes.pop_front();
    }
    diagnostics->stage = outcome.stage;
    if (outcome.status != 0) return outcome.status;
    diagnostics->trailing_pause_ns = outcome.trailingPauseNs;
    if ((diagnostics->flags & LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE) == 0) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(outcome.trailingPauseNs));
    }
    // Like the bridge, never store more than the capacity, whatever length is reported.
    const std::size_t stored = std::min<std::size_t>(outcome.reply.size(), replyCapacity);
    if (stored > 0) std::memcpy(reply, outcome.reply.data(), stored);
    *replyLength = static_cast<std::uint32_t>(
        outcome.reportedLength >= 0 ? static_cast<std::size_t>(outcome.reportedLength) : stored);
    return 0;
  };
  return bridge;
}

// A reply frame as a monitor sends it: source 0x6E, length, payload, checksum.
inline ddcci::Bytes replyFrame(ddcci::Bytes payload) {
  ddcci::Bytes frame;
  // Reserved up front: GCC 12 at -O2 misreads an insert that grows a two-byte vector.
  frame.reserve(payload.size() + 3);
  frame.push_back(0x6E);
  frame.push_back(static_cast<std::uint8_t>(0x80 | payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(ddcci::Checksum(ddcci::kHostVirtualAddress, frame));
  return frame;
}

inline ddcci::Bytes vcpReply(std::uint8_t code, std::uint8_t current, std::uint8_t result = 0) {
  return replyFrame({0x02, result, code, 0x00, 0x00, 100, 0x00, current});
}

inline ddcci::Bytes capabilitiesReply(std::uint16_t offset, const std::string& fragment) {
  ddcci::Bytes payload{0xE3, static_cast<std::uint8_t>(offset >> 8),
                       static_cast<std::uint8_t>(offset)};
  payload.insert(payload.end(), fragment.begin(), fragment.end());
  return replyFrame(payload);
}

inline lumra_external_display externalDisplay(std::uint32_t displayID, std::uint64_t endpointID,
                                              std::uint32_t product, std::uint32_t serial) {
  lumra_external_display record{};
  record.display_id = displayID;
  record.endpoint_id = endpointID;
  record.vendor_id = 0x10AC;
  record.product_id = product;
  record.serial_number = serial;
  record.backend = 2;
  record.chip_address = 0x37;
  return record;
}

template <std::size_t N>
void setText(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

}  // namespace lumra::platform::testing
