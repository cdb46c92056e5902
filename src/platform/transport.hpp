#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ddc/transport.hpp"
#include "ddcci/frame.hpp"
#include "platform/lock/endpoint_lock.hpp"
#include "platform/monitor_list.hpp"
#include "platform/native_bridge.hpp"
#include "platform/remembered_framing.hpp"
#include "platform/retry.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

namespace lumra::platform {

// The pause the native exchange observes after the write of each request.
inline constexpr support::Duration kGetVCPDelay = std::chrono::milliseconds(40);
inline constexpr support::Duration kSetVCPDelay = std::chrono::milliseconds(50);
inline constexpr support::Duration kCapabilitiesDelay = std::chrono::milliseconds(50);
// A monitor takes about this long to store its settings, and hears nothing meanwhile.
inline constexpr support::Duration kSaveSettingsDelay = std::chrono::milliseconds(200);

// Reply bytes read back for each request; Set VCP reads none.
inline constexpr std::uint32_t kGetVCPReplyCapacity = 11;
inline constexpr std::uint32_t kCapabilitiesReplyCapacity = 38;

// What the transport depends on. The defaults are the real bridge, the real environment and
// the real pauses; tests replace them.
struct DarwinTransportOptions {
  NativeBridge Bridge = RealNativeBridge();
  support::Duration RetryPause = kRetryPause;
  EndpointLockOptions Lock;
};

// The macOS transport: discovers monitors through the native bridge, caches them, and runs
// DDC/CI exchanges on them under the cross-process endpoint lock. The transport mutex guards
// only the cache, so monitors on different endpoints are served at once from several threads.
class DarwinTransport final : public ddc::Transport {
 public:
  DarwinTransport() = default;
  explicit DarwinTransport(DarwinTransportOptions options) : options_(std::move(options)) {}

  // Like SetVCP at entry, then GetVCP and, when the value changes, SetVCP's exchange, all
  // under one hold of the endpoint lock.
  support::Result<ddc::VCPAdjustment> AdjustVCP(const support::Context& ctx,
                                                std::string_view monitorID, std::uint8_t code,
                                                const ddc::VCPUpdate& update) override;
  support::Result<std::string> Capabilities(const support::Context& ctx,
                                            std::string_view monitorID) override;
  // Drops the cached monitors; always succeeds.
  support::Error Close() override;
  support::Result<ddc::VCPValue> GetVCP(const support::Context& ctx, std::string_view monitorID,
                                        std::uint8_t code) override;
  // Every read under one hold of the endpoint lock; a monitor that cannot be held fails each.
  std::vector<support::Result<ddc::VCPValue>> GetVCPs(const support::Context& ctx,
                                                      std::string_view monitorID,
                                                      std::span<const std::uint8_t> codes) override;
  support::Result<std::vector<ddc::Monitor>> List(const support::Context& ctx) override;
  // Like SetVCP, with the longer quiet time owed after it.
  support::Error SaveSettings(const support::Context& ctx, std::string_view monitorID) override;
  support::Error SetVCP(const support::Context& ctx, std::string_view monitorID, std::uint8_t code,
                        std::uint16_t value,
                        std::uint8_t source = ddcci::kHostSourceAddress) override;
  // Every write under one hold of the endpoint lock, as AdjustVCP's read and write are.
  std::vector<support::Error> SetVCPs(const support::Context& ctx, std::string_view monitorID,
                                      std::span<const ddc::VCPWrite> writes) override;

 private:
  // Both run with mu_ held.
  std::vector<ddc::Monitor> InfoLocked() const;
  support::Result<DarwinMonitor> MonitorLocked(std::string_view selector) const;
  // The selected monitor with its endpoint lock held, for one device command. mu_ is held only
  // while the monitor is copied out of the cache, so commands on other endpoints run meanwhile.
  // On a port with two framings, `Framing` is the one that last answered there, loaded under
  // the lock; on every other port it stays empty and no file is touched.
  struct HeldMonitor {
    DarwinMonitor Monitor;
    EndpointLock Endpoint;
    RememberedFraming Framing;
  };
  support::Result<HeldMonitor> HoldMonitor(const support::Context& ctx, std::string_view selector);
  // One exchange. Given the endpoint lock, it first waits out the quiet time that the last
  // exchange left, and leaves its own trailing pause owed to the lock instead of sleeping it.
  // `otherFraming` asks a port that has two framings for its second one: a read attempt that
  // got no valid reply switches the next attempt's framing.
  support::Result<ddcci::Bytes> Exchange(const DarwinMonitor& monitor,
                                         std::span<const std::uint8_t> request,
                                         std::uint32_t replyCapacity, support::Duration delay,
                                         EndpointLock* quiet = nullptr,
                                         bool otherFraming = false) const;
  // RetryExchange over attempts that exchange under `endpoint`. A failed attempt sleeps its quiet
  // time here, so retries and failures keep their timing; only a success leaves quiet time owed
  // to the lock, which its release hands to a holder.
  support::Error RetryOnEndpoint(const support::Context& ctx, EndpointLock& endpoint,
                                 const std::function<support::Error()>& attempt) const;
  // One request that expects a reply, as a read sends it.
  struct ReadRequest {
    ddcci::Bytes Request;
    std::uint32_t ReplyCapacity = 0;
    support::Duration Delay{};
  };
  template <typename Parsed>
  using ReplyParser = std::function<support::Result<Parsed>(std::span<const std::uint8_t>)>;
  template <typename Parsed>
  using ReplyCheck = std::function<support::Error(const Parsed&)>;
  // One read with retries: each attempt exchanges `read` and parses the reply, then `check`
  // (when given) may refuse what parsed. A reply that does not parse switches a port with two
  // framings to the other one for the next attempt; one refused by `check` does not. Such a
  // port starts in the framing it last answered in and remembers the one that answers now, or
  // forgets it when none does.
  template <typename Parsed>
  support::Result<Parsed> ReadReply(const support::Context& ctx, HeldMonitor& held,
                                    const ReadRequest& read, const ReplyParser<Parsed>& parse,
                                    const ReplyCheck<Parsed>& check = {}) const;
  // One Get VCP and one Set VCP exchange on the held monitor, each with retries. A write to a
  // port with two framings goes in the one that last answered; with none remembered, a Get VCP
  // of the same code finds it first, and when nothing answers that, the write goes in the
  // port's own framing.
  support::Result<ddc::VCPValue> ReadVCP(const support::Context& ctx, HeldMonitor& held,
                                         std::uint8_t code) const;
  support::Error WriteVCP(const support::Context& ctx, HeldMonitor& held, std::uint8_t code,
                          std::uint16_t value,
                          std::uint8_t source = ddcci::kHostSourceAddress) const;
  // One request that gets no reply, with retries, in the framing the port last answered in (its
  // own when none is remembered); `delay` is the quiet time the bus owes after it.
  support::Error SendWithoutReply(const support::Context& ctx, HeldMonitor& held,
                                  std::span<const std::uint8_t> request,
                                  support::Duration delay) const;
  support::Result<ddcci::Bytes> ReadCapabilitiesFragment(const support::Context& ctx,
                                                         HeldMonitor& held,
                                                         std::uint16_t offset) const;

  DarwinTransportOptions options_;
  std::mutex mu_;
  std::vector<DarwinMonitor> monitors_;
};

// A new, empty transport over the real bridge; touches no device.
std::unique_ptr<ddc::Transport> Open();
// The same over the given dependencies.
std::unique_ptr<ddc::Transport> Open(DarwinTransportOptions options);

}  // namespace lumra::platform
