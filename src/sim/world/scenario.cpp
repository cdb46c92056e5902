// Scenario loading and validation: JSON text to a Scenario, or the first problem found.
#include "sim/world/scenario.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <span>

#include "sim/framework/macos_api.h"
#include "sim/framework/private_frameworks.hpp"
#include "sim/world/json_reader.hpp"

namespace lumra::sim {
namespace {

constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::string_view kServicePlanePrefix = "IOService:/";

std::string Item(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

bool IsServicePath(std::string_view path) { return path.starts_with(kServicePlanePrefix); }

// Calls `each` with every element of the array under `key` (absent: none).
template <typename Each>
void ForEachItem(ObjectReader& reader, std::string_view key, Problems& problems, Each each) {
  const Json* list = reader.Take(key);
  if (list == nullptr) return;
  if (!list->is_array()) {
    problems.Add(reader.PathOf(key), "must be an array");
    return;
  }
  for (std::size_t i = 0; i < list->size() && !problems.Any(); ++i) {
    each((*list)[i], Item(reader.PathOf(key), i), i);
  }
}

LocalizedNames ReadNames(ObjectReader& reader, Problems& problems) {
  const auto name = reader.String("name", false);
  const Json* names = reader.Take("names");
  if (name && names != nullptr) {
    problems.Add(reader.Path(), "give either \"name\" or \"names\", not both");
    return {};
  }
  if (name) return {{"en_US", *name}};
  if (names == nullptr) return {};
  if (!names->is_object() || names->empty()) {
    problems.Add(reader.PathOf("names"), "must be a non-empty object of locale to name");
    return {};
  }
  LocalizedNames result;
  for (const auto& [locale, text] : names->items()) {
    if (!text.is_string()) {
      problems.Add(reader.PathOf("names") + "." + locale, "must be a string");
      return {};
    }
    result.emplace_back(locale, text.get<std::string>());
  }
  return result;
}

double ReadRefresh(ObjectReader& reader, Problems& problems) {
  const Json* value = reader.Take("refresh_hz");
  if (value == nullptr) return 0;
  if (value->is_number()) return value->get<double>();
  if (value->is_string() && value->get<std::string>() == "nan") return std::nan("");
  problems.Add(reader.PathOf("refresh_hz"), "must be a number or \"nan\"");
  return 0;
}

DisplayModeSpec ReadMode(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  DisplayModeSpec mode;
  mode.Width = reader.Unsigned("width", kMax64, true).value_or(0);
  mode.Height = reader.Unsigned("height", kMax64, true).value_or(0);
  mode.LogicalWidth = reader.Unsigned("logical_width", kMax64, true).value_or(0);
  mode.LogicalHeight = reader.Unsigned("logical_height", kMax64, true).value_or(0);
  mode.RefreshHz = ReadRefresh(reader, problems);
  reader.RejectUnknownKeys();
  return mode;
}

DisplaySpec ReadDisplay(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  DisplaySpec display;
  display.Id = static_cast<std::uint32_t>(reader.Unsigned("id", kMax32, true).value_or(0));
  display.Vendor = static_cast<std::uint32_t>(reader.Unsigned("vendor", kMax32, false).value_or(0));
  display.Product =
      static_cast<std::uint32_t>(reader.Unsigned("product", kMax32, false).value_or(0));
  display.Serial = static_cast<std::uint32_t>(reader.Unsigned("serial", kMax32, false).value_or(0));
  display.Unit = static_cast<std::uint32_t>(reader.Unsigned("unit", kMax32, false).value_or(0));
  display.Builtin = reader.Bool("builtin").value_or(false);
  display.Names = ReadNames(reader, problems);
  display.Location = reader.String("location", false);
  display.LocationExists = reader.Bool("location_exists").value_or(true);
  if (const Json* mode = reader.Take("mode"))
    display.Mode = ReadMode(*mode, reader.PathOf("mode"), problems);
  reader.RejectUnknownKeys();
  if (display.Location && display.LocationExists && !IsServicePath(*display.Location)) {
    problems.Add(reader.PathOf("location"),
                 "must be an IOService path (\"IOService:/...\") unless location_exists is false");
  }
  return display;
}

BusSpec ReadBus(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  BusSpec bus;
  bus.Monitor = reader.String("monitor", false);
  bus.Status = reader.Status("status").value_or(0);
  bus.OpenStatus = reader.Status("open_status").value_or(0);
  bus.RejectDdcciReply = reader.Bool("reject_ddcci_reply").value_or(false);
  reader.RejectUnknownKeys();
  if (reader.IsObject() && bus.Monitor.has_value() == (bus.Status != 0)) {
    problems.Add(path, "needs exactly one of \"monitor\" and \"status\"");
  }
  return bus;
}

// A service's "path", once the rest of its object has been read.
void CheckServicePath(const ObjectReader& reader, std::string_view path, Problems& problems) {
  if (reader.IsObject() && !IsServicePath(path)) {
    problems.Add(reader.PathOf("path"), "must start with \"IOService:/\"");
  }
}

// "class" (the leaf) or "classes" (leaf to root); `className` keeps its default when neither
// is given.
void ReadClasses(ObjectReader& reader, std::string& className, ClassChainSpec& classes,
                 Problems& problems) {
  const auto leaf = reader.String("class", false);
  const Json* chain = reader.Take("classes");
  if (leaf && chain != nullptr) {
    problems.Add(reader.Path(), "give either \"class\" or \"classes\", not both");
    return;
  }
  if (leaf) className = *leaf;
  if (chain == nullptr) return;
  if (!chain->is_array() || chain->empty()) {
    problems.Add(reader.PathOf("classes"), "must be a non-empty array of class names, leaf first");
    return;
  }
  for (std::size_t i = 0; i < chain->size(); ++i) {
    if (!(*chain)[i].is_string() || (*chain)[i].get_ref<const std::string&>().empty()) {
      problems.Add(Item(reader.PathOf("classes"), i), "must be a class name");
      return;
    }
    classes.push_back((*chain)[i].get<std::string>());
  }
  className = classes.front();
}

std::optional<std::uint64_t> ReadEntryId(ObjectReader& reader, Problems& problems) {
  const Json* value = reader.Require("entry_id");
  if (value == nullptr || value->is_null()) return std::nullopt;
  return ReadUnsigned(*value, reader.PathOf("entry_id"), kMax64, problems);
}

FramebufferSpec ReadFramebuffer(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  FramebufferSpec fb;
  fb.EntryId = ReadEntryId(reader, problems);
  ReadClasses(reader, fb.ClassName, fb.Classes, problems);
  fb.Path = reader.String("path", true).value_or("");
  fb.Vendor = reader.Signed("vendor");
  fb.Product = reader.Signed("product");
  fb.Serial = reader.Signed("serial");
  fb.Names = ReadNames(reader, problems);
  fb.Location = reader.String("location", false);
  fb.HasInfo = reader.Bool("info").value_or(true);
  fb.I2cCountStatus = reader.Status("i2c_count_status").value_or(0);
  ForEachItem(reader, "buses", problems, [&](const Json& bus, const std::string& at, std::size_t) {
    fb.Buses.push_back(ReadBus(bus, at, problems));
  });
  fb.InfoExtra = reader.FreeObject("info_extra", true).value_or(Json::object());
  fb.Properties = reader.FreeObject("properties", false).value_or(Json::object());
  reader.RejectUnknownKeys();
  if (!fb.Path.empty()) CheckServicePath(reader, fb.Path, problems);
  return fb;
}

constexpr std::uint64_t kConverterChipAddress = 0xB7;

std::optional<I2cFraming> I2cFramingNamed(std::string_view name) {
  if (name == "standard") return I2cFraming::Standard;
  if (name == "mcdp29xx") return I2cFraming::Mcdp29xx;
  if (name == "ps190") return I2cFraming::Ps190;
  return std::nullopt;
}

AvServiceSpec ReadAvService(const Json& value, const std::string& path, std::size_t index,
                            Problems& problems) {
  ObjectReader reader(value, path, problems);
  AvServiceSpec av;
  av.EntryId = reader.Unsigned("entry_id", kMax64, true).value_or(0);
  const std::string n = std::to_string(index);
  av.Path = reader.String("path", false)
                .value_or("IOService:/sim/dispext" + n + ":dcpav-service-epic:0/DCPAVServiceProxy");
  std::string leaf = "DCPAVServiceProxy";
  ReadClasses(reader, leaf, av.Classes, problems);
  if (leaf != "DCPAVServiceProxy" && av.Classes.empty()) av.Classes = {leaf};
  av.Location = reader.String("location", false);
  av.LocationOnParent = reader.Bool("location_on_parent").value_or(false);
  av.Monitor = reader.String("monitor", false);
  const auto chip = reader.Unsigned("chip", 0xFF, false);
  if (const auto framing = reader.String("framing", false)) {
    const auto named = I2cFramingNamed(*framing);
    if (!named)
      problems.Add(reader.PathOf("framing"), "must be \"standard\", \"mcdp29xx\" or \"ps190\"");
    av.Framing = named.value_or(I2cFraming::Standard);
  } else if (chip == kConverterChipAddress) {
    av.Framing = I2cFraming::Mcdp29xx;
  }
  av.Chip = static_cast<std::uint32_t>(
      chip.value_or(av.Framing == I2cFraming::Mcdp29xx ? kConverterChipAddress : kDisplayChip));
  av.CreateFails = reader.Bool("create_fails").value_or(false);
  av.Properties = reader.FreeObject("properties", false).value_or(Json::object());
  av.ParentProperties = reader.FreeObject("parent_properties", false).value_or(Json::object());
  reader.RejectUnknownKeys();
  CheckServicePath(reader, av.Path, problems);
  return av;
}

ProductAttributesSpec ReadProductAttributes(const Json& value, const std::string& path,
                                            Problems& problems) {
  ObjectReader reader(value, path, problems);
  ProductAttributesSpec display;
  display.Vendor = reader.Signed("vendor");
  display.Product = reader.Signed("product");
  display.Serial = reader.Signed("serial");
  display.Name = reader.String("name", false);
  reader.RejectUnknownKeys();
  return display;
}

MobileFramebufferSpec ReadMobileFramebuffer(const Json& value, const std::string& path,
                                            Problems& problems) {
  ObjectReader reader(value, path, problems);
  MobileFramebufferSpec fb;
  if (const Json* id = reader.Take("entry_id")) {
    fb.EntryId = ReadUnsigned(*id, reader.PathOf("entry_id"), kMax64, problems);
  }
  ReadClasses(reader, fb.ClassName, fb.Classes, problems);
  fb.Path = reader.String("path", true).value_or("");
  if (const Json* display = reader.Take("display")) {
    fb.Display = ReadProductAttributes(*display, reader.PathOf("display"), problems);
  }
  fb.Properties = reader.FreeObject("properties", false).value_or(Json::object());
  reader.RejectUnknownKeys();
  if (!fb.Path.empty()) CheckServicePath(reader, fb.Path, problems);
  return fb;
}

RegistryEntrySpec ReadRegistryEntry(const Json& value, const std::string& path,
                                    Problems& problems) {
  ObjectReader reader(value, path, problems);
  RegistryEntrySpec entry;
  entry.Path = reader.String("path", true).value_or("");
  std::string leaf;
  ReadClasses(reader, leaf, entry.Classes, problems);
  if (!leaf.empty() && entry.Classes.empty()) entry.Classes = {leaf};
  entry.Properties = reader.FreeObject("properties", false).value_or(Json::object());
  reader.RejectUnknownKeys();
  CheckServicePath(reader, entry.Path, problems);
  return entry;
}

std::optional<RequestKind> RequestKindNamed(std::string_view name) {
  if (name == "get") return RequestKind::Get;
  if (name == "set") return RequestKind::Set;
  if (name == "save") return RequestKind::Save;
  if (name == "capabilities") return RequestKind::Capabilities;
  if (name == "any") return RequestKind::Any;
  return std::nullopt;
}

struct NamedFault {
  std::string_view Name;
  FaultKind Kind;
  std::int32_t Status;
};

constexpr NamedFault kNamedFaults[] = {
    {"busy", FaultKind::Status, kIOReturnBusy},
    {"no-device", FaultKind::Status, kIOReturnNoDevice},
    {"unsupported", FaultKind::Status, kIOReturnUnsupported},
    {"unsupported-mode", FaultKind::Status, kIOReturnUnsupportedMode},
    {"not-privileged", FaultKind::Status, kIOReturnNotPrivileged},
    {"not-permitted", FaultKind::Status, kIOReturnNotPermitted},
    {"checksum", FaultKind::Checksum, 0},
    {"null-reply", FaultKind::NullReply, 0},
    {"malformed-source", FaultKind::MalformedSource, 0},
    {"protocol-flag", FaultKind::ProtocolFlag, 0},
    {"short-reply", FaultKind::ShortReply, 0},
    {"wrong-code", FaultKind::WrongCode, 0},
    {"unexpected-result", FaultKind::UnexpectedResult, 0},
    {"offset-mismatch", FaultKind::OffsetMismatch, 0},
    {"dropped-write", FaultKind::DroppedWrite, 0},
    {"zero-reply-after-set", FaultKind::ZeroReplyAfterSet, 0},
};

void ReadFaultKind(ObjectReader& reader, FaultSpec& fault, Problems& problems) {
  const auto name = reader.String("fault", true);
  if (!name) return;
  for (const auto& named : kNamedFaults) {
    if (named.Name == *name) {
      fault.Kind = named.Kind;
      fault.Status = named.Status;
      return;
    }
  }
  Problems raw;
  const auto status = ReadStatus(Json(*name), "", raw);
  if (!status) {
    problems.Add(reader.PathOf("fault"), "unknown fault " + InDoubleQuotes(*name));
    return;
  }
  fault.Kind = FaultKind::Status;
  fault.Status = *status;
}

// Rejects combinations that could never apply, so a scenario never waits on a dead fault.
void CheckFaultApplies(const FaultSpec& fault, const std::string& path, Problems& problems) {
  const bool getOnly =
      fault.Kind == FaultKind::WrongCode || fault.Kind == FaultKind::UnexpectedResult;
  if (getOnly && fault.Request == RequestKind::Capabilities) {
    problems.Add(path, "this fault does not apply to capabilities requests");
  }
  if (fault.Kind == FaultKind::OffsetMismatch && fault.Request == RequestKind::Get) {
    problems.Add(path, "this fault does not apply to get requests");
  }
  if (fault.Kind == FaultKind::ZeroReplyAfterSet && fault.Request != RequestKind::Get &&
      fault.Request != RequestKind::Any) {
    problems.Add(path, "this fault applies to get requests only");
  }
  if (fault.Code && fault.Request == RequestKind::Capabilities) {
    problems.Add(path, "\"code\" does not apply to capabilities requests");
  }
  if (fault.Code && fault.Request == RequestKind::Save) {
    problems.Add(path, "\"code\" does not apply to save requests");
  }
}

FaultSpec ReadFault(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  FaultSpec fault;
  if (const auto request = reader.String("request", true)) {
    const auto kind = RequestKindNamed(*request);
    if (!kind) {
      problems.Add(reader.PathOf("request"),
                   "must be \"get\", \"set\", \"save\", \"capabilities\" or \"any\"");
    }
    fault.Request = kind.value_or(RequestKind::Any);
  }
  if (const auto code = reader.String("code", false)) {
    fault.Code = ReadVcpCode(*code);
    if (!fault.Code)
      problems.Add(reader.PathOf("code"), "must be a VCP code written like \"0x10\"");
  }
  ReadFaultKind(reader, fault, problems);
  if (const Json* count = reader.Take("count")) {
    fault.Count = ReadUnsigned(*count, reader.PathOf("count"), kMax64, problems);
    if (fault.Count == 0u) problems.Add(reader.PathOf("count"), "must be at least 1");
  }
  reader.RejectUnknownKeys();
  if (!problems.Any()) CheckFaultApplies(fault, path, problems);
  return fault;
}

VcpSpec ReadVcp(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  VcpSpec vcp;
  vcp.Current = static_cast<std::uint16_t>(reader.Unsigned("current", 0xFFFF, true).value_or(0));
  vcp.Maximum = static_cast<std::uint16_t>(reader.Unsigned("maximum", 0xFFFF, true).value_or(0));
  vcp.Momentary = reader.Bool("momentary").value_or(false);
  reader.RejectUnknownKeys();
  return vcp;
}

// "alternate_input": {"0x90": "0x11", ...}, the 0xF4 value to the input 0x60 then reports.
void ReadAlternateInput(ObjectReader& reader, MonitorSpec& monitor, Problems& problems) {
  const Json* map = reader.Take("alternate_input");
  if (map == nullptr) return;
  const std::string path = reader.PathOf("alternate_input");
  if (!map->is_object() || map->empty()) {
    problems.Add(path, "must be a non-empty object of 0xF4 value to input value");
    return;
  }
  for (auto it = map->begin(); it != map->end() && !problems.Any(); ++it) {
    const std::string at = path + "." + it.key();
    const auto from = ReadUnsigned(Json(it.key()), at, 0xFFFF, problems);
    const auto to = ReadUnsigned(it.value(), at, 0xFFFF, problems);
    if (from && to) {
      monitor.AlternateInput[static_cast<std::uint16_t>(*from)] = static_cast<std::uint16_t>(*to);
    }
  }
  if (!problems.Any() && !monitor.Vcp.contains(kInputSourceCode)) {
    problems.Add(path, "needs the input source \"0x60\" in \"vcp\"");
  }
}

MonitorSpec ReadMonitor(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  MonitorSpec monitor;
  if (const Json* vcp = reader.Take("vcp")) {
    if (!vcp->is_object()) problems.Add(reader.PathOf("vcp"), "must be an object");
    for (auto it = vcp->begin(); vcp->is_object() && it != vcp->end() && !problems.Any(); ++it) {
      const std::string at = reader.PathOf("vcp") + "." + it.key();
      const auto code = ReadVcpCode(it.key());
      if (!code) {
        problems.Add(at, "a VCP code must be written like \"0x10\"");
      } else if (monitor.Vcp.contains(*code)) {
        problems.Add(at, "VCP code given twice");
      } else {
        monitor.Vcp[*code] = ReadVcp(it.value(), at, problems);
      }
    }
  }
  ReadAlternateInput(reader, monitor, problems);
  monitor.ForgetsUnsaved = reader.Bool("forgets_unsaved").value_or(false);
  if (monitor.ForgetsUnsaved && !problems.Any() && !monitor.Vcp.contains(kPowerModeCode)) {
    problems.Add(reader.PathOf("forgets_unsaved"), "needs the power mode \"0xD6\" in \"vcp\"");
  }
  monitor.Capabilities = reader.String("capabilities", false).value_or("");
  monitor.FragmentSize = static_cast<std::uint32_t>(
      reader.Unsigned("fragment_size", kMaxFragmentSize, false).value_or(32));
  if (monitor.FragmentSize == 0) problems.Add(reader.PathOf("fragment_size"), "must be at least 1");
  ForEachItem(reader, "faults", problems,
              [&](const Json& fault, const std::string& at, std::size_t) {
                monitor.Faults.push_back(ReadFault(fault, at, problems));
              });
  reader.RejectUnknownKeys();
  return monitor;
}

FrameworkSpec ReadFramework(const Json& value, const std::string& path,
                            std::span<const std::string_view> symbols, Problems& problems) {
  FrameworkSpec framework;
  if (value.is_boolean()) {
    framework.Opens = value.get<bool>();
    return framework;
  }
  if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (!value[i].is_string() ||
          std::find(symbols.begin(), symbols.end(), value[i].get<std::string>()) == symbols.end()) {
        problems.Add(Item(path, i), "is not an entry point of this framework");
        return framework;
      }
      framework.MissingSymbols.push_back(value[i].get<std::string>());
    }
    return framework;
  }
  problems.Add(path, "must be true, false or a list of missing entry points");
  return framework;
}

void ReadFrameworks(const Json& value, const std::string& path, Scenario& scenario,
                    Problems& problems) {
  ObjectReader reader(value, path, problems);
  if (const Json* cd = reader.Take("core_display")) {
    scenario.CoreDisplay =
        ReadFramework(*cd, reader.PathOf("core_display"), kCoreDisplayEntryPoints, problems);
  }
  if (const Json* ioav = reader.Take("ioav")) {
    scenario.Ioav = ReadFramework(*ioav, reader.PathOf("ioav"), kIoavEntryPoints, problems);
  }
  reader.RejectUnknownKeys();
}

TimebaseSpec ReadTimebase(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  TimebaseSpec timebase;
  timebase.Numer = static_cast<std::uint32_t>(reader.Unsigned("numer", kMax32, false).value_or(1));
  timebase.Denom = static_cast<std::uint32_t>(reader.Unsigned("denom", kMax32, false).value_or(1));
  timebase.Fails = reader.Bool("fails").value_or(false);
  if (timebase.Denom == 0) problems.Add(reader.PathOf("denom"), "must be at least 1");
  reader.RejectUnknownKeys();
  return timebase;
}

PlatformFailures ReadFailures(const Json& value, const std::string& path, Problems& problems) {
  ObjectReader reader(value, path, problems);
  PlatformFailures failures;
  failures.DisplayCount = reader.Bool("display_count").value_or(false);
  failures.DisplayList = reader.Bool("display_list").value_or(false);
  ForEachItem(reader, "service_matching", problems,
              [&](const Json& name, const std::string& at, std::size_t) {
                if (!name.is_string()) problems.Add(at, "must be a class name");
                if (name.is_string()) failures.ServiceMatching.push_back(name.get<std::string>());
              });
  reader.RejectUnknownKeys();
  return failures;
}

void ReadTopLevel(const Json& root, Scenario& scenario, Problems& problems) {
  ObjectReader reader(root, "", problems);
  reader.Take("description");  // free text for the reader of the file
  ForEachItem(reader, "displays", problems, [&](const Json& v, const std::string& at, std::size_t) {
    scenario.Displays.push_back(ReadDisplay(v, at, problems));
  });
  ForEachItem(reader, "framebuffers", problems,
              [&](const Json& v, const std::string& at, std::size_t) {
                scenario.Framebuffers.push_back(ReadFramebuffer(v, at, problems));
              });
  ForEachItem(reader, "av_services", problems,
              [&](const Json& v, const std::string& at, std::size_t i) {
                scenario.AvServices.push_back(ReadAvService(v, at, i, problems));
              });
  ForEachItem(reader, "mobile_framebuffers", problems,
              [&](const Json& v, const std::string& at, std::size_t) {
                scenario.MobileFramebuffers.push_back(ReadMobileFramebuffer(v, at, problems));
              });
  ForEachItem(reader, "registry_entries", problems,
              [&](const Json& v, const std::string& at, std::size_t) {
                scenario.RegistryEntries.push_back(ReadRegistryEntry(v, at, problems));
              });
  if (const Json* monitors = reader.Take("monitors")) {
    if (!monitors->is_object()) problems.Add("monitors", "must be an object of name to monitor");
    for (auto it = monitors->begin(); monitors->is_object() && it != monitors->end(); ++it) {
      scenario.Monitors[it.key()] = ReadMonitor(it.value(), "monitors." + it.key(), problems);
    }
  }
  if (const Json* frameworks = reader.Take("frameworks")) {
    ReadFrameworks(*frameworks, "frameworks", scenario, problems);
  }
  if (const Json* timebase = reader.Take("timebase")) {
    scenario.Timebase = ReadTimebase(*timebase, "timebase", problems);
  }
  if (const Json* failures = reader.Take("platform_failures")) {
    scenario.Failures = ReadFailures(*failures, "platform_failures", problems);
  }
  reader.RejectUnknownKeys();
}

void CheckMonitorName(const Scenario& scenario, const std::optional<std::string>& name,
                      const std::string& path, Problems& problems) {
  if (name && !scenario.Monitors.contains(*name)) {
    problems.Add(path, "names no monitor " + InDoubleQuotes(*name));
  }
}

// The registry entry ids and paths taken so far, which every kind of service shares.
struct TakenServiceNames {
  std::set<std::uint64_t> EntryIds;
  std::set<std::string> Paths;

