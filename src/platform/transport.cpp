#include "platform/transport.hpp"

#include <algorithm>
#include <optional>

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

// Whether a port with two framings starts in its other one: when that answered last.
bool StartsInOtherFraming(const DarwinMonitor& monitor, const RememberedFraming& framing) {
  return monitor.TwoFramings && framing.Framing() == PortFraming::Other;
}

// A reply in the right framing: one that parsed, or a monitor's word that it lacks the code.
bool AnsweredInFraming(const support::Error& parsed) {
  return !parsed || support::Is(parsed, ddcci::kErrUnsupportedVCP);
}

}  // namespace

support::Result<DarwinMonitor> DarwinTransport::MonitorLocked(std::string_view selector) const {
  const std::vector<ddc::Monitor> list = InfoLocked();
  auto resolved = ddc::ResolveMonitor(list, selector);
  if (resolved.Err) return {{}, resolved.Err};
  for (const DarwinMonitor& monitor : monitors_) {
    if (monitor.Info.ID == resolved.Value.ID) return {monitor, {}};
  }
  return {{}, support::Errorf("%w: %s", ddc::kErrMonitorNotFound, selector)};
}

support::Result<DarwinTransport::HeldMonitor> DarwinTransport::HoldMonitor(
    const support::Context& ctx, std::string_view selector) {
  support::Result<DarwinMonitor> monitor;
  {
    // The cache is all that operations on different monitors share; the endpoint lock, not
    // mu_, keeps two of them off one bus.
    std::lock_guard lock(mu_);
    monitor = MonitorLocked(selector);
  }
  if (monitor.Err) return {{}, monitor.Err};
  auto endpoint = LockEndpoint(ctx, monitor.Value.EndpointID, options_.Lock);
  if (endpoint.Err) return {{}, endpoint.Err};
  // Returning without `endpoint` releases the lock it took before the context's error is
  // reported.
  if (support::Error ended = ctx.Err()) return {{}, ended};
  RememberedFraming framing;
  if (monitor.Value.TwoFramings) {
    // The lock was taken in this directory, so it resolves.
    auto locks = EndpointLockDirectory(options_.Lock);
    if (!locks.Err) framing = RememberedFraming::Load(locks.Value, monitor.Value.EndpointID);
  }
  return {{std::move(monitor.Value), std::move(endpoint.Value), std::move(framing)}, {}};
}

support::Result<ddcci::Bytes> DarwinTransport::Exchange(const DarwinMonitor& monitor,
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
    quiet->KeepQuiet();
    diagnostics.flags |= LUMRA_EXCHANGE_DEFER_TRAILING_PAUSE;
  }
  const int32_t status = options_.Bridge.ExchangeDDCCI(
      monitor.EndpointID, monitor.Backend, monitor.ChipAddress, request.data(),
      static_cast<std::uint32_t>(request.size()), replyCapacity > 0 ? reply.data() : nullptr,
      replyCapacity, &replyLength, NanosecondCount(delay), &diagnostics);
  if (status != 0) {
    const std::string_view stage = diagnostics.stage != nullptr ? diagnostics.stage : "";
    return {{},
            ExchangeError(static_cast<std::uint32_t>(status), stage, diagnostics.write_cycle,
                          monitor.ChipAddress, request)};
  }
  if (quiet != nullptr) quiet->OweQuiet(std::chrono::nanoseconds(diagnostics.trailing_pause_ns));
  // A bridge that reports more than it could have stored is never read past the buffer.
  reply.resize(std::min(replyLength, replyCapacity));
  return {std::move(reply), {}};
}

support::Error DarwinTransport::RetryOnEndpoint(
    const support::Context& ctx, EndpointLock& endpoint,
    const std::function<support::Error()>& attempt) const {
  return RetryExchange(
      ctx,
      [&]() -> support::Error {
        support::Error err = attempt();
        if (err) endpoint.KeepQuiet();
        return err;
      },
      options_.RetryPause);
}

