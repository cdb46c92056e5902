// The Apple silicon enumeration: which DCPAVServiceProxy services become records, what the
// records hold, and how they share one count and capacity with the IOFramebuffer records.
#include <string>
#include <vector>

#include "native/bridge_test_support.hpp"
#include "platform/native/ioav_enumeration.hpp"

namespace lumra::native::testing {
namespace {

class IOAVEnumerationTest : public BridgeTest {};

const std::string kSoC = "IOService:/arm-io@10F00000/AppleSoCIO/";

std::string PipePath(const std::string& adapter) {
  return kSoC + adapter + "@F4000000/IOMobileFramebufferShim";
}

// A display pipe for `adapter`; `extra` adds or replaces keys (JSON members with a leading comma).
std::string Pipe(
    const std::string& adapter,
    const std::string& extra =
        R"(, "display": {"vendor": 4268, "product": 41156, "serial": 7, "name": "Desk"})") {
  return R"({"path": ")" + PipePath(adapter) + "\"" + extra + "}";
}

// A proxy whose parent is named `parent`.
std::string Proxy(const std::string& entryId, const std::string& parent,
                  const std::string& extra = R"(, "location": "External")") {
  return R"({"entry_id": )" + entryId + R"(, "path": ")" + kSoC + "dcpext@B2E00000/" + parent +
         R"(/DCPAVServiceProxy")" + extra + "}";
}

std::string IOAVScenario(const std::string& pipes, const std::string& proxies,
                         const std::string& more = "") {
  return R"({"displays": [{"id": 1, "builtin": true}], "mobile_framebuffers": [)" + pipes +
         R"(], "av_services": [)" + proxies + "]" + more + "}";
}

struct ListedCase {
  std::string name;
  std::string pipes;
  std::string proxies;
  std::vector<uint64_t> endpoints;  // the records' endpoint IDs, in order
};

TEST_F(IOAVEnumerationTest, ListsExternalProxiesWithADisplayBehindThem) {
  const std::string epic = "dispext0:dcpav-service-epic:0";
  const std::vector<ListedCase> cases = {
      {"external with a display", Pipe("dispext0"), Proxy("100", epic), {100}},
      {"embedded",
       Pipe("disp0"),
       Proxy("100", "disp0:dcpav-service-epic:0", R"(, "location": "Embedded")"),
       {}},
      {"no location", Pipe("dispext0"), Proxy("100", epic, ""), {}},
      {"location on the parent",
       Pipe("dispext0"),
       Proxy("100", epic, R"(, "location": "External", "location_on_parent": true)"),
       {100}},
      {"user interface not supported",
       Pipe("dispext0"),
       Proxy(
           "100", epic,
           R"(, "location": "External", "properties": {"IOAVServiceUserInterfaceSupported": false})"),
       {}},
      {"user interface supported",
       Pipe("dispext0"),
       Proxy(
           "100", epic,
           R"(, "location": "External", "properties": {"IOAVServiceUserInterfaceSupported": true})"),
       {100}},
      {"user interface flag of another type",
       Pipe("dispext0"),
       Proxy("100", epic,
             R"(, "location": "External", "properties": {"IOAVServiceUserInterfaceSupported": 0})"),
       {100}},
      {"no pipe under the adapter", Pipe("dispext1"), Proxy("100", epic), {}},
      {"pipe without a display", Pipe("dispext0", ""), Proxy("100", epic), {}},
      {"display attributes not a dictionary",
       Pipe("dispext0", R"(, "properties": {"DisplayAttributes": "x"})"),
       Proxy("100", epic),
       {}},
      {"older pipe class",
       Pipe("dispext0", R"(, "class": "AppleCLCD2", "display": {})"),
       Proxy("100", epic),
       {100}},
      {"pipe of another class",
       Pipe("dispext0", R"(, "class": "SimOtherPipe", "display": {})"),
       Proxy("100", epic),
       {}},
      {"a leaf class not seen yet under the base class",
       Pipe("dispext0", R"(, "classes": ["SimNextPipe", "IOMobileFramebuffer"], "display": {})"),
       Proxy("100", epic),
       {100}},
      {"parent name without a colon", Pipe("dispext0"), Proxy("100", "dispext0"), {}},
      {"parent name with an empty key",
       Pipe("dispext0"),
       Proxy("100", ":dcpav-service-epic:0"),
       {}},
      {"registry order, one pipe per adapter",
       Pipe("dispext1") + "," + Pipe("dispext0"),
       Proxy("300", "dispext1:dcpav-service-epic:0") + "," +
           Proxy("200", "dispext2:dcpav-service-epic:0") + "," + Proxy("100", epic),
       {300, 100}},
      {"two proxies on one adapter",
       Pipe("dispext0"),
       Proxy("100", epic) + "," + R"({"entry_id": 101, "path": ")" + kSoC +
           "dcpext@B2E00000/other/" + epic + R"(/DCPAVServiceProxy", "location": "External"})",
       {100, 101}},
  };
  for (const ListedCase& c : cases) {
    SCOPED_TRACE(c.name);
    Use(IOAVScenario(c.pipes, c.proxies));
    const auto listing = ListExternal();
    ASSERT_EQ(listing.result, static_cast<int32_t>(c.endpoints.size()));
    for (std::size_t i = 0; i < c.endpoints.size(); ++i) {
      EXPECT_EQ(listing.records[i].endpoint_id, c.endpoints[i]);
      EXPECT_EQ(listing.records[i].backend, LUMRA_BACKEND_IOAVSERVICE);
    }
    EXPECT_TRUE(Untouched(listing.records[c.endpoints.size()]));
  }
}

