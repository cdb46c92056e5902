// The two list functions against scenarios of displays and framebuffers: pairing, record
// contents and fallbacks, mode validity, capacity and probing, skipped framebuffers, platform
// failures, cut text fields, and the once-per-process CoreDisplay lookup.
// They need the stand-in platform, which exists only where the system frameworks do not.
#if !defined(__APPLE__)

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "bridge_test_support.hpp"

namespace lumra::native::testing {
namespace {

// Vendor 16, product 32 unless `extra` says otherwise.
std::string Display(uint32_t id, uint32_t serial, uint32_t unit, const std::string& extra = "") {
  return "{\"id\": " + std::to_string(id) +
         ", \"vendor\": 16, \"product\": 32, \"serial\": " + std::to_string(serial) +
         ", \"unit\": " + std::to_string(unit) + extra + "}";
}

std::string BuiltIn(uint32_t id, uint32_t serial, uint32_t unit) {
  return Display(id, serial, unit, ", \"builtin\": true");
}

// A framebuffer whose one bus answers nothing; `serial` < 0 leaves the serial out.
std::string Framebuffer(uint64_t entry, int64_t serial, const std::string& location,
                        const std::string& extra = "") {
  std::string text = "{\"entry_id\": " + std::to_string(entry) + ", \"path\": \"IOService:/t/fb" +
                     std::to_string(entry) + "\", \"vendor\": 16, \"product\": 32";
  if (serial >= 0) text += ", \"serial\": " + std::to_string(serial);
  return text + ", \"location\": \"" + location + "\", \"buses\": [{\"status\": \"0xE00002C0\"}]" +
         extra + "}";
}

std::string Scenario(const std::string& displays, const std::string& framebuffers,
                     const std::string& more = "") {
  return "{\"displays\": [" + displays + "], \"framebuffers\": [" + framebuffers + "]" + more + "}";
}

using Pairs = std::vector<std::pair<uint32_t, uint64_t>>;

class EnumerationTest : public BridgeTest {};

TEST_F(EnumerationTest, PairsDisplaysWithTheirOneFramebuffer) {
  struct Case {
    const char* name;
    std::string displays;
    std::string framebuffers;
    Pairs listed;  // display → endpoint, in display order
    int32_t metadata;
  };
  const Case cases[] = {
      {"unit and serial", Display(2, 9, 3), Framebuffer(256, 9, "/t/d@3"), {{2, 256}}, 1},
      {"unit only", Display(2, 0, 3), Framebuffer(256, 9, "/t/d@3"), {{2, 256}}, 1},
      {"serial only: a letter after the last @",
       Display(2, 9, 3),
       Framebuffer(256, 9, "/t/d@x3"),
       {{2, 256}},
       1},
      {"unit 12 equals the display's",
       Display(2, 0, 12),
       Framebuffer(256, 0, "/t/a@3/d@12"),
       {{2, 256}},
       1},
      {"unit 12 differs from the display's",
       Display(2, 9, 1),
       Framebuffer(256, 9, "/t/a@1/d@12"),
       {},
       1},
      {"digits stop at the first non-digit",
       Display(2, 0, 1),
       Framebuffer(256, 0, "/t/d@1x"),
       {{2, 256}},
       1},
      {"neither unit nor serial", Display(2, 0, 1), Framebuffer(256, 0, "/t/d@x1"), {}, 1},
      {"serials differ", Display(2, 9, 3), Framebuffer(256, 8, "/t/d@3"), {}, 1},
      {"two framebuffers tie",
       Display(2, 9, 3),
       Framebuffer(256, 9, "/t/a") + "," + Framebuffer(512, 9, "/t/b"),
       {},
       1},
      {"the better score wins",
       Display(2, 9, 3),
       Framebuffer(256, 9, "/t/a") + "," + Framebuffer(512, 9, "/t/b@3"),
       {{2, 512}},
       1},
      {"a built-in twin makes a serial pairing ambiguous",
       BuiltIn(1, 9, 1) + "," + Display(2, 9, 1),
       Framebuffer(256, 9, "/t/d@x"),
       {},
       1},
      {"a unit tells the built-in twin apart",
       BuiltIn(1, 9, 0) + "," + Display(2, 9, 1),
       Framebuffer(256, 9, "/t/d@1"),
       {{2, 256}},
       1},
      {"a display the framebuffer matches better takes it",
       Display(2, 0, 1) + "," + Display(3, 9, 1),
       Framebuffer(256, 9, "/t/d@1"),
       {{3, 256}},
       2},
      {"records follow the display order",
       Display(5, 0, 1) + "," + Display(4, 0, 2),
       Framebuffer(256, 0, "/t/d@2") + "," + Framebuffer(512, 0, "/t/d@1"),
       {{5, 512}, {4, 256}},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Use(Scenario(c.displays, c.framebuffers));
    const auto external = ListExternal();
    ASSERT_EQ(external.result, static_cast<int32_t>(c.listed.size()));
    for (std::size_t i = 0; i < c.listed.size(); ++i) {
      EXPECT_EQ(external.records[i].display_id, c.listed[i].first);
      EXPECT_EQ(external.records[i].endpoint_id, c.listed[i].second);
    }
    EXPECT_TRUE(Untouched(external.records[c.listed.size()]));
    EXPECT_EQ(ListMetadata().result, c.metadata);
  }
}

TEST_F(EnumerationTest, RecordsCarryEveryFieldAndNothingElse) {
  Use(Scenario(
      BuiltIn(1, 0, 0) + R"(, {"id": 42, "vendor": "0x3E56", "product": "0x2710", "unit": 1,
          "name": "Desk", "location": "IOService:/t/gpu/desk",
          "mode": {"width": 2560, "height": 1440, "logical_width": 1280, "logical_height": 720,
                   "refresh_hz": 59.95}})",
      R"({"entry_id": "0x100000412", "path": "IOService:/t/gpu/fb@1", "vendor": "0x3E56",
          "product": "0x2710", "serial": 66, "name": "Framebuffer Desk", "location": "/t/desk@1",
          "buses": [{"status": "0xE00002C0"}]})"));