template <typename Parsed>
support::Result<Parsed> DarwinTransport::ReadReply(const support::Context& ctx, HeldMonitor& held,
                                                   const ReadRequest& read,
                                                   const ReplyParser<Parsed>& parse,
                                                   const ReplyCheck<Parsed>& check) const {
  Parsed accepted{};
  bool otherFraming = StartsInOtherFraming(held.Monitor, held.Framing);
  std::optional<PortFraming> answered;
  support::Error err = RetryOnEndpoint(ctx, held.Endpoint, [&]() -> support::Error {
    auto reply = Exchange(held.Monitor, read.Request, read.ReplyCapacity, read.Delay,
                          &held.Endpoint, otherFraming);
    if (reply.Err) return reply.Err;
    auto parsed = parse(reply.Value);
    if (AnsweredInFraming(parsed.Err)) {
      answered = otherFraming ? PortFraming::Other : PortFraming::Own;
    }
    otherFraming ^= static_cast<bool>(parsed.Err);
    if (parsed.Err) return parsed.Err;
    if (check) {
      if (support::Error refused = check(parsed.Value)) return refused;
    }
    accepted = std::move(parsed.Value);
    return {};
  });
  if (held.Monitor.TwoFramings) {
    if (answered) {
      held.Framing.Remember(*answered);
    } else {
      held.Framing.Forget();
    }
  }
  if (err) return {{}, err};
  return {std::move(accepted), {}};
}

support::Result<ddc::VCPValue> DarwinTransport::ReadVCP(const support::Context& ctx,
                                                        HeldMonitor& held,
                                                        std::uint8_t code) const {
  auto read = ReadReply<ddcci::VCPValue>(
      ctx, held, {ddcci::BuildGetVCP(code), kGetVCPReplyCapacity, kGetVCPDelay},
      [code](std::span<const std::uint8_t> reply) { return ddcci::ParseVCPReply(reply, code); });
  if (read.Err) return {{}, read.Err};
  ddc::VCPValue value;
  value.Code = code;
  value.Current = read.Value.Current;
  value.Maximum = read.Value.Maximum;
  value.Momentary = read.Value.Momentary;
  value.Raw = read.Value.Raw;
  return {value, {}};
}

support::Error DarwinTransport::WriteVCP(const support::Context& ctx, HeldMonitor& held,
                                         std::uint8_t code, std::uint16_t value,
                                         std::uint8_t source) const {
  // A Set VCP gets no reply, so a port that ignores its framing cannot say so: with none
  // remembered, one read finds the framing that answers. When none does, the write goes in the
  // port's own framing and reports its own failure, if any.
  if (held.Monitor.TwoFramings && !held.Framing.Framing()) {
    static_cast<void>(ReadVCP(ctx, held, code));
  }
  // The source byte travels in the request itself, on every path and in every framing.
  return SendWithoutReply(ctx, held, ddcci::BuildSetVCP(code, value, source), kSetVCPDelay);
}

support::Error DarwinTransport::SendWithoutReply(const support::Context& ctx, HeldMonitor& held,
                                                 std::span<const std::uint8_t> request,
                                                 support::Duration delay) const {
  const bool otherFraming = StartsInOtherFraming(held.Monitor, held.Framing);
  return RetryOnEndpoint(ctx, held.Endpoint, [&]() -> support::Error {
    return Exchange(held.Monitor, request, 0, delay, &held.Endpoint, otherFraming).Err;
  });
}

support::Result<ddc::VCPValue> DarwinTransport::GetVCP(const support::Context& ctx,
                                                       std::string_view monitorID,
                                                       std::uint8_t code) {
  auto held = HoldMonitor(ctx, monitorID);
  if (held.Err) return {{}, held.Err};
  return ReadVCP(ctx, held.Value, code);
}

support::Error DarwinTransport::SetVCP(const support::Context& ctx, std::string_view monitorID,
                                       std::uint8_t code, std::uint16_t value,
                                       std::uint8_t source) {
  if (support::Error ended = ctx.Err()) return ended;
  auto held = HoldMonitor(ctx, monitorID);
  if (held.Err) return held.Err;
  return WriteVCP(ctx, held.Value, code, value, source);
}

std::vector<support::Result<ddc::VCPValue>> DarwinTransport::GetVCPs(
    const support::Context& ctx, std::string_view monitorID, std::span<const std::uint8_t> codes) {
  auto held = HoldMonitor(ctx, monitorID);
  std::vector<support::Result<ddc::VCPValue>> results;
  if (held.Err) {
    results.assign(codes.size(), {{}, held.Err});
    return results;
  }
  // Each read's exchange first waits out the quiet time the one before left owed to the lock.
  for (const std::uint8_t code : codes) results.push_back(ReadVCP(ctx, held.Value, code));
  return results;
}