TEST_F(IOAVEnumerationTest, RecordsCarryTheProxyAndTheDisplayPipe) {
  Use(IOAVScenario(
      Pipe("dispext0") + "," +
          Pipe("dispext1", R"(, "display": {"vendor": 1, "product": 2, "name": "Living Room"})") +
          "," + Pipe("disp0", R"(, "display": {}, "properties": {"Other": 1})"),
      Proxy(
          "\"0x100000A31\"", "dispext0:dcpav-service-epic:0",
          R"(, "location": "External", "parent_properties": {"EPICProviderClass": "SimDPPort"})") +
          "," +
          Proxy(
              "\"0x100000B47\"", "dispext1:dcpav-service-epic:0",
              R"(, "location": "External", "parent_properties": {"EPICProviderClass": "AppleDCPMCDP29XX"})") +
          "," + Proxy("\"0x100000C55\"", "disp0:dcpav-service-epic:0")));
  const auto listing = ListExternal();
  ASSERT_EQ(listing.result, 3);

  struct Expected {
    uint64_t endpoint;
    uint32_t vendor, product, serial, chip, connector;
    std::string name, location, interface;
  };
  const Expected expected[] = {
      {0x100000A31, 4268, 41156, 7, 0x37, 0, "Desk", PipePath("dispext0"),
       "dispext0:dcpav-service-epic:0"},
      // The HDMI port's converter chip answers at 0xB7; an absent serial reads 0.
      {0x100000B47, 1, 2, 0, 0xB7, LUMRA_CONNECTOR_HDMI, "Living Room", PipePath("dispext1"),
       "dispext1:dcpav-service-epic:0"},
      // "ProductAttributes" without values: zeros and an empty name.
      {0x100000C55, 0, 0, 0, 0x37, 0, "", PipePath("disp0"), "disp0:dcpav-service-epic:0"},
  };
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const lumra_external_display& r = listing.records[static_cast<std::size_t>(i)];
    const Expected& e = expected[i];
    EXPECT_EQ(r.display_id, 0u);
    EXPECT_EQ(r.reserved0, 0u);
    EXPECT_EQ(r.endpoint_id, e.endpoint);
    EXPECT_EQ(r.vendor_id, e.vendor);
    EXPECT_EQ(r.product_id, e.product);
    EXPECT_EQ(r.serial_number, e.serial);
    EXPECT_EQ(r.backend, LUMRA_BACKEND_IOAVSERVICE);
    EXPECT_EQ(r.chip_address, e.chip);
    EXPECT_EQ(r.connector_type, e.connector);
    EXPECT_EQ(r.mode_valid, 0u);
    EXPECT_EQ(r.pixel_width, 0u);
    EXPECT_EQ(r.refresh_hz, 0.0);
    EXPECT_TRUE(FieldHolds(r.name, e.name));
    EXPECT_TRUE(FieldHolds(r.location, e.location));
    EXPECT_TRUE(FieldHolds(r.proxy_interface_name, e.interface));
  }
}

// One Intel-style display on a framebuffer and two monitors behind proxies.
std::string MixedScenario(const std::string& more = "") {
  return R"({"displays": [{"id": 2, "vendor": 9, "product": 9, "serial": 1, "unit": 1}],
    "framebuffers": [{"entry_id": 4096, "path": "IOService:/gpu@0/fb@1", "vendor": 9,
                      "product": 9, "serial": 1, "buses": [{"status": "0xE00002C0"}]}],
    "mobile_framebuffers": [)" +
         Pipe("dispext0") + "," + Pipe("dispext1") + R"(], "av_services": [)" +
         Proxy("100", "dispext0:dcpav-service-epic:0") + "," +
         Proxy("101", "dispext1:dcpav-service-epic:0") + "]" + more + "}";
}

TEST_F(IOAVEnumerationTest, FramebufferRecordsComeFirstUnderOneCapacity) {
  Use(MixedScenario());
  struct CapacityCase {
    int32_t capacity;
    std::vector<uint64_t> written;
  };
  const CapacityCase cases[] = {{8, {4096, 100, 101}}, {2, {4096, 100}}, {1, {4096}}, {0, {}}};
  for (const CapacityCase& c : cases) {
    SCOPED_TRACE(c.capacity);
    const auto listing = ListExternal(c.capacity);
    EXPECT_EQ(listing.result, 3);
    for (std::size_t i = 0; i < c.written.size(); ++i) {
      EXPECT_EQ(listing.records[i].endpoint_id, c.written[i]);
    }
    EXPECT_TRUE(Untouched(listing.records[c.written.size()]));
  }
  const auto probe = List(lumra_list_external_displays, 0, false);
  EXPECT_EQ(probe.result, 3);
}

