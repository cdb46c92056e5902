// The simulated I/O Registry: matching, entry IDs, paths, names, property searches, and the
// display information dictionaries of framebuffers and CoreDisplay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_test_support.hpp"

namespace lumra::sim::testing {
namespace {

constexpr const char* kRegistryScenario = R"({
  "displays": [
    {"id": 5, "vendor": 1, "product": 2, "serial": 3, "names": {"en_US": "Five", "fr_FR": "Cinq"},
     "location": "IOService:/gpu@0/fb@1/display0/Five"},
    {"id": 6, "location": "IOService:/elsewhere/Six", "location_exists": false}
  ],
  "framebuffers": [
    {"entry_id": 4096, "path": "IOService:/gpu@0/fb@1", "class": "SimIntelFramebuffer",
     "vendor": 1, "product": 2, "serial": 3, "names": {"en_US": "Five", "fr_FR": "Cinq"},
     "location": "IOService:/gpu@0/fb@1/display0/Five", "buses": [{"monitor": "m"}],
     "properties": {"IOFBDependentIndex": 1}},
    {"entry_id": null, "path": "IOService:/gpu@0/fb@2", "info": false},
    {"entry_id": 4098, "path": "IOService:/gpu@0/fb@3", "product": 9,
     "info_extra": {"DisplayProductID": null, "DisplayVendorID": "text"},
     "i2c_count_status": "0xE00002C7"}
  ],
  "av_services": [
    {"entry_id": 8192, "location": "External", "location_on_parent": true, "monitor": "m"},
    {"entry_id": 8193, "location": "Embedded", "path": "IOService:/arm-io/disp0/DCPAVServiceProxy",
     "parent_properties": {"EPICProviderClass": "SimEPICProvider"}}
  ],
  "monitors": {"m": {}}
})";

class RegistryTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    Use(kRegistryScenario);
  }
};

std::string PathOf(io_registry_entry_t entry) {
  io_string_t path = {};
  if (IORegistryEntryGetPath(entry, kIOServicePlane, path) != KERN_SUCCESS) return "";
  return path;
}

std::vector<std::string> MatchingPaths(const char* className) {
  io_iterator_t iterator = IO_OBJECT_NULL;
  EXPECT_EQ(
      IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching(className), &iterator),
      KERN_SUCCESS);
  std::vector<std::string> paths;
  while (io_object_t service = IOIteratorNext(iterator)) {
    paths.push_back(PathOf(service));
    IOObjectRelease(service);
  }
  IOObjectRelease(iterator);
  return paths;
}

TEST_F(RegistryTest, MatchingFindsServicesByClassInScenarioOrder) {
  EXPECT_EQ(MatchingPaths("IOFramebuffer"),
            (std::vector<std::string>{"IOService:/gpu@0/fb@1", "IOService:/gpu@0/fb@2",
                                      "IOService:/gpu@0/fb@3"}));
  EXPECT_EQ(MatchingPaths("SimIntelFramebuffer"),
            (std::vector<std::string>{"IOService:/gpu@0/fb@1"}));
  EXPECT_EQ(
      MatchingPaths("DCPAVServiceProxy"),
      (std::vector<std::string>{"IOService:/sim/dispext0:dcpav-service-epic:0/DCPAVServiceProxy",
                                "IOService:/arm-io/disp0/DCPAVServiceProxy"}));
  EXPECT_TRUE(MatchingPaths("IODisplayConnect").empty());
}

TEST_F(RegistryTest, MatchingByEntryIdAndConformance) {
  io_service_t fb = ServiceWithId(4096);
  ASSERT_NE(fb, IO_OBJECT_NULL);
  EXPECT_TRUE(IOObjectConformsTo(fb, "IOFramebuffer"));
  EXPECT_TRUE(IOObjectConformsTo(fb, "IOService"));
  EXPECT_FALSE(IOObjectConformsTo(fb, "DCPAVServiceProxy"));
  uint64_t id = 0;
  EXPECT_EQ(IORegistryEntryGetRegistryEntryID(fb, &id), KERN_SUCCESS);
  EXPECT_EQ(id, 4096u);
  IOObjectRelease(fb);

  io_service_t proxy = ServiceWithId(8192);
  EXPECT_FALSE(IOObjectConformsTo(proxy, "IOFramebuffer"));
  IOObjectRelease(proxy);
  EXPECT_EQ(ServiceWithId(12345), IO_OBJECT_NULL);
}