std::vector<support::Error> DarwinTransport::SetVCPs(const support::Context& ctx,
                                                     std::string_view monitorID,
                                                     std::span<const ddc::VCPWrite> writes) {
  if (support::Error ended = ctx.Err()) return {ended};
  auto held = HoldMonitor(ctx, monitorID);
  if (held.Err) return {held.Err};
  std::vector<support::Error> results;
  for (const ddc::VCPWrite& write : writes) {
    results.push_back(WriteVCP(ctx, held.Value, write.Code, write.Value, write.Source));
    if (results.back()) break;
  }
  return results;
}

support::Error DarwinTransport::SaveSettings(const support::Context& ctx,
                                             std::string_view monitorID) {
  if (support::Error ended = ctx.Err()) return ended;
  auto held = HoldMonitor(ctx, monitorID);
  if (held.Err) return held.Err;
  // The bridge sleeps or defers the request's delay as the quiet time after it, so the
  // monitor's storing time is owed to the lock like any write's pause.
  return SendWithoutReply(ctx, held.Value, ddcci::BuildSaveSettings(), kSaveSettingsDelay);
}

support::Result<ddc::VCPAdjustment> DarwinTransport::AdjustVCP(const support::Context& ctx,
                                                               std::string_view monitorID,
                                                               std::uint8_t code,
                                                               const ddc::VCPUpdate& update) {
  if (support::Error ended = ctx.Err()) return {{}, ended};
  auto held = HoldMonitor(ctx, monitorID);
  if (held.Err) return {{}, held.Err};

  auto read = ReadVCP(ctx, held.Value, code);
  if (read.Err) return {{}, read.Err};
  ddc::VCPAdjustment adjustment{read.Value, update(read.Value), false};
  if (adjustment.Value == adjustment.Previous.Current) return {adjustment, {}};
  // The write's exchange first waits out the quiet time the read left owed to the lock.
  if (support::Error err = WriteVCP(ctx, held.Value, code, adjustment.Value)) return {{}, err};
  adjustment.Written = true;
  return {adjustment, {}};
}

support::Result<ddcci::Bytes> DarwinTransport::ReadCapabilitiesFragment(
    const support::Context& ctx, HeldMonitor& held, std::uint16_t offset) const {
  // The last fragment's quiet time passes before the context is consulted for this one.
  held.Endpoint.KeepQuiet();
  auto read = ReadReply<ddcci::CapabilitiesFragment>(
      ctx, held,
      {ddcci::BuildCapabilitiesRequest(offset), kCapabilitiesReplyCapacity, kCapabilitiesDelay},
      ddcci::ParseCapabilitiesReply,
      [offset](const ddcci::CapabilitiesFragment& fragment) -> support::Error {
        if (fragment.Offset == offset) return {};
        return support::Errorf("%w: got %d, want %d", ddcci::kErrOffsetMismatch, fragment.Offset,
                               offset);
      });
  if (read.Err) return {{}, read.Err};
  return {std::move(read.Value.Fragment), {}};
}

support::Result<std::string> DarwinTransport::Capabilities(const support::Context& ctx,
                                                           std::string_view monitorID) {
  auto held = HoldMonitor(ctx, monitorID);
  if (held.Err) return {{}, held.Err};

  return ReadCapabilitiesFragments(
      ctx, [&](std::uint16_t offset) { return ReadCapabilitiesFragment(ctx, held.Value, offset); });
}

std::vector<ddc::Monitor> DarwinTransport::InfoLocked() const {
  std::vector<ddc::Monitor> list;
  list.reserve(monitors_.size());
  for (const DarwinMonitor& monitor : monitors_) list.push_back(monitor.Info);
  return list;
}

support::Result<std::vector<ddc::Monitor>> DarwinTransport::List(const support::Context& ctx) {
  if (support::Error ended = ctx.Err()) return {{}, ended};
  std::lock_guard lock(mu_);
  auto listed = ListDarwinMonitors(ctx, options_.Bridge);
  if (listed.Err) return {{}, listed.Err};
  monitors_ = std::move(listed.Value);
  return {InfoLocked(), {}};
}

support::Error DarwinTransport::Close() {
  std::lock_guard lock(mu_);
  monitors_.clear();
  return {};
}

std::unique_ptr<ddc::Transport> Open() { return std::make_unique<DarwinTransport>(); }

std::unique_ptr<ddc::Transport> Open(DarwinTransportOptions options) {
  return std::make_unique<DarwinTransport>(std::move(options));
}

}  // namespace lumra::platform