  const auto external = ListExternal();
  ASSERT_EQ(external.result, 1);
  const lumra_external_display& e = external.records[0];
  EXPECT_EQ(e.display_id, 42u);
  EXPECT_EQ(e.reserved0, 0u);
  EXPECT_EQ(e.endpoint_id, 0x100000412u);
  EXPECT_EQ(e.vendor_id, 0x3E56u);
  EXPECT_EQ(e.product_id, 0x2710u);
  EXPECT_EQ(e.serial_number, 66u);  // the display's is 0: the framebuffer's
  EXPECT_EQ(e.backend, LUMRA_BACKEND_IOFRAMEBUFFER);
  EXPECT_EQ(e.chip_address, 0x37u);
  EXPECT_EQ(e.connector_type, 0u);
  EXPECT_EQ(e.mode_valid, 1u);
  EXPECT_EQ(e.pixel_width, 2560u);
  EXPECT_EQ(e.pixel_height, 1440u);
  EXPECT_EQ(e.logical_width, 1280u);
  EXPECT_EQ(e.logical_height, 720u);
  EXPECT_EQ(e.port_flags, 0u);
  EXPECT_DOUBLE_EQ(e.refresh_hz, 59.95);
  EXPECT_TRUE(FieldHolds(e.name, "Desk"));
  EXPECT_TRUE(FieldHolds(e.location, "/t/desk@1"));
  EXPECT_TRUE(FieldHolds(e.proxy_interface_name, ""));