TEST_F(RegistryTest, FramebufferWithoutIdFailsTheIdQuery) {
  io_iterator_t iterator = IO_OBJECT_NULL;
  ASSERT_EQ(IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("IOFramebuffer"),
                                         &iterator),
            KERN_SUCCESS);
  std::vector<kern_return_t> results;
  while (io_object_t service = IOIteratorNext(iterator)) {
    uint64_t id = 0;
    results.push_back(IORegistryEntryGetRegistryEntryID(service, &id));
    IOObjectRelease(service);
  }
  IOObjectRelease(iterator);
  EXPECT_EQ(results, (std::vector<kern_return_t>{KERN_SUCCESS, kIOReturnError, KERN_SUCCESS}));
}

TEST_F(RegistryTest, PathsNamesAndParents) {
  io_registry_entry_t display =
      IORegistryEntryCopyFromPath(kIOMainPortDefault, CFSTR("IOService:/gpu@0/fb@1/display0/Five"));
  ASSERT_NE(display, IO_OBJECT_NULL);
  io_name_t name = {};
  EXPECT_EQ(IORegistryEntryGetName(display, name), KERN_SUCCESS);
  EXPECT_STREQ(name, "Five");
  io_registry_entry_t parent = IO_OBJECT_NULL;
  ASSERT_EQ(IORegistryEntryGetParentEntry(display, kIOServicePlane, &parent), KERN_SUCCESS);
  EXPECT_EQ(PathOf(parent), "IOService:/gpu@0/fb@1/display0");
  io_registry_entry_t grand = IO_OBJECT_NULL;
  ASSERT_EQ(IORegistryEntryGetParentEntry(parent, kIOServicePlane, &grand), KERN_SUCCESS);
  EXPECT_EQ(IORegistryEntryGetName(grand, name), KERN_SUCCESS);
  EXPECT_STREQ(name, "fb");  // the "@1" location is not part of the name
  io_string_t path = {};
  EXPECT_EQ(IORegistryEntryGetPath(grand, "IODeviceTree", path), kIOReturnBadArgument);
  IOObjectRelease(grand);
  IOObjectRelease(parent);
  IOObjectRelease(display);

  // A display location said not to exist has no entry.
  EXPECT_EQ(IORegistryEntryCopyFromPath(kIOMainPortDefault, CFSTR("IOService:/elsewhere/Six")),
            IO_OBJECT_NULL);
  io_registry_entry_t root = IORegistryEntryCopyFromPath(kIOMainPortDefault, CFSTR("IOService:/"));
  EXPECT_EQ(IORegistryEntryGetParentEntry(root, kIOServicePlane, &parent), kIOReturnNoDevice);
  IOObjectRelease(root);
}