TEST_F(IOAVEnumerationTest, FailedRegistryLookupsFailTheWholeList) {
  for (const std::string cls :
       {"DCPAVServiceProxy", "IOMobileFramebufferShim", "AppleCLCD2", "IOMobileFramebuffer"}) {
    SCOPED_TRACE(cls);
    Use(MixedScenario(R"(, "platform_failures": {"service_matching": [")" + cls + "\"]}"));
    const auto listing = ListExternal();
    EXPECT_EQ(listing.result, LUMRA_NATIVE_FAILED);
  }
}

// Only the base class in common: matching the two known leaf names alone finds no pipe, and
// then no monitor.
TEST_F(IOAVEnumerationTest, TheBaseClassFindsPipesOfAnUnknownLeafClass) {
  Use(IOAVScenario(
      Pipe("dispext0", R"(, "classes": ["SimNextPipe", "IOMobileFramebuffer"], "display": {})"),
      Proxy("100", "dispext0:dcpav-service-epic:0")));
  const char* const leafNamesOnly[] = {"IOMobileFramebufferShim", "AppleCLCD2"};
  EXPECT_EQ(ListIoavDisplays(nullptr, 0, leafNamesOnly), 0);
  EXPECT_EQ(ListIoavDisplays(nullptr, 0), 1);
}

// The pipe's "Transport" names the link when it says HDMI or DP; otherwise either HDMI
// converter behind the proxy means HDMI. Only the MCDP29xx converter changes the chip, and only
// the PS190 converter leaves the port two framings (this process forces none).
TEST_F(IOAVEnumerationTest, ConnectorsFromTheTransportAndTheConverter) {
  const struct {
    const char* name;
    const char* downstream;  // nullptr: no "Transport"
    const char* provider;
    uint32_t connector;
    uint32_t chip;
    uint32_t portFlags = 0;
  } cases[] = {
      {"HDMI downstream", "HDMI", "DCPDPService", LUMRA_CONNECTOR_HDMI, 0x37},
      {"DP downstream", "DP", "DCPDP13Service", LUMRA_CONNECTOR_DISPLAYPORT, 0x37},
      {"another downstream", "USB", "DCPDPService", 0, 0x37},
      {"no transport", nullptr, "DCPDPService", 0, 0x37},
      {"PS190 without transport", nullptr, "AppleDCPPS190", LUMRA_CONNECTOR_HDMI, 0x37,
       LUMRA_PORT_TWO_FRAMINGS},
      {"MCDP29xx with HDMI downstream", "HDMI", "AppleDCPMCDP29XX", LUMRA_CONNECTOR_HDMI, 0xB7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string transport =
        c.downstream == nullptr
            ? ""
            : std::string(R"(, "properties": {"Transport": {"Upstream": "DP", "Downstream": ")") +
                  c.downstream + "\"}}";
    Use(IOAVScenario(
        Pipe("dispext0", R"(, "display": {"vendor": 1})" + transport),
        Proxy("100", "dispext0:dcpav-service-epic:0",
              std::string(
                  R"(, "location": "External", "parent_properties": {"EPICProviderClass": ")") +
                  c.provider + "\"}")));
    const auto listing = ListExternal();
    ASSERT_EQ(listing.result, 1);
    EXPECT_EQ(listing.records[0].connector_type, c.connector);
    EXPECT_EQ(listing.records[0].chip_address, c.chip);
    EXPECT_EQ(listing.records[0].port_flags, c.portFlags);
  }
}

TEST_F(IOAVEnumerationTest, ProxiesAreListedWithoutCoreGraphicsDisplays) {
  Use(R"({"mobile_framebuffers": [)" + Pipe("dispext0") + R"(], "av_services": [)" +
      Proxy("100", "dispext0:dcpav-service-epic:0") + "]}");
  EXPECT_EQ(ListExternal().result, 1);
}

TEST(AdapterKeys, FromInterfaceNamesAndRegistryPaths) {
  const std::pair<const char*, const char*> names[] = {
      {"dispext0:dcpav-service-epic:0", "dispext0"},
      {"disp0:dcpav-service-epic:0", "disp0"},
      {"dispext0", ""},
      {":dcpav-service-epic:0", ""},
      {"", ""},
  };
  for (const auto& [name, key] : names) {
    EXPECT_EQ(AdapterKeyFromInterfaceName(name), key) << name;
  }
  const std::pair<const char*, const char*> paths[] = {
      {"IOService:/a/dispext0@F4000000/IOMobileFramebufferShim", "dispext0"},
      {"IOService:/a/disp0/AppleCLCD2", "disp0"},
      {"IOService:/a/dcpext0@1/IOMobileFramebufferShim", ""},
      {"dispext0@1/IOMobileFramebufferShim", ""},
      {"IOService:/a/dispext0@1/", ""},
      {"/dispext0@1/x", "dispext0"},
      {"", ""},
  };
  for (const auto& [path, key] : paths) {
    EXPECT_EQ(AdapterKeyFromRegistryPath(path), key) << path;
  }
}

}  // namespace
}  // namespace lumra::native::testing
