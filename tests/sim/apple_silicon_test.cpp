// The Apple silicon registry: display pipes with "DisplayAttributes", proxies under their EPIC
// parents, and the built-in apple-silicon scenario.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

class AppleSiliconSimTest : public SimTest {};

std::vector<io_object_t> Matching(const char* className) {
  io_iterator_t iterator = IO_OBJECT_NULL;
  EXPECT_EQ(
      IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching(className), &iterator),
      KERN_SUCCESS);
  std::vector<io_object_t> services;
  while (io_object_t service = IOIteratorNext(iterator)) services.push_back(service);
  IOObjectRelease(iterator);
  return services;
}

void ReleaseAll(const std::vector<io_object_t>& services) {
  for (io_object_t service : services) IOObjectRelease(service);
}

// A property of the entry itself, as a new object the caller releases.
CFTypeRef Property(io_registry_entry_t entry, const char* key) {
  CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  CFTypeRef value = IORegistryEntryCreateCFProperty(entry, name, kCFAllocatorDefault, 0);
  CFRelease(name);
  return value;
}

std::string ParentName(io_registry_entry_t entry) {
  io_registry_entry_t parent = IO_OBJECT_NULL;
  if (IORegistryEntryGetParentEntry(entry, kIOServicePlane, &parent) != KERN_SUCCESS) return "";
  io_name_t name = {};
  IORegistryEntryGetName(parent, name);
  IOObjectRelease(parent);
  return name;
}

TEST_F(AppleSiliconSimTest, MobileFramebuffersAreValidated) {
  const struct {
    const char* json;
    const char* problem;
  } cases[] = {
      {R"({"mobile_framebuffers": [{}]})", "mobile_framebuffers[0].path: is required"},
      {R"({"mobile_framebuffers": [{"path": "/a/disp0@1/IOMobileFramebufferShim"}]})",
       R"(mobile_framebuffers[0].path: must start with "IOService:/")"},
      {R"({"mobile_framebuffers": [{"path": "IOService:/a", "dispaly": {}}]})",
       R"(mobile_framebuffers[0]: unknown key "dispaly")"},
      {R"({"mobile_framebuffers": [{"path": "IOService:/a", "display": {"serial": "x"}}]})",
       "mobile_framebuffers[0].display.serial"},
      {R"({"mobile_framebuffers": [{"path": "IOService:/a", "display": {"model": 1}}]})",
       R"(mobile_framebuffers[0].display: unknown key "model")"},
      {R"({"av_services": [{"entry_id": 5}], "mobile_framebuffers": [{"entry_id": 5, "path": "IOService:/a"}]})",
       "mobile_framebuffers[0].entry_id: registry entry id used twice"},
      {R"({"av_services": [{"entry_id": 5, "path": "IOService:/a"}], "mobile_framebuffers": [{"path": "IOService:/a"}]})",
       "mobile_framebuffers[0].path: registry path used twice"},
  };
  for (const auto& c : cases) {
    const auto err = UseScenarioText(c.json, "bad.json");
    EXPECT_TRUE(err.Message().starts_with(std::string("scenario \"bad.json\": ") + c.problem))
        << c.json << "\n"
        << err.Message();
  }
}