TEST_F(RegistryTest, LocationSearchWalksUpOnlyWithParentIteration) {
  io_service_t proxy = ServiceWithId(8192);
  const struct {
    IOOptionBits options;
    const char* want;
  } cases[] = {
      {0, ""},
      {kIORegistryIterateRecursively, ""},
      {kIORegistryIterateRecursively | kIORegistryIterateParents, "External"},
  };
  for (const auto& c : cases) {
    CFTypeRef value = IORegistryEntrySearchCFProperty(proxy, kIOServicePlane, CFSTR("Location"),
                                                      kCFAllocatorDefault, c.options);
    EXPECT_EQ(Text(value), c.want) << c.options;
    if (value != nullptr) CFRelease(value);
  }
  EXPECT_EQ(IORegistryEntryCreateCFProperty(proxy, CFSTR("Location"), nullptr, 0), nullptr);
  io_registry_entry_t parent = IO_OBJECT_NULL;
  ASSERT_EQ(IORegistryEntryGetParentEntry(proxy, kIOServicePlane, &parent), KERN_SUCCESS);
  io_name_t name = {};
  IORegistryEntryGetName(parent, name);
  EXPECT_STREQ(name, "dispext0:dcpav-service-epic:0");
  CFTypeRef own = IORegistryEntryCreateCFProperty(parent, CFSTR("Location"), nullptr, 0);
  EXPECT_EQ(Text(own), "External");
  CFRelease(own);
  IOObjectRelease(parent);
  IOObjectRelease(proxy);

  io_service_t embedded = ServiceWithId(8193);
  CFTypeRef provider = IORegistryEntrySearchCFProperty(
      embedded, kIOServicePlane, CFSTR("EPICProviderClass"), nullptr,
      kIORegistryIterateRecursively | kIORegistryIterateParents);
  EXPECT_EQ(Text(provider), "SimEPICProvider");
  CFRelease(provider);
  IOObjectRelease(embedded);

  // Searching down from the root finds a descendant's property.
  io_registry_entry_t root = IORegistryEntryCopyFromPath(kIOMainPortDefault, CFSTR("IOService:/"));
  CFTypeRef index = IORegistryEntrySearchCFProperty(
      root, kIOServicePlane, CFSTR("IOFBDependentIndex"), nullptr, kIORegistryIterateRecursively);
  EXPECT_EQ(Number(index), 1);
  CFRelease(index);
  IOObjectRelease(root);
}

TEST_F(RegistryTest, FramebufferInformationDictionary) {
  io_service_t fb = ServiceWithId(4096);
  CFDictionaryRef all = IODisplayCreateInfoDictionary(fb, 0);
  CFDictionaryRef preferred = IODisplayCreateInfoDictionary(fb, kIODisplayOnlyPreferredName);
  EXPECT_EQ(Number(CFDictionaryGetValue(all, CFSTR("DisplayVendorID"))), 1);
  EXPECT_EQ(Number(CFDictionaryGetValue(all, CFSTR("DisplayProductID"))), 2);
  EXPECT_EQ(Number(CFDictionaryGetValue(all, CFSTR("DisplaySerialNumber"))), 3);
  EXPECT_EQ(Text(CFDictionaryGetValue(all, CFSTR("IODisplayLocation"))),
            "IOService:/gpu@0/fb@1/display0/Five");
  const auto names = [](CFDictionaryRef info) {
    return CFDictionaryGetCount(
        static_cast<CFDictionaryRef>(CFDictionaryGetValue(info, CFSTR("DisplayProductName"))));
  };
  EXPECT_EQ(names(all), 2);
  EXPECT_EQ(names(preferred), 1);
  CFRelease(all);
  CFRelease(preferred);
  IOItemCount buses = 0;
  EXPECT_EQ(IOFBGetI2CInterfaceCount(fb, &buses), kIOReturnSuccess);
  EXPECT_EQ(buses, 1u);
  IOObjectRelease(fb);
}

TEST_F(RegistryTest, FramebufferOptionsTakeKeysAway) {
  io_service_t third = ServiceWithId(4098);
  CFDictionaryRef info = IODisplayCreateInfoDictionary(third, kIODisplayOnlyPreferredName);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(CFDictionaryGetValue(info, CFSTR("DisplayProductID")), nullptr);
  EXPECT_EQ(CFDictionaryGetValue(info, CFSTR("DisplaySerialNumber")), nullptr);
  EXPECT_EQ(CFDictionaryGetValue(info, CFSTR("DisplayProductName")), nullptr);
  EXPECT_EQ(Text(CFDictionaryGetValue(info, CFSTR("DisplayVendorID"))), "text");
  EXPECT_EQ(Text(CFDictionaryGetValue(info, CFSTR("IODisplayLocation"))), "unknown");
  CFRelease(info);
  IOItemCount buses = 7;
  EXPECT_EQ(IOFBGetI2CInterfaceCount(third, &buses), kIOReturnUnsupported);
  IOObjectRelease(third);

  io_iterator_t iterator = IO_OBJECT_NULL;
  IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("IOFramebuffer"), &iterator);
  IOObjectRelease(IOIteratorNext(iterator));
  io_object_t second = IOIteratorNext(iterator);
  EXPECT_EQ(IODisplayCreateInfoDictionary(second, 0), nullptr);
  EXPECT_EQ(IOFBGetI2CInterfaceCount(second, &buses), kIOReturnSuccess);
  EXPECT_EQ(buses, 0u);
  io_service_t interface = IO_OBJECT_NULL;
  EXPECT_EQ(IOFBCopyI2CInterfaceForBus(second, 0, &interface), kIOReturnNoDevice);
  IOObjectRelease(second);
  IOObjectRelease(iterator);
}