  // Takes the service's id (if it has one) and path; `at` names the service.
  void Take(std::optional<std::uint64_t> entryId, const std::string& path, const std::string& at,
            Problems& problems) {
    if (entryId && !EntryIds.insert(*entryId).second) {
      problems.Add(at + ".entry_id", "registry entry id used twice");
    }
    if (!Paths.insert(path).second) problems.Add(at + ".path", "registry path used twice");
  }
};

// Identifiers and paths that must be unique, and monitor names that must exist.
void CheckReferences(const Scenario& scenario, Problems& problems) {
  std::set<std::uint32_t> displayIds;
  for (std::size_t i = 0; i < scenario.Displays.size(); ++i) {
    if (!displayIds.insert(scenario.Displays[i].Id).second) {
      problems.Add(Item("displays", i) + ".id", "display id used twice");
    }
  }
  TakenServiceNames taken;
  for (std::size_t i = 0; i < scenario.Framebuffers.size(); ++i) {
    const auto& fb = scenario.Framebuffers[i];
    const std::string at = Item("framebuffers", i);
    taken.Take(fb.EntryId, fb.Path, at, problems);
    for (std::size_t b = 0; b < fb.Buses.size(); ++b) {
      CheckMonitorName(scenario, fb.Buses[b].Monitor, Item(at + ".buses", b) + ".monitor",
                       problems);
    }
  }
  for (std::size_t i = 0; i < scenario.AvServices.size(); ++i) {
    const auto& av = scenario.AvServices[i];
    const std::string at = Item("av_services", i);
    taken.Take(av.EntryId, av.Path, at, problems);
    CheckMonitorName(scenario, av.Monitor, at + ".monitor", problems);
  }
  for (std::size_t i = 0; i < scenario.MobileFramebuffers.size(); ++i) {
    const auto& fb = scenario.MobileFramebuffers[i];
    taken.Take(fb.EntryId, fb.Path, Item("mobile_framebuffers", i), problems);
  }
  for (std::size_t i = 0; i < scenario.RegistryEntries.size(); ++i) {
    taken.Take(std::nullopt, scenario.RegistryEntries[i].Path, Item("registry_entries", i),
               problems);
  }
}

// nlohmann's messages start with "[json.exception.parse_error.101] "; the rest is the news.
std::string WithoutExceptionTag(std::string message) {
  if (message.starts_with("[json.exception.")) {
    const auto end = message.find("] ");
    if (end != std::string::npos) message.erase(0, end + 2);
  }
  return message;
}

}  // namespace

std::optional<Scenario> ParseScenario(std::string_view text, std::string& problem) {
  try {
    const Json root = ParseJson(text);
    if (!root.is_object()) {
      problem = "the scenario must be a JSON object";
      return std::nullopt;
    }
    Scenario scenario;
    Problems problems;
    ReadTopLevel(root, scenario, problems);
    if (!problems.Any()) CheckReferences(scenario, problems);
    if (problems.Any()) {
      problem = problems.First();
      return std::nullopt;
    }
    return scenario;
  } catch (const std::exception& e) {
    problem = "invalid JSON: " + WithoutExceptionTag(e.what());
    return std::nullopt;
  }
}

}  // namespace lumra::sim