TEST_F(AppleSiliconSimTest, DisplayPipesCarryProductAttributesAndAreNotFramebuffers) {
  Use(R"({
    "displays": [{"id": 9, "location": "IOService:/soc/dispext0@F4000000/IOMobileFramebufferShim"}],
    "mobile_framebuffers": [
      {"entry_id": 77, "path": "IOService:/soc/dispext0@F4000000/IOMobileFramebufferShim",
       "display": {"vendor": "0x3E56", "product": 10000, "serial": -1, "name": "Desk"}},
      {"path": "IOService:/soc/dispext1@F8000000/AppleCLCD2", "class": "AppleCLCD2",
       "display": {"name": "Old"}, "properties": {"Extra": true}},
      {"path": "IOService:/soc/dispext2@FC000000/IOMobileFramebufferShim",
       "properties": {"DisplayAttributes": "not a dictionary"}}
    ]
  })");
  EXPECT_TRUE(Matching("IOFramebuffer").empty());

  const auto shims = Matching("IOMobileFramebufferShim");
  ASSERT_EQ(shims.size(), 2u);
  uint64_t id = 0;
  EXPECT_EQ(IORegistryEntryGetRegistryEntryID(shims[0], &id), KERN_SUCCESS);
  EXPECT_EQ(id, 77u);
  CFTypeRef attributes = Property(shims[0], "DisplayAttributes");
  ASSERT_NE(attributes, nullptr);
  const auto product = static_cast<CFDictionaryRef>(
      CFDictionaryGetValue(static_cast<CFDictionaryRef>(attributes), CFSTR("ProductAttributes")));
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(Number(CFDictionaryGetValue(product, CFSTR("LegacyManufacturerID"))), 0x3E56);
  EXPECT_EQ(Number(CFDictionaryGetValue(product, CFSTR("ProductID"))), 10000);
  EXPECT_EQ(Number(CFDictionaryGetValue(product, CFSTR("SerialNumber"))), -1);
  EXPECT_EQ(Text(CFDictionaryGetValue(product, CFSTR("ProductName"))), "Desk");
  CFRelease(attributes);
  CFTypeRef replaced = Property(shims[1], "DisplayAttributes");
  EXPECT_EQ(Text(replaced), "not a dictionary");
  CFRelease(replaced);

  const auto clcd = Matching("AppleCLCD2");
  ASSERT_EQ(clcd.size(), 1u);
  EXPECT_EQ(IOObjectConformsTo(clcd[0], "IOService"), 1);
  EXPECT_EQ(IOObjectConformsTo(clcd[0], "IOFramebuffer"), 0);
  CFTypeRef extra = Property(clcd[0], "Extra");
  EXPECT_EQ(extra, static_cast<CFTypeRef>(kCFBooleanTrue));
  CFRelease(extra);

  // The CoreDisplay location of the display is the pipe itself.
  CFStringRef location = CFStringCreateWithCString(
      kCFAllocatorDefault, "IOService:/soc/dispext0@F4000000/IOMobileFramebufferShim",
      kCFStringEncodingUTF8);
  io_registry_entry_t found = IORegistryEntryCopyFromPath(kIOMainPortDefault, location);
  CFRelease(location);
  EXPECT_EQ(IORegistryEntryGetRegistryEntryID(found, &id), KERN_SUCCESS);
  EXPECT_EQ(id, 77u);
  IOObjectRelease(found);
  ReleaseAll(shims);
  ReleaseAll(clcd);
}