  const auto metadata = ListMetadata();
  ASSERT_EQ(metadata.result, 1);
  const lumra_display_metadata& m = metadata.records[0];
  EXPECT_EQ(m.display_id, 42u);
  EXPECT_EQ(m.vendor_id, 0x3E56u);
  EXPECT_EQ(m.product_id, 0x2710u);
  EXPECT_EQ(m.serial_number, 0u);  // the display's own
  EXPECT_EQ(m.mode_valid, 1u);
  EXPECT_EQ(m.pixel_width, 2560u);
  EXPECT_EQ(m.pixel_height, 1440u);
  EXPECT_EQ(m.logical_width, 1280u);
  EXPECT_EQ(m.logical_height, 720u);
  EXPECT_EQ(m.reserved0, 0u);
  EXPECT_DOUBLE_EQ(m.refresh_hz, 59.95);
  EXPECT_TRUE(FieldHolds(m.name, "Desk"));
  EXPECT_TRUE(FieldHolds(m.display_location, "IOService:/t/gpu/desk"));
  EXPECT_TRUE(Untouched(metadata.records[1]));
}

TEST_F(EnumerationTest, NamesAndLocationsFallBack) {
  struct Case {
    const char* name;
    std::string displayExtra;
    std::string framebufferExtra;
    const char* framebufferLocation;
    const char* externalName;
    const char* externalLocation;
    const char* metadataName;
    const char* metadataLocation;
  };
  const char* const registryPath = "IOService:/t/fb256";
  const Case cases[] = {
      {"the display's name wins", R"(, "name": "Desk")", R"(, "name": "Framebuffer")", "/t/d",
       "Desk", "/t/d", "Desk", ""},
      {"the framebuffer's preferred name stands in", "",
       R"(, "names": {"en_US": "First", "de_DE": "Zweite"})", "/t/d", "First", "/t/d", "", ""},
      {"the first localized display name", R"(, "names": {"fr_FR": "Premier", "en_US": "Second"})",
       "", "/t/d", "Premier", "/t/d", "Premier", ""},
      {"no name anywhere", "", "", "/t/d", "", "/t/d", "", ""},
      {"a missing framebuffer location takes the registry path", "",
       R"(, "info_extra": {"IODisplayLocation": null})", "/t/d", "", registryPath, "", ""},
      {"an empty framebuffer location takes the registry path", "", "", "", "", registryPath, "",
       ""},
      {"a location that is not a string takes the registry path", "",
       R"(, "info_extra": {"IODisplayLocation": 7})", "/t/d", "", registryPath, "", ""},
      {"an existing display location is kept", R"(, "location": "IOService:/t/panel")", "", "/t/d",
       "", "/t/d", "", "IOService:/t/panel"},
      {"a display location naming no entry is dropped",
       R"(, "location": "IOService:/t/gone", "location_exists": false)", "", "/t/d", "", "/t/d", "",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Use(Scenario(Display(2, 9, 0, c.displayExtra),
                 Framebuffer(256, 9, c.framebufferLocation, c.framebufferExtra)));
    const auto external = ListExternal();
    ASSERT_EQ(external.result, 1);
    EXPECT_TRUE(FieldHolds(external.records[0].name, c.externalName));
    EXPECT_TRUE(FieldHolds(external.records[0].location, c.externalLocation));
    const auto metadata = ListMetadata();
    ASSERT_EQ(metadata.result, 1);
    EXPECT_TRUE(FieldHolds(metadata.records[0].name, c.metadataName));
    EXPECT_TRUE(FieldHolds(metadata.records[0].display_location, c.metadataLocation));
  }
}

TEST_F(EnumerationTest, ModesAreValidOnlyWithPixelsThatFit) {
  struct Case {
    const char* mode;  // "" for no mode
    bool valid;
    uint32_t width, height, logicalWidth, logicalHeight;
    double refresh;
  };
  const Case cases[] = {
      {R"({"width": 1920, "height": 1080, "logical_width": 960, "logical_height": 540,
           "refresh_hz": 59.94})",
       true, 1920, 1080, 960, 540, 59.94},
      {R"({"width": 800, "height": 600, "logical_width": 800, "logical_height": 600})", true, 800,
       600, 800, 600, 0},
      {R"({"width": 800, "height": 600, "logical_width": 800, "logical_height": 600,
           "refresh_hz": -30})",
       true, 800, 600, 800, 600, 0},
      {R"({"width": 800, "height": 600, "logical_width": 800, "logical_height": 600,
           "refresh_hz": "nan"})",
       true, 800, 600, 800, 600, 0},
      {R"({"width": 4294967295, "height": 1, "logical_width": 0, "logical_height": 0,
           "refresh_hz": 30})",
       true, 4294967295u, 1, 0, 0, 30},
      {R"({"width": 0, "height": 600, "logical_width": 800, "logical_height": 600,
           "refresh_hz": 60})",
       false, 0, 0, 0, 0, 0},
      {R"({"width": 800, "height": 0, "logical_width": 800, "logical_height": 600,
           "refresh_hz": 60})",
       false, 0, 0, 0, 0, 0},
      {R"({"width": 4294967296, "height": 600, "logical_width": 800, "logical_height": 600,
           "refresh_hz": 60})",
       false, 0, 0, 0, 0, 0},
      {R"({"width": 800, "height": 600, "logical_width": 800, "logical_height": 4294967296,
           "refresh_hz": 60})",
       false, 0, 0, 0, 0, 0},
      {"", false, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::string mode = *c.mode != '\0' ? std::string(", \"mode\": ") + c.mode : "";
    Use(Scenario(Display(2, 9, 0, mode), Framebuffer(256, 9, "/t/d")));
    const auto metadata = ListMetadata();
    ASSERT_EQ(metadata.result, 1);
    const lumra_display_metadata& m = metadata.records[0];
    EXPECT_EQ(m.mode_valid, c.valid ? 1u : 0u);
    EXPECT_EQ(m.pixel_width, c.width);
    EXPECT_EQ(m.pixel_height, c.height);
    EXPECT_EQ(m.logical_width, c.logicalWidth);
    EXPECT_EQ(m.logical_height, c.logicalHeight);
    EXPECT_FALSE(std::isnan(m.refresh_hz));
    EXPECT_DOUBLE_EQ(m.refresh_hz, c.refresh);
    // The external record takes the same mode.
    const auto external = ListExternal();
    ASSERT_EQ(external.result, 1);
    EXPECT_EQ(external.records[0].mode_valid, m.mode_valid);
    EXPECT_EQ(external.records[0].pixel_width, m.pixel_width);
    EXPECT_EQ(external.records[0].logical_height, m.logical_height);
    EXPECT_DOUBLE_EQ(external.records[0].refresh_hz, m.refresh_hz);
  }
}

