#include "platform/transport.hpp"

#include <algorithm>

#include "ddc/errors.hpp"
#include "ddc/select_monitors.hpp"
#include "ddcci/errors.hpp"
#include "platform/capabilities.hpp"
#include "support/format.hpp"

namespace lumra::platform {

namespace {

// A pause as the bridge takes it; a negative one is none.
std::uint64_t NanosecondCount(support::Duration delay) {
  return static_cast<std::uint64_t>(std::max<support::Duration::rep>(delay.count(), 0));
}

}  // namespace

support::Result<darwinMonitor> darwinTransport::monitorLocked(std::string_view selector) const {
  const std::vector<ddc::Monitor> list = infoLocked();
  auto resolved = ddc::ResolveMonitor(list, selector);
  if (resolved.err) return {{}, resolved.err};
  for (const darwinMonitor& monitor : monitors_) {
    if (monitor.info.ID == resolved.value.ID) return {monitor, {}};
  }
  return {{}, support::Errorf("%w: %s", ddc::ErrMonitorNotFound, selector)};
}

support::Result<darwinTransport::heldMonitor> darwinTransport::holdMonitor(
    const support::Context& ctx, std::string_view selector) {
  support::Result<darwinMonitor> monitor;
  {
    // The cache is all that operations on different monitors share; the endpoint lock, not
    // mu_, keeps two of them off one bus.
    std::lock_guard lock(mu_);
    monitor = monitorLocked(selector);
  }
  if (monitor.err) return {{}, monitor.err};
  auto endpoint = LockEndpoint(ctx, monitor.value.endpointID, options_.lock);
  if (endpoint.err) return {{}, endpoint.err};
  // Returning without `endpoint` releases the lock it took before the context's error is
  // reported.
  if (support::Error ended = ctx.Err()) return {{}, ended};
  return {{std::move(monitor.value), std::move(endpoint.value)}, {}};
}

support::Result<ddcci::Bytes> darwinTransport::Exchange(const darwinMonitor& monitor,
                                                        std::span<const std::uint8_t> request,
                                                        std::uint32_t replyCapacity,
                                                        support::Duration delay,
                                                        EndpointLock* quiet,
                                                        bool otherFraming) const {
  ddcci::Bytes reply(replyCapacity);
  std::uint32_t replyLength = 0;
  lumra_exchange_diagnostics diagnostics{};
  if (otherFraming) diagnostics.flags |= LUMRA_EXCHANGE_OTHER_FRAMING;
  if (quiet != nullptr) {
    quiet->keepQuiet();
    diagnostics.flags |= LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE;
  }
  const int32_t status = options_.bridge.exchangeDDCCI(
      monitor.endpointID, monitor.backend, monitor.chipAddress, request.data(),
      static_cast<std::uint32_t>(request.size()), replyCapacity > 0 ? reply.data() : nullptr,
      replyCapacity, &replyLength, NanosecondCount(delay), &diagnostics);
  if (status != 0) {
    const std::string_view stage = diagnostics.stage != nullptr ? diagnostics.stage : "";
    return {{},
            ExchangeError(static_cast<std::uint32_t>(status), stage, diagnostics.write_cycle,
                          monitor.chipAddress, request)};
  }
  if (quiet != nullptr) quiet->oweQuiet(std::chrono::nanoseconds(diagnostics.trailing_pause_ns));
  // A bridge that reports more than it could have stored is never read past the buffer.
  reply.resize(std::min(replyLength, replyCapacity));
  return {std::move(reply), {}};
}

support::Error darwinTransport::retryOnEndpoint(
    const support::Context& ctx, EndpointLock& endpoint,
    const std::function<support::Error()>& attempt) const {
  return RetryExchange(
      ctx,
      [&]() -> support::Error {
        support::Error err = attempt();
        if (err) endpoint.keepQuiet();
        return err;
      },
      options_.retryPause);
}

template <typename Parsed>
support::Result<Parsed> darwinTransport::ReadReply(const support::Context& ctx,
                                                   const darwinMonitor& monitor,
                                                   EndpointLock& endpoint,
                                                   const ReadRequest& read,
                                                   const ReplyParser<Parsed>& parse,
                                                   const ReplyCheck<Parsed>& check) const {
  Parsed accepted{};
  bool otherFraming = false;
  support::Error err = retryOnEndpoint(ctx, endpoint, [&]() -> support::Error {
    auto reply =
        Exchange(monitor, read.Request, read.ReplyCapacity, read.Delay, &endpoint, otherFraming);
    if (reply.err) return reply.err;
    auto parsed = parse(reply.value);
    otherFraming ^= static_cast<bool>(parsed.err);
    if (parsed.err) return parsed.err;
    if (check) {
      if (support::Error refused = check(parsed.value)) return refused;
    }
    accepted = std::move(parsed.value);
    return {};
  });
  if (err) return {{}, err};
  return {std::move(accepted), {}};
}

support::Result<ddc::VCPValue> darwinTransport::readVCP(const support::Context& ctx,
                                                        heldMonitor& held,
                                                        std::uint8_t code) const {
  auto read = ReadReply<ddcci::VCPValue>(
      ctx, held.monitor, held.endpoint,
      {ddcci::BuildGetVCP(code), kGetVCPReplyCapacity, kGetVCPDelay},
      [code](std::span<const std::uint8_t> reply) { return ddcci::ParseVCPReply(reply, code); });
  if (read.err) return {{}, read.err};
  ddc::VCPValue value;
  value.Code = code;
  value.Current = read.value.Current;
  value.Maximum = read.value.Maximum;
  value.Momentary = read.value.Momentary;
  value.Raw = read.value.Raw;
  return {value, {}};
}

support::Error darwinTransport::writeVCP(const support::Context& ctx, heldMonitor& held,
                                         std::uint8_t code, std::uint16_t value) const {
  const ddcci::Bytes request = ddcci::BuildSetVCP(code, value);
  return retryOnEndpoint(ctx, held.endpoint, [&]() -> support::Error {
    return Exchange(held.monitor, request, 0, kSetVCPDelay, &held.endpoint).err;
  });
}

support::Result<ddc::VCPValue> darwinTransport::GetVCP(const support::Context& ctx,
                                                       std::string_view monitorID,
                                                       std::uint8_t code) {
  auto held = holdMonitor(ctx, monitorID);
  if (held.err) return {{}, held.err};
  return readVCP(ctx, held.value, code);
}

support::Error darwinTransport::SetVCP(const support::Context& ctx, std::string_view monitorID,
                                       std::uint8_t code, std::uint16_t value) {
  if (support::Error ended = ctx.Err()) return ended;
  auto held = holdMonitor(ctx, monitorID);
  if (held.err) return held.err;
  return writeVCP(ctx, held.value, code, value);
}

support::Result<ddc::VCPAdjustment> darwinTransport::AdjustVCP(const support::Context& ctx,
                                                               std::string_view monitorID,
                                                               std::uint8_t code,
                                                               const ddc::VCPUpdate& update) {
  if (support::Error ended = ctx.Err()) return {{}, ended};
  auto held = holdMonitor(ctx, monitorID);
  if (held.err) return {{}, held.err};

  auto read = readVCP(ctx, held.value, code);
  if (read.err) return {{}, read.err};
  ddc::VCPAdjustment adjustment{read.value, update(read.value), false};
  if (adjustment.Value == adjustment.Previous.Current) return {adjustment, {}};
  // The write's exchange first waits out the quiet time the read left owed to the lock.
  if (support::Error err = writeVCP(ctx, held.value, code, adjustment.Value)) return {{}, err};
  adjustment.Written = true;
  return {adjustment, {}};
}

support::Result<ddcci::Bytes> darwinTransport::readCapabilitiesFragment(
    const support::Context& ctx, const darwinMonitor& monitor, EndpointLock& endpoint,
    std::uint16_t offset) const {
  // The last fragment's quiet time passes before the context is consulted for this one.
  endpoint.keepQuiet();
  auto read = ReadReply<ddcci::CapabilitiesFragment>(
      ctx, monitor, endpoint,
      {ddcci::BuildCapabilitiesRequest(offset), kCapabilitiesReplyCapacity, kCapabilitiesDelay},
      ddcci::ParseCapabilitiesReply,
      [offset](const ddcci::CapabilitiesFragment& fragment) -> support::Error {
        if (fragment.Offset == offset) return {};
        return support::Errorf("%w: got %d, want %d", ddcci::ErrOffsetMismatch, fragment.Offset,
                               offset);
      });
  if (read.err) return {{}, read.err};
  return {std::move(read.value.Fragment), {}};
}

support::Result<std::string> darwinTransport::Capabilities(const support::Context& ctx,
                                                           std::string_view monitorID) {
  auto held = holdMonitor(ctx, monitorID);
  if (held.err) return {{}, held.err};
  const darwinMonitor& monitor = held.value.monitor;

  return readCapabilitiesFragments(ctx, [&](std::uint16_t offset) {
    return readCapabilitiesFragment(ctx, monitor, held.value.endpoint, offset);
  });
}

std::vector<ddc::Monitor> darwinTransport::infoLocked() const {
  std::vector<ddc::Monitor> list;
  list.reserve(monitors_.size());
  for (const darwinMonitor& monitor : monitors_) list.push_back(monitor.info);
  return list;
}

support::Result<std::vector<ddc::Monitor>> darwinTransport::List(const support::Context& ctx) {
  if (support::Error ended = ctx.Err()) return {{}, ended};
  std::lock_guard lock(mu_);
  auto listed = ListDarwinMonitors(ctx, options_.bridge);
  if (listed.err) return {{}, listed.err};
  monitors_ = std::move(listed.value);
  return {infoLocked(), {}};
}

support::Error darwinTransport::Close() {
  std::lock_guard lock(mu_);
  monitors_.clear();
  return {};
}

std::unique_ptr<ddc::Transport> Open() { return std::make_unique<darwinTransport>(); }

std::unique_ptr<ddc::Transport> Open(darwinTransportOptions options) {
  return std::make_unique<darwinTransport>(std::move(options));
}

}  // namespace lumra::platform