// Services carry their classes from leaf to root; matching and conformance honour the whole
// chain, and any registry entry may carry a class and properties of every type real entries
// have.
TEST_F(AppleSiliconSimTest, ClassChainsAndRegistryEntries) {
  Use(R"({
    "framebuffers": [{"entry_id": 1, "path": "IOService:/pci/IGPU@2/AppleIntelFramebuffer@0",
                      "classes": ["AppleIntelFramebuffer", "IOFramebuffer"]}],
    "mobile_framebuffers": [
      {"path": "IOService:/soc/disp0@9C000000/AppleCLCD2", "class": "AppleCLCD2"},
      {"path": "IOService:/soc/dispext0@F4000000/IOMobileFramebufferShim"},
      {"path": "IOService:/soc/dispext1@F8000000/NextPipe",
       "classes": ["SimNextPipe", "IOMobileFramebuffer"]}
    ],
    "av_services": [{"entry_id": 5,
                     "path": "IOService:/soc/dcpext0/ep9/dispext0:dcpav-service-epic:0/DCPAVServiceProxy"}],
    "registry_entries": [
      {"path": "IOService:/soc/dcpext0/ep9/dispext0:dcpav-service-epic:0",
       "class": "AFKEPInterfaceKextV2",
       "properties": {"EPICName": "dcpav-service-epic", "IONameMatch": ["disp0", "dispext0"],
                      "IODisplayEDID": "<00ffffffffffff00>"}}
    ]
  })");
  const struct {
    const char* className;
    std::size_t count;
  } matches[] = {
      {"IOMobileFramebuffer", 3},     {"IOMobileFramebufferAP", 1}, {"AppleCLCD2", 1},
      {"IOMobileFramebufferShim", 1}, {"SimNextPipe", 1},           {"IOFramebuffer", 1},
      {"AppleIntelFramebuffer", 1},   {"AFKEPInterfaceKextV2", 1},  {"DCPAVServiceProxy", 1}};
  for (const auto& m : matches) {
    const auto found = Matching(m.className);
    EXPECT_EQ(found.size(), m.count) << m.className;
    for (io_object_t service : found) EXPECT_EQ(IOObjectConformsTo(service, m.className), 1);
    ReleaseAll(found);
  }

  const auto proxies = Matching("DCPAVServiceProxy");
  ASSERT_EQ(proxies.size(), 1u);
  io_registry_entry_t parent = IO_OBJECT_NULL;
  ASSERT_EQ(IORegistryEntryGetParentEntry(proxies[0], kIOServicePlane, &parent), KERN_SUCCESS);
  EXPECT_EQ(IOObjectConformsTo(parent, "AFKEPInterfaceKextV2"), 1);
  EXPECT_EQ(IOObjectConformsTo(parent, "IOService"), 1);
  CFTypeRef names = Property(parent, "IONameMatch");
  ASSERT_NE(names, nullptr);
  ASSERT_EQ(CFGetTypeID(names), CFArrayGetTypeID());
  ASSERT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(names)), 2);
  EXPECT_EQ(Text(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(names), 1)), "dispext0");
  CFTypeRef edid = Property(parent, "IODisplayEDID");
  ASSERT_NE(edid, nullptr);
  ASSERT_EQ(CFGetTypeID(edid), CFDataGetTypeID());
  const auto data = static_cast<CFDataRef>(edid);
  ASSERT_EQ(CFDataGetLength(data), 8);
  EXPECT_EQ(CFDataGetBytePtr(data)[1], 0xFF);
  EXPECT_EQ(CFDataGetBytePtr(data)[7], 0x00);
  CFRelease(names);
  CFRelease(edid);
  IOObjectRelease(parent);
  ReleaseAll(proxies);
}

TEST_F(AppleSiliconSimTest, BuiltInScenarioIsChosenByName) {
  setenv("LUMRA_SIMULATION", "apple-silicon", 1);
  ResetScenario();
  const auto proxies = Matching("DCPAVServiceProxy");
  // The pipes are of the M1/M2 class, like the MCDP29xx converter behind the HDMI port.
  const auto pipes = Matching("IOMobileFramebuffer");
  const auto newerPipes = Matching("IOMobileFramebufferShim");
  const auto olderPipes = Matching("AppleCLCD2");
  const bool noFramebuffers = Matching("IOFramebuffer").empty();
  unsetenv("LUMRA_SIMULATION");
  EXPECT_TRUE(noFramebuffers);
  ASSERT_EQ(pipes.size(), 4u);
  EXPECT_TRUE(newerPipes.empty());
  EXPECT_EQ(olderPipes.size(), 4u);
  ReleaseAll(olderPipes);

  // The panel, two monitors (one behind the HDMI converter), and a port with nothing behind it.
  std::vector<std::string> proxySummaries;
  for (io_object_t proxy : proxies) {
    CFTypeRef location = Property(proxy, "Location");
    CFTypeRef provider = IORegistryEntrySearchCFProperty(
        proxy, kIOServicePlane, CFSTR("EPICProviderClass"), kCFAllocatorDefault,
        kIORegistryIterateRecursively | kIORegistryIterateParents);
    proxySummaries.push_back(ParentName(proxy) + " " + Text(location) + " " + Text(provider));
    CFRelease(location);
    CFRelease(provider);
  }
  EXPECT_EQ(proxySummaries, (std::vector<std::string>{
                                "disp0:dcpav-service-epic:0 Embedded SimPanelProvider",
                                "dispext0:dcpav-service-epic:0 External SimDisplayPortProvider",
                                "dispext1:dcpav-service-epic:0 External AppleDCPMCDP29XX",
                                "dispext2:dcpav-service-epic:0 External SimDisplayPortProvider"}));
  CFTypeRef freePort = Property(pipes[3], "DisplayAttributes");
  EXPECT_EQ(freePort, nullptr);
  if (freePort != nullptr) CFRelease(freePort);
  ReleaseAll(proxies);
  ReleaseAll(pipes);
}

}  // namespace
}  // namespace lumra::sim::testing
