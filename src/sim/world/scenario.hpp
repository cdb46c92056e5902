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
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  std::uint64_t logicalWidth = 0;
  std::uint64_t logicalHeight = 0;
  double refreshHz = 0;
};

struct DisplaySpec {
  std::uint32_t id = 0;
  std::uint32_t vendor = 0;
  std::uint32_t product = 0;
  std::uint32_t serial = 0;
  std::uint32_t unit = 0;
  bool builtin = false;
  LocalizedNames names;  // empty: the display has no name
  std::optional<std::string> location;
  bool locationExists = true;
  std::optional<DisplayModeSpec> mode;
};

struct BusSpec {
  std::optional<std::string> monitor;
  std::int32_t status = 0;  // non-zero: every request on the bus fails with it
  std::int32_t openStatus = 0;
  bool rejectDdcciReply = false;
};

// A service's classes from leaf to root, as "classes" gives them; empty: the kind's default
// chain under the leaf "class".
using ClassChainSpec = std::vector<std::string>;

struct FramebufferSpec {
  std::optional<std::uint64_t> entryId;  // none: the registry entry has no identifier
  std::string className = "IOFramebuffer";
  ClassChainSpec classes;
  std::string path;
  std::optional<std::int64_t> vendor;
  std::optional<std::int64_t> product;
  std::optional<std::int64_t> serial;
  LocalizedNames names;
  std::optional<std::string> location;
  bool hasInfo = true;
  std::int32_t i2cCountStatus = 0;
  std::vector<BusSpec> buses;
  Json infoExtra = Json::object();   // merged into the display information dictionary
  Json properties = Json::object();  // registry properties of the framebuffer entry
};

// The I2C framing a DCPAVServiceProxy port answers over IOAVService: the display's own chip
// 0x37 with the source byte as data address; the MCDP29xx HDMI converter's chip 0xB7; or the
// PS190 HDMI converter's data address 0xFFFFFFFF with the whole request as payload.
enum class I2cFraming { Standard, Mcdp29xx, Ps190 };

struct AvServiceSpec {
  std::uint64_t entryId = 0;
  std::string path;
  ClassChainSpec classes;
  std::optional<std::string> location;
  bool locationOnParent = false;
  std::optional<std::string> monitor;
  I2cFraming framing = I2cFraming::Standard;
  std::uint32_t chip = kDisplayChip;
  bool createFails = false;
  Json properties = Json::object();
  Json parentProperties = Json::object();  // merged into the proxy's parent entry
};

// A display pipe of an Apple silicon machine (IOMobileFramebufferShim, or AppleCLCD2 on older
// systems): not an IOFramebuffer, it offers no I2C bus, and it names the display it drives in
// "DisplayAttributes" → "ProductAttributes".
struct ProductAttributesSpec {
  std::optional<std::int64_t> vendor;   // "LegacyManufacturerID"
  std::optional<std::int64_t> product;  // "ProductID"
  std::optional<std::int64_t> serial;   // "SerialNumber"
  std::optional<std::string> name;      // "ProductName"
};

struct MobileFramebufferSpec {
  std::optional<std::uint64_t> entryId;  // none: generated
  std::string className = "IOMobileFramebufferShim";
  ClassChainSpec classes;
  std::string path;
  std::optional<ProductAttributesSpec> display;  // none: no display behind this pipe
  Json properties = Json::object();              // merged last, over "DisplayAttributes"
};

// Any other registry entry that carries a class or properties, such as a proxy's EPIC parent
// or a framebuffer's graphics device.
struct RegistryEntrySpec {
  std::string path;
  ClassChainSpec classes;  // empty: IOService
  Json properties = Json::object();
};

enum class RequestKind { Get, Set, Capabilities, Any };

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
  DroppedWrite,     // the write succeeds and the monitor never sees it
  ZeroReplyAfterSet,  // a Get VCP right after a Set VCP is answered with zero bytes
};

struct FaultSpec {
  RequestKind request = RequestKind::Any;
  std::optional<std::uint8_t> code;
  FaultKind kind = FaultKind::Status;
  std::int32_t status = 0;  // for FaultKind::Status
  std::optional<std::uint64_t> count;  // none: every matching exchange
};

struct VcpSpec {
  std::uint16_t current = 0;
  std::uint16_t maximum = 0;
  bool momentary = false;
};

struct MonitorSpec {
  std::map<std::uint8_t, VcpSpec> vcp;
  std::string capabilities;
  std::uint32_t fragmentSize = 32;
  std::vector<FaultSpec> faults;
};

// Whether a framework library opens, and which of its entry points it lacks.
struct FrameworkSpec {
  bool opens = true;
  std::vector<std::string> missingSymbols;
};

struct TimebaseSpec {
  std::uint32_t numer = 1;
  std::uint32_t denom = 1;
  bool fails = false;
};

struct PlatformFailures {
  bool displayCount = false;  // CGGetOnlineDisplayList without a buffer fails
  bool displayList = false;   // CGGetOnlineDisplayList with a buffer fails
  std::vector<std::string> serviceMatching;  // IOServiceGetMatchingServices fails for these
};

struct Scenario {
  std::vector<DisplaySpec> displays;
  std::vector<FramebufferSpec> framebuffers;
  std::vector<AvServiceSpec> avServices;
  std::vector<MobileFramebufferSpec> mobileFramebuffers;
  std::vector<RegistryEntrySpec> registryEntries;
  std::map<std::string, MonitorSpec, std::less<>> monitors;
  FrameworkSpec coreDisplay;
  FrameworkSpec ioav;
  TimebaseSpec timebase;
  PlatformFailures failures;
};

inline constexpr std::uint32_t kMaxFragmentSize = 124;

// Reads and validates scenario text. On failure `problem` says what is wrong, naming the JSON
// path ("displays[1].mode.width: ..."), and the result is empty.
std::optional<Scenario> ParseScenario(std::string_view text, std::string& problem);

}  // namespace lumra::sim