TEST_F(RegistryTest, CoreDisplayDictionaryFromTheLoader) {
  void* library = lumra_sim_dlopen("/System/Library/Frameworks/CoreDisplay.framework/CoreDisplay",
                                   RTLD_LAZY | RTLD_LOCAL);
  ASSERT_NE(library, nullptr);
  using create_fn = CFDictionaryRef (*)(CGDirectDisplayID);
  auto create = reinterpret_cast<create_fn>(
      lumra_sim_dlsym(library, "CoreDisplay_DisplayCreateInfoDictionary"));
  ASSERT_NE(create, nullptr);
  CFDictionaryRef five = create(5);
  const auto* names =
      static_cast<CFDictionaryRef>(CFDictionaryGetValue(five, CFSTR("DisplayProductName")));
  EXPECT_EQ(CFDictionaryGetCount(names), 2);
  EXPECT_EQ(Text(CFDictionaryGetValue(names, CFSTR("fr_FR"))), "Cinq");
  EXPECT_EQ(Text(CFDictionaryGetValue(five, CFSTR("IODisplayLocation"))),
            "IOService:/gpu@0/fb@1/display0/Five");
  CFDictionaryRef six = create(6);
  EXPECT_EQ(CFDictionaryGetValue(six, CFSTR("DisplayProductName")), nullptr);
  EXPECT_EQ(Text(CFDictionaryGetValue(six, CFSTR("IODisplayLocation"))),
            "IOService:/elsewhere/Six");
  EXPECT_EQ(create(99), nullptr);
  CFRelease(five);
  CFRelease(six);
  EXPECT_EQ(lumra_sim_dlclose(library), 0);
  EXPECT_EQ(lumra_sim_dlclose(library), -1);
}

TEST_F(RegistryTest, MatchingConsumesTheDictionaryOnEveryPath) {
  const std::size_t before = LiveObjectCount();
  io_iterator_t iterator = IO_OBJECT_NULL;
  EXPECT_EQ(
      IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("IOFramebuffer"), nullptr),
      kIOReturnBadArgument);
  EXPECT_EQ(IOServiceGetMatchingService(kIOMainPortDefault, IORegistryEntryIDMatching(777)),
            IO_OBJECT_NULL);
  Use(R"({"platform_failures": {"service_matching": ["IOFramebuffer"]}})");
  EXPECT_EQ(IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("IOFramebuffer"),
                                         &iterator),
            kIOReturnError);
  EXPECT_EQ(LiveObjectCount(), before);
  // The other classes still match.
  EXPECT_EQ(
      IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("IOService"), &iterator),
      KERN_SUCCESS);
  IOObjectRelease(iterator);
}

TEST_F(RegistryTest, ReleasingAHandleTwiceIsNoticed) {
  const std::size_t misuses = MisuseCount();
  io_service_t fb = ServiceWithId(4096);
  EXPECT_EQ(IOObjectRelease(fb), KERN_SUCCESS);
  EXPECT_EQ(IOObjectRelease(fb), kIOReturnBadArgument);
  EXPECT_EQ(MisuseCount(), misuses + 1);
}

}  // namespace
}  // namespace lumra::sim::testing
