#include <gtest/gtest.h>

#include "ddc/errors.hpp"
#include "fake_native_bridge.hpp"
#include "platform/transport.hpp"
#include "support/format.hpp"
#include "temp_home.hpp"

namespace lumra::platform {
namespace {

using testing::fakeNative;

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::resetFakeNative();
    fakeNative().displays = {testing::externalDisplay(1, 11, 1, 0x100),
                             testing::externalDisplay(2, 12, 2, 0x200),
                             testing::externalDisplay(3, 13, 3, 0x300)};
  }

  testing::TempHome home;
  DarwinTransport transport{DarwinTransportOptions{testing::fakeBridge(), {}, home.lockOptions()}};
  support::Context ctx;
};

TEST_F(ListTest, ProbeAndRetrieveProtocol) {
  const struct {
    const char* name;
    std::deque<std::int32_t> counts;
    std::vector<std::int32_t> wantCapacities;
    std::size_t wantMonitors;
    const char* wantError;
  } cases[] = {
      {"probe then one retrieval", {}, {-1, 3}, 3, ""},
      {"fewer on retrieval", {3, 2}, {-1, 3}, 2, ""},
      {"growth between calls retries once", {1, 3, 3}, {-1, 1, 3}, 3, ""},
      {"second over-long answer is cut", {1, 2, 3}, {-1, 1, 2}, 2, ""},
      {"probe unavailable",
       {-1},
       {-1},
       0,
       "monitor backend is unavailable: native display backend symbols are unavailable"},
      {"probe failed", {-2}, {-1}, 0, "native display enumeration failed: -2"},
      {"retrieval unavailable", {2, -1}, {-1, 2}, 0, "native display enumeration failed: -1"},
      {"second retrieval failed",
       {1, 2, -7},
       {-1, 1, 2},
       0,
       "native display enumeration failed: -7"},
  };
  for (const auto& c : cases) {
    fakeNative().displayCapacities.clear();
    fakeNative().displayCounts = c.counts;
    auto got = transport.List(ctx);
    EXPECT_EQ(got.Err.Message(), c.wantError) << c.name;
    EXPECT_EQ(fakeNative().displayCapacities, c.wantCapacities) << c.name;
    ASSERT_EQ(got.Value.size(), c.wantMonitors) << c.name;
    for (std::size_t i = 0; i < got.Value.size(); ++i) {
      EXPECT_EQ(got.Value[i].Name, support::Format("display-%d", i + 1)) << c.name;
    }
  }
  fakeNative().displayCounts = {-1};
  EXPECT_EQ(ddc::ClassifyError(transport.List(ctx).Err), "backend-unavailable");
}

TEST_F(ListTest, CacheLifecycle) {
  ASSERT_FALSE(transport.List(ctx).Err);
  fakeNative().displayCounts = {-2};
  ASSERT_TRUE(transport.List(ctx).Err);
  EXPECT_FALSE(transport.SetVCP(ctx, "2", 0x10, 1)) << "a failed listing keeps the cache";

  fakeNative().displayCounts = {0};
  auto empty = transport.List(ctx);
  EXPECT_FALSE(empty.Err);
  EXPECT_TRUE(empty.Value.empty());
  EXPECT_EQ(transport.SetVCP(ctx, "0", 0x10, 1).Message(), "monitor not found: 0");

  auto [ended, cancel] = support::Context::WithCancel(ctx);
  cancel.Cancel();
  fakeNative().displayCapacities.clear();
  EXPECT_TRUE(transport.List(ended).Err.SameAs(support::ErrCanceled()));
  EXPECT_TRUE(fakeNative().displayCapacities.empty());
}

TEST_F(ListTest, CallersGetCopies) {
  auto first = transport.List(ctx);
  ASSERT_FALSE(first.Err);
  first.Value[0].ID = "changed";
  EXPECT_FALSE(transport.SetVCP(ctx, "darwin:10AC:0001:00000100", 0x10, 1));
  ASSERT_EQ(fakeNative().exchanges.size(), 1u);
  EXPECT_EQ(fakeNative().exchanges[0].endpointID, 11u);
  EXPECT_EQ(transport.SetVCP(ctx, "changed", 0x10, 1).Message(), "monitor not found: changed");
}

TEST_F(ListTest, MetadataIsFetchedOnlyForIOAVServiceItems) {
  fakeNative().displays.resize(1);
  lumra_display_metadata entry{};
  testing::setText(entry.name, "Merged");
  testing::setText(entry.display_location, "IOService:/a/dispext0@0/b");
  fakeNative().metadata = {entry};
  auto got = transport.List(ctx);
  ASSERT_FALSE(got.Err);
  EXPECT_TRUE(fakeNative().metadataCapacities.empty());
  EXPECT_EQ(got.Value[0].Name, "display-1");

  testing::setText(fakeNative().displays[0].proxy_interface_name, "dispext0:dcpav-service-epic:0");
  fakeNative().displays[0].backend = LUMRA_BACKEND_IOAVSERVICE;
  got = transport.List(ctx);
  ASSERT_FALSE(got.Err);
  EXPECT_EQ(fakeNative().metadataCapacities, (std::vector<std::int32_t>{-1, 1}));
  EXPECT_EQ(got.Value[0].Name, "Merged");
}

TEST(ListDisplayMetadataTest, FailuresGiveNoMetadata) {
  const struct {
    std::deque<std::int32_t> counts;
    std::size_t want;
    std::vector<std::int32_t> wantCapacities;
  } cases[] = {
      {{-2}, 0, {-1}},
      {{-1}, 0, {-1}},
      {{0}, 0, {-1}},
      {{2, -2}, 0, {-1, 2}},
      {{1, 3, 4}, 3, {-1, 1, 3}},
  };
  for (const auto& c : cases) {
    testing::resetFakeNative();
    fakeNative().metadata.resize(4);
    fakeNative().metadataCounts = c.counts;
    EXPECT_EQ(ListDarwinDisplayMetadata(testing::fakeBridge()).size(), c.want);
    EXPECT_EQ(fakeNative().metadataCapacities, c.wantCapacities);
  }
}

}  // namespace
}  // namespace lumra::platform
