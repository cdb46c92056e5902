#include "platform/monitor_list.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fake_native_bridge.hpp"
#include "platform/display_modes.hpp"
#include "support/format.hpp"
#include "support/sha256.hpp"

namespace lumra::platform {
namespace {

DarwinNativeMonitorInfo item(std::uint32_t vendor, std::uint32_t product, std::uint32_t serial,
                             std::string location = "", std::uint64_t endpoint = 0) {
  DarwinNativeMonitorInfo info;
  info.DisplayID = 7;
  info.VendorID = vendor;
  info.ProductID = product;
  info.Serial = serial;
  info.Backend = LUMRA_BACKEND_IOFRAMEBUFFER;
  info.Location = std::move(location);
  info.EndpointID = endpoint;
  return info;
}

std::string pathID(const std::string& location) {
  const auto digest = support::Sha256(location);
  return support::Format("darwin:path:%x", std::span<const std::uint8_t>(digest.data(), 6));
}

TEST(BuildDarwinMonitorsTest, Identifiers) {
  const struct {
    const char* name;
    std::vector<DarwinNativeMonitorInfo> items;
    std::vector<std::string> want;
  } cases[] = {
      {"unique identity ignores location and endpoint",
       {item(4268, 41156, 305419896, "IOService:/x", 9)},
       {"darwin:10AC:A0C4:12345678"}},
      {"twins with locations use the path key",
       {item(1, 2, 3, "loc-a", 1), item(1, 2, 3, "loc-b", 2)},
       {pathID("loc-a"), pathID("loc-b")}},
      {"twins without locations use the endpoint",
       {item(1, 2, 3, "", 0xAB), item(1, 2, 3, "", 0x1234567890ABCDEF)},
       {"darwin:endpoint:00000000000000AB", "darwin:endpoint:1234567890ABCDEF"}},
      {"a zero serial is ambiguous alone",
       {item(1, 2, 0, "", 5)},
       {"darwin:endpoint:0000000000000005"}},
      {"same model, different serials",
       {item(1, 2, 3, "loc"), item(1, 2, 4, "loc")},
       {"darwin:0001:0002:00000003", "darwin:0001:0002:00000004"}},
      {"wide values print all their digits",
       {item(0x12345, 1, 0xFFFFFFFF)},
       {"darwin:12345:0001:FFFFFFFF"}},
      {"repeated identities get the index",
       {item(1, 2, 0), item(1, 2, 0), item(1, 2, 0)},
       {"darwin:0001:0002:00000000", "darwin:0001:0002:00000000#1", "darwin:0001:0002:00000000#2"}},
      {"equal locations get the index",
       {item(1, 2, 3, "same"), item(9, 9, 0, "other"), item(1, 2, 3, "same")},
       {pathID("same"), pathID("other"), pathID("same") + "#2"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> got;
    for (const DarwinMonitor& monitor : BuildDarwinMonitors(c.items, {})) {
      got.push_back(monitor.Info.ID);
    }
    EXPECT_EQ(got, c.want) << c.name;
  }
}

TEST(BuildDarwinMonitorsTest, DisplayFields) {
  DarwinNativeMonitorInfo native = item(0x10AC, 0xA0C4, 0x42, "loc-a", 0x99);
  native.DisplayID = 4242;
  native.ChipAddress = 0x37;
  native.ConnectorType = "hdmi";
  native.Mode = ddc::DisplayMode{2560, 1440, 60000.0 / 1001, 1280, 720};
  const DarwinMonitor got = BuildDarwinMonitors(std::vector{item(1, 1, 1), native}, {})[1];
  EXPECT_EQ(got.Info.Index, 1);
  EXPECT_EQ(got.Info.Name, "display-4242");
  EXPECT_EQ(got.Info.Manufacturer + " " + got.Info.Model + " " + got.Info.Serial,
            "0x10AC 0xA0C4 00000042");
  EXPECT_EQ("darwin:" + got.Info.Connector, pathID("loc-a"));
  EXPECT_EQ(got.Info.ConnectorType, "hdmi");
  EXPECT_EQ(got.Info.Backend, "ioframebuffer");
  ASSERT_TRUE(got.Info.CurrentMode.has_value());
  EXPECT_EQ(got.Info.CurrentMode->RefreshHz, 59.94);
  EXPECT_EQ(got.EndpointID, 0x99u);
  EXPECT_EQ(got.ChipAddress, 0x37u);
}

DarwinNativeMonitorInfo avItem(const std::string& key, std::uint32_t backend = 1) {
  DarwinNativeMonitorInfo info = item(0x1111, 0x2222, 0x11);
  info.Backend = backend;
  info.AdapterKey = key;
  info.Name = "native";
  info.Mode = ddc::DisplayMode{100, 100, 30, 100, 100};
  return info;
}

DarwinDisplayMetadata meta(const std::string& key, const std::string& name = "Meta") {
  return DarwinDisplayMetadata{808, 0xAAAA, 0xBBBB, 0, name, key, std::nullopt};
}

TEST(BuildDarwinMonitorsTest, MetadataMerge) {
  const struct {
    const char* name;
    std::vector<DarwinNativeMonitorInfo> items;
    std::vector<DarwinDisplayMetadata> metadata;
    bool merged;
    const char* wantName;
  } cases[] = {
      {"unique key on both sides", {avItem("dispext0")}, {meta("dispext0")}, true, "Meta"},
      {"empty metadata name keeps the native one",
       {avItem("dispext0")},
       {meta("dispext0", "")},
       true,
       "native"},
      {"second item with the key",
       {avItem("dispext0"), avItem("dispext0")},
       {meta("dispext0")},
       false,
       "native"},
      {"second entry with the key",
       {avItem("dispext0")},
       {meta("dispext0"), meta("dispext0")},
       false,
       "native"},
      {"no entry for the key", {avItem("dispext0")}, {meta("dispext1")}, false, "native"},
      {"framebuffer items never merge",
       {avItem("dispext0", 2)},
       {meta("dispext0")},
       false,
       "native"},
      {"empty key never merges", {avItem("")}, {meta("")}, false, "native"},
  };
  for (const auto& c : cases) {
    const DarwinMonitor got = BuildDarwinMonitors(c.items, c.metadata)[0];
    EXPECT_EQ(got.Info.Name, c.wantName) << c.name;
    EXPECT_EQ(got.Info.Manufacturer + got.Info.Model + got.Info.Serial,
              c.merged ? "0xAAAA0xBBBB00000000" : "0x11110x222200000011")
        << c.name;
    // An absent merged mode replaces the native one.
    EXPECT_EQ(got.Info.CurrentMode.has_value(), !c.merged) << c.name;
    // The identifier is always built from the native values.
    EXPECT_TRUE(got.Info.ID.starts_with("darwin:1111:2222:00000011")) << c.name;
  }
}

TEST(AdapterKeyTest, FromDisplayLocationAndProxyInterface) {
  const struct {
    const char* text;
    const char* fromLocation;
    const char* fromProxy;
  } cases[] = {
      {"IOService:/a/dispext0@1/b", "dispext0", ""},
      {"  IOService:/a/disp1/b \t\n", "disp1", ""},
      {"a/b", "", ""},
      {"x/dispext0/", "", ""},
      {"x/y/dcp@1/z", "", ""},
      {"dispext0:dcpav-service-epic:0", "", "dispext0"},
      {":dcpav-service-epic:0", "", ""},
      {"dcp0:dcpav-service-epic:0", "", ""},
      {" dispext0:dcpav-service-epic:0", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DarwinAdapterKeyFromDisplayLocation(c.text), c.fromLocation) << c.text;
    EXPECT_EQ(DarwinAdapterKeyFromProxyInterface(c.text), c.fromProxy) << c.text;
  }
}

TEST(RefreshRateTest, Normalisation) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double rate;
    double want;
  } cases[] = {
      {60000.0 / 1001, 59.94},
      {74.9996, 75},
      {59.9345, 59.935},
      {0.0005, 0.001},
      {0.0004, 0},
      {0, 0},
      {-60, 0},
      {std::nan(""), 0},
      {inf, 0},
      {std::numeric_limits<double>::max(), 0},
      {1e300, 1e300},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeRefreshRate(c.rate), c.want) << c.rate;
  EXPECT_FALSE(NormalizeMode(ddc::DisplayMode{0, 10, 60, 0, 0}));
  EXPECT_FALSE(ModeFromNative(1, 10, 0, 5, 5, 60));
  EXPECT_FALSE(ModeFromNative(0, 10, 10, 5, 5, 60));
}

TEST(NativeRecordTest, TextFieldsStopAtNulOrFieldEnd) {
  lumra_external_display record = testing::externalDisplay(3, 4, 6, 7);
  std::memset(record.name, 'N', sizeof record.name);  // no NUL at all
  testing::setText(record.location, std::string("loc\0hidden", 10));
  testing::setText(record.proxy_interface_name, "dispext2:dcpav-service-epic:1");
  record.connector_type = 1;
  const DarwinNativeMonitorInfo info = DarwinNativeMonitorInfoFromRecord(record);
  EXPECT_EQ(info.Name, std::string(sizeof record.name, 'N'));
  EXPECT_EQ(info.Location, "loc");
  EXPECT_EQ(info.AdapterKey, "dispext2");
  EXPECT_EQ(info.ConnectorType, "hdmi");

  lumra_display_metadata entry{};
  testing::setText(entry.display_location, "IOService:/a/dispext2@0/b");
  std::memset(entry.name, 'M', sizeof entry.name);
  const DarwinDisplayMetadata metadata = DarwinDisplayMetadataFromRecord(entry);
  EXPECT_EQ(metadata.AdapterKey, "dispext2");
  EXPECT_EQ(metadata.Name.size(), sizeof entry.name);
}

}  // namespace
}  // namespace lumra::platform
