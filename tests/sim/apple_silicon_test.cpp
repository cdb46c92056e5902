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
  EXPECT_EQ(IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching(className), &iterator),
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
        << c.json << "\n" << err.Message();
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

TEST_F(AppleSiliconSimTest, BuiltInScenarioIsChosenByName) {
  setenv("LUMRA_SIMULATION", "apple-silicon", 1);
  ResetScenario();
  const auto proxies = Matching("DCPAVServiceProxy");
  const auto pipes = Matching("IOMobileFramebufferShim");
  const bool noFramebuffers = Matching("IOFramebuffer").empty();
  unsetenv("LUMRA_SIMULATION");
  EXPECT_TRUE(noFramebuffers);
  EXPECT_EQ(pipes.size(), 4u);

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
