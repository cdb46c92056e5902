// A scenario: the simulated machine (displays, I/O Registry services, DDC/CI monitors and
// platform switches) as read from a JSON file or the built-in default.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/world/ddcci_wire.hpp"

namespace lumra::sim {

using Json = nlohmann::ordered_json;

// Localized names in their given order: (locale, name).
using LocalizedNames = std::vector<std::pair<std::string, std::string>>;

struct DisplayModeSpec {
  std::uint64_t Width = 0;
  std::uint64_t Height = 0;
  std::uint64_t LogicalWidth = 0;
  std::uint64_t LogicalHeight = 0;
  double RefreshHz = 0;
};

struct DisplaySpec {
  std::uint32_t Id = 0;
  std::uint32_t Vendor = 0;
  std::uint32_t Product = 0;
  std::uint32_t Serial = 0;
  std::uint32_t Unit = 0;
  bool Builtin = false;
  LocalizedNames Names;  // empty: the display has no name
  std::optional<std::string> Location;
  bool LocationExists = true;
  std::optional<DisplayModeSpec> Mode;
};

struct BusSpec {
  std::optional<std::string> Monitor;
  std::int32_t Status = 0;  // non-zero: every request on the bus fails with it
  std::int32_t OpenStatus = 0;
  bool RejectDdcciReply = false;
};

// A service's classes from leaf to root, as "classes" gives them; empty: the kind's default
// chain under the leaf "class".
using ClassChainSpec = std::vector<std::string>;

struct FramebufferSpec {
  std::optional<std::uint64_t> EntryId;  // none: the registry entry has no identifier
  std::string ClassName = "IOFramebuffer";
  ClassChainSpec Classes;
  std::string Path;
  std::optional<std::int64_t> Vendor;
  std::optional<std::int64_t> Product;
  std::optional<std::int64_t> Serial;
  LocalizedNames Names;
  std::optional<std::string> Location;
  bool HasInfo = true;
  std::int32_t I2cCountStatus = 0;
  std::vector<BusSpec> Buses;
  Json InfoExtra = Json::object();   // merged into the display information dictionary
  Json Properties = Json::object();  // registry properties of the framebuffer entry
};

// The I2C framing a DCPAVServiceProxy port answers over IOAVService: the display's own chip
// 0x37 with the source byte as data address; the MCDP29xx HDMI converter's chip 0xB7; or the
// PS190 HDMI converter's data address 0xFFFFFFFF with the whole request as payload.
enum class I2cFraming { Standard, Mcdp29xx, Ps190 };

struct AvServiceSpec {
  std::uint64_t EntryId = 0;
  std::string Path;
  ClassChainSpec Classes;
  std::optional<std::string> Location;
  bool LocationOnParent = false;
  std::optional<std::string> Monitor;
  I2cFraming Framing = I2cFraming::Standard;
  std::uint32_t Chip = kDisplayChip;
  bool CreateFails = false;
  Json Properties = Json::object();
  Json ParentProperties = Json::object();  // merged into the proxy's parent entry
};

// A display pipe of an Apple silicon machine (IOMobileFramebufferShim, or AppleCLCD2 on older
// systems): not an IOFramebuffer, it offers no I2C bus, and it names the display it drives in
// "DisplayAttributes" → "ProductAttributes".
struct ProductAttributesSpec {
  std::optional<std::int64_t> Vendor;   // "LegacyManufacturerID"
  std::optional<std::int64_t> Product;  // "ProductID"
  std::optional<std::int64_t> Serial;   // "SerialNumber"
  std::optional<std::string> Name;      // "ProductName"
};

struct MobileFramebufferSpec {
  std::optional<std::uint64_t> EntryId;  // none: generated
  std::string ClassName = "IOMobileFramebufferShim";
  ClassChainSpec Classes;
  std::string Path;
  std::optional<ProductAttributesSpec> Display;  // none: no display behind this pipe
  Json Properties = Json::object();              // merged last, over "DisplayAttributes"
};

// Any other registry entry that carries a class or properties, such as a proxy's EPIC parent
// or a framebuffer's graphics device.
struct RegistryEntrySpec {
  std::string Path;
  ClassChainSpec Classes;  // empty: IOService
  Json Properties = Json::object();
};

enum class RequestKind { Get, Set, Save, Capabilities, Any };

enum class FaultKind {
  Status,  // the write fails with an IOReturn
  Checksum,
  NullReply,
  MalformedSource,
  ProtocolFlag,
  ShortReply,
  WrongCode,
  UnexpectedResult,
  OffsetMismatch,
  DroppedWrite,       // the write succeeds and the monitor never sees it
  ZeroReplyAfterSet,  // a Get VCP right after a Set VCP is answered with zero bytes
};

struct FaultSpec {
  RequestKind Request = RequestKind::Any;
  std::optional<std::uint8_t> Code;
  FaultKind Kind = FaultKind::Status;
  std::int32_t Status = 0;             // for FaultKind::Status
  std::optional<std::uint64_t> Count;  // none: every matching exchange
};

struct VcpSpec {
  std::uint16_t Current = 0;
  std::uint16_t Maximum = 0;
  bool Momentary = false;
};

struct MonitorSpec {
  std::map<std::uint8_t, VcpSpec> Vcp;
  // LG's alternate input control: a Set VCP 0xF4 from source 0x50 with one of these values
  // switches the input that 0x60 reports to the mapped value. Empty: frames from 0x50 are
  // ignored, as a monitor without the control does.
  std::map<std::uint16_t, std::uint16_t> AlternateInput;
  // Loses the values not stored by Save Current Settings when it is turned off and on again.
  bool ForgetsUnsaved = false;
  std::string Capabilities;
  std::uint32_t FragmentSize = 32;
  std::vector<FaultSpec> Faults;
};

// Whether a framework library opens, and which of its entry points it lacks.
struct FrameworkSpec {
  bool Opens = true;
  std::vector<std::string> MissingSymbols;
};

struct TimebaseSpec {
  std::uint32_t Numer = 1;
  std::uint32_t Denom = 1;
  bool Fails = false;
};

struct PlatformFailures {
  bool DisplayCount = false;                 // CGGetOnlineDisplayList without a buffer fails
  bool DisplayList = false;                  // CGGetOnlineDisplayList with a buffer fails
  std::vector<std::string> ServiceMatching;  // IOServiceGetMatchingServices fails for these
};

struct Scenario {
  std::vector<DisplaySpec> Displays;
  std::vector<FramebufferSpec> Framebuffers;
  std::vector<AvServiceSpec> AvServices;
  std::vector<MobileFramebufferSpec> MobileFramebuffers;
  std::vector<RegistryEntrySpec> RegistryEntries;
  std::map<std::string, MonitorSpec, std::less<>> Monitors;
  FrameworkSpec CoreDisplay;
  FrameworkSpec Ioav;
  TimebaseSpec Timebase;
  PlatformFailures Failures;
};

inline constexpr std::uint32_t kMaxFragmentSize = 124;

// Reads and validates scenario text. On failure `problem` says what is wrong, naming the JSON
// path ("displays[1].mode.width: ..."), and the result is empty.
std::optional<Scenario> ParseScenario(std::string_view text, std::string& problem);

}  // namespace lumra::sim