// Three external displays that pair, after a built-in one.
const std::string kThreeDisplays = Scenario(
    BuiltIn(1, 0, 0) + "," + Display(2, 0, 1) + "," + Display(3, 0, 2) + "," + Display(4, 0, 3),
    Framebuffer(256, 0, "/t/d@1") + "," + Framebuffer(512, 0, "/t/d@2") + "," +
        Framebuffer(768, 0, "/t/d@3"));

template <typename Record>
void ExpectFullCountAndCappedRecords(int32_t (*list)(Record*, int32_t)) {
  const struct {
    bool withBuffer;
    int32_t capacity;
    std::size_t written;
  } cases[] = {
      {false, 0, 0}, {false, 5, 0}, {true, 0, 0}, {true, -1, 0},
      {true, 1, 1},  {true, 2, 2},  {true, 3, 3}, {true, 5, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "buffer " << c.withBuffer << ", capacity " << c.capacity);
    const Listing<Record> listing = List(list, c.capacity, c.withBuffer, 6);
    EXPECT_EQ(listing.result, 3);
    for (std::size_t i = 0; i < listing.records.size(); ++i) {
      if (i < c.written) {
        EXPECT_EQ(listing.records[i].display_id, i + 2);
      } else {
        EXPECT_TRUE(Untouched(listing.records[i])) << "record " << i;
      }
    }
  }
}

TEST_F(EnumerationTest, CountIsFullWhateverTheCapacity) {
  Use(kThreeDisplays);
  ExpectFullCountAndCappedRecords(lumra_list_external_displays);
  ExpectFullCountAndCappedRecords(lumra_list_display_metadata);
}

