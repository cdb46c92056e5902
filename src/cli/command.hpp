#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/options.hpp"
#include "cli/printer.hpp"
#include "cli/target.hpp"
#include "ddc/feature.hpp"
#include "ddc/monitor.hpp"
#include "ddc/transport.hpp"
#include "i18n/catalog.hpp"
#include "platform/ioav_framing_setting.hpp"
#include "support/context.hpp"
#include "support/error.hpp"

// What the commands of the command table share: what each is given, and the steps several of
// them take (resolving the target, reading a write back, having the monitor store it).
namespace lumra::cli {

// What every command needs besides its own words.
struct Command {
  const support::Context& Ctx;
  const Options& Parsed;
  Printer& Print;
  const i18n::Catalog& Catalog;
  ddc::Transport& Transport;
  // LUMRA_IOAV_FRAMING as set: only a command that reaches an IOAVService port reports a bad one.
  const platform::IOAVFramingSetting& Framing;
  // Where a profile named by a bare word lives; empty without a home folder.
  std::string_view ProfileFolder;
};

using CommandWords = std::span<const std::string>;

// Capabilities and save name no feature: one that always resolves stands in for it.
inline constexpr std::string_view kPlaceholderFeature = "brightness";

inline constexpr std::uint8_t kInputCode = 0x60;
inline constexpr std::uint8_t kPowerCode = 0xD6;

// Resolves the monitor selector and feature word; reports a failed resolution, or a name that
// matched several monitors, and gives its status instead of a target.
std::optional<Target> ResolveOrReport(const Command& cmd, std::string_view selector,
                                      std::string_view featureWord, bool featureIsPlaceholder,
                                      int& status);

// Whether a value read equals the one meant; an input source compares on its low byte, since
// some monitors set the high byte of the value they report.
bool SameValue(const ddc::Feature& feature, std::uint16_t read, std::uint16_t meant);

// Reads the value written back, each read after the monitor's quiet time (the endpoint lock
// keeps it). A value that differs is read once more, since some monitors answer 0 right after
// a write, and then written again, up to the transport's attempt count in all.
support::Result<Verification> VerifyWrite(const Command& cmd, const ddc::Monitor& monitor,
                                          const ddc::Feature& feature, std::uint16_t value);

// After a monitor's writes (and their read-back), has it store its settings when
// --save-settings asks for it; whether Save Current Settings was sent. Nothing is saved when
// nothing was written: storing unchanged values would only wear the monitor's non-volatile
// memory. A failed save fails the monitor, though its values were sent.
support::Result<bool> SaveSettingsAfterWrites(const Command& cmd, const ddc::Monitor& monitor,
                                              bool written);

}  // namespace lumra::cli