TEST_F(EnumerationTest, EmptySystemsAndPlatformFailures) {
  const std::string oneDisplay = Display(2, 9, 1);
  const std::string oneFramebuffer = Framebuffer(256, 9, "/t/d@1");
  const struct {
    const char* name;
    std::string scenario;
    int32_t external;
    int32_t metadata;
  } cases[] = {
      {"no display at all", "{}", 0, 0},
      {"only a built-in display", Scenario(BuiltIn(1, 9, 1), oneFramebuffer), 0, 0},
      {"no framebuffer", Scenario(oneDisplay, ""), 0, 1},
      {"the display count fails",
       Scenario(oneDisplay, oneFramebuffer, R"(, "platform_failures": {"display_count": true})"),
       -2, -2},
      {"the display list fails",
       Scenario(oneDisplay, oneFramebuffer, R"(, "platform_failures": {"display_list": true})"), -2,
       -2},
      {"framebuffer matching fails",
       Scenario(oneDisplay, oneFramebuffer,
                R"(, "platform_failures": {"service_matching": ["IOFramebuffer"]})"),
       -2, 1},
      {"framebuffer matching fails with no display",
       Scenario("", oneFramebuffer,
                R"(, "platform_failures": {"service_matching": ["IOFramebuffer"]})"),
       0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(c.scenario);
    const auto external = ListExternal();
    EXPECT_EQ(external.result, c.external);
    const auto metadata = ListMetadata();
    EXPECT_EQ(metadata.result, c.metadata);
    if (c.external <= 0) {
      EXPECT_TRUE(Untouched(external.records[0]));
    }
    if (c.metadata <= 0) {
      EXPECT_TRUE(Untouched(metadata.records[0]));
    }
  }

  // A scenario the platform cannot load fails every enumeration call.
  EXPECT_TRUE(sim::UseScenarioText(R"({"displays": [{"vendor": 1}]})", "broken.json"));
  EXPECT_EQ(ListExternal().result, -2);
  EXPECT_EQ(ListMetadata().result, -2);
}

// Each variant of a second framebuffer would tie with a good one if it were kept, so the
// display is listed exactly when the variant is skipped.
TEST_F(EnumerationTest, UnusableFramebuffersAreSkipped) {
  const struct {
    const char* name;
    uint64_t displayVendor;
    uint64_t displayProduct;
    std::string framebuffer;  // keys after "entry_id" and "path"
    bool skipped;
  } cases[] = {
      {"kept: no serial", 16, 32, R"("vendor": 16, "product": 32, "buses": [{"monitor": "m"}])",
       false},
      {"no buses", 16, 32, R"("vendor": 16, "product": 32, "buses": [])", true},
      {"the bus count fails", 16, 32,
       R"("vendor": 16, "product": 32, "buses": [{"monitor": "m"}], "i2c_count_status": "0xE00002BC")",
       true},
      {"no information dictionary", 16, 32,
       R"("vendor": 16, "product": 32, "buses": [{"monitor": "m"}], "info": false)", true},
      {"no vendor", 0, 32, R"("product": 32, "buses": [{"monitor": "m"}])", true},
      {"no product", 16, 0, R"("vendor": 16, "buses": [{"monitor": "m"}])", true},
      {"a vendor of 2^32", 0, 32,
       R"("vendor": 4294967296, "product": 32, "buses": [{"monitor": "m"}])", true},
      {"a vendor below -2^31", 0x7FFFFFFF, 32,
       R"("vendor": -2147483649, "product": 32, "buses": [{"monitor": "m"}])", true},
      {"a vendor that is not a number", 0, 32,
       R"("product": 32, "buses": [{"monitor": "m"}], "info_extra": {"DisplayVendorID": "0"})",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string vendorProduct = "\"vendor\": " + std::to_string(c.displayVendor) +
                                      ", \"product\": " + std::to_string(c.displayProduct);
    Use("{\"displays\": [{\"id\": 2, " + vendorProduct +
        ", \"unit\": 1}], \"framebuffers\": [{\"entry_id\": 256, \"path\": "
        "\"IOService:/t/good\", " +
        vendorProduct + ", \"location\": \"/t/d@1\", \"buses\": [{\"monitor\": \"m\"}]}, " +
        "{\"entry_id\": 512, \"path\": \"IOService:/t/bad\", \"location\": \"/t/d@1\", " +
        c.framebuffer + "}], \"monitors\": {\"m\": {}}}");
    const auto external = ListExternal();
    ASSERT_EQ(external.result, c.skipped ? 1 : 0);
    if (c.skipped) {
      EXPECT_EQ(external.records[0].endpoint_id, 256u);
    }
  }

  // Without a registry entry identifier the framebuffer is skipped as well.
  Use(Scenario(Display(2, 9, 1),
               Framebuffer(256, 9, "/t/d@1") + "," +
                   R"({"entry_id": null, "path": "IOService:/t/noid", "vendor": 16,
                                         "product": 32, "serial": 9, "location": "/t/d@1",
                                         "buses": [{"status": "0xE00002C0"}]})"));
  const auto external = ListExternal();
  ASSERT_EQ(external.result, 1);
  EXPECT_EQ(external.records[0].endpoint_id, 256u);
}

TEST_F(EnumerationTest, NegativeNumbersKeepTheirLowBits) {
  const struct {
    int64_t framebufferVendor;
    uint32_t displayVendor;
  } cases[] = {{-1, 0xFFFFFFFFu}, {-2147483648LL, 0x80000000u}, {4294967295LL, 0xFFFFFFFFu}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.framebufferVendor);
    Use("{\"displays\": [{\"id\": 2, \"vendor\": " + std::to_string(c.displayVendor) +
        ", \"product\": 32, \"unit\": 1}], \"framebuffers\": [{\"entry_id\": 256, \"path\": "
        "\"IOService:/t/fb\", \"vendor\": " +
        std::to_string(c.framebufferVendor) +
        ", \"product\": 32, \"location\": \"/t/d@1\", \"buses\": [{\"status\": "
        "\"0xE00002C0\"}]}]}");
    const auto external = ListExternal();
    ASSERT_EQ(external.result, 1);
    EXPECT_EQ(external.records[0].vendor_id, c.displayVendor);
  }
}

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Over-long texts end inside their fields, NUL-terminated, never in the middle of a character.
TEST_F(EnumerationTest, LongTextsAreCutAtACharacterBoundary) {
  const std::string euro = "\xE2\x82\xAC";
  const std::string longName = "ab" + Repeat(euro, 100);                  // 302 bytes
  const std::string longLocation = "IOService:/t/x" + Repeat(euro, 196);  // 602 bytes
  const std::string framebufferLocation = "/t/yz" + Repeat(euro, 200);    // 605 bytes
  Use(Scenario(
      Display(2, 9, 0, ", \"name\": \"" + longName + "\", \"location\": \"" + longLocation + "\""),
      Framebuffer(256, 9, framebufferLocation)));

  const auto external = ListExternal();
  ASSERT_EQ(external.result, 1);
  EXPECT_TRUE(FieldHolds(external.records[0].name, "ab" + Repeat(euro, 84)));          // 254
  EXPECT_TRUE(FieldHolds(external.records[0].location, "/t/yz" + Repeat(euro, 168)));  // 509
  const auto metadata = ListMetadata();
  ASSERT_EQ(metadata.result, 1);
  EXPECT_TRUE(FieldHolds(metadata.records[0].name, "ab" + Repeat(euro, 84)));
  EXPECT_TRUE(FieldHolds(metadata.records[0].display_location,
                         "IOService:/t/x" + Repeat(euro, 165)));  // 509 bytes
}

// The CoreDisplay lookup happens once per process, so each case runs in a fresh child process
// (the threadsafe death-test style re-executes the test binary) and reports through its exit.
std::string CoreDisplayMissingProblems(const char* frameworks) {
  std::string problems;
  const auto note = [&problems](bool ok, const std::string& what) {
    if (!ok) problems += what + "\n";
  };
  const std::string scenario =
      Scenario(Display(2, 9, 1, R"(, "name": "Desk", "location": "IOService:/t/desk")"),
               Framebuffer(256, 9, "/t/d@1", R"(, "name": "Framebuffer Desk")"),
               std::string(", \"frameworks\": {\"core_display\": ") + frameworks + "}");
  const std::string withCoreDisplay =
      Scenario(Display(2, 9, 1, R"(, "name": "Desk", "location": "IOService:/t/desk")"),
               Framebuffer(256, 9, "/t/d@1", R"(, "name": "Framebuffer Desk")"));
  for (const std::string& text : {scenario, withCoreDisplay}) {
    if (sim::UseScenarioText(text, "core-display.json")) return "scenario refused";
    lumra_display_metadata metadata[2] = {};
    note(lumra_list_display_metadata(metadata, 2) == 1, "metadata count");
    note(metadata[0].name[0] == '\0', "metadata name not empty: " + std::string(metadata[0].name));
    note(metadata[0].display_location[0] == '\0', "metadata location not empty");
    lumra_external_display external[2] = {};
    note(lumra_list_external_displays(external, 2) == 1, "external count");
    note(std::string(external[0].name) == "Framebuffer Desk",
         "external name " + std::string(external[0].name));
    note(std::string(external[0].location) == "/t/d@1", "external location");
    note(sim::LiveObjectCount() == 0, "live objects " + sim::DescribeLiveObjects());
    note(sim::OpenLibraryHandles() == 0, "library left open");
  }
  return problems;
}

TEST_F(EnumerationTest, WithoutCoreDisplayNamesStayEmptyForTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const char* frameworks : {"false", R"(["CoreDisplay_DisplayCreateInfoDictionary"])"}) {
    SCOPED_TRACE(frameworks);
    EXPECT_EXIT(ExitWithProblems(CoreDisplayMissingProblems(frameworks)),
                ::testing::ExitedWithCode(0), "");
  }
}

}  // namespace
}  // namespace lumra::native::testing

#endif  // !defined(__APPLE__)
