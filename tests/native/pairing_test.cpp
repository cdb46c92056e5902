#include <gtest/gtest.h>

#include <cstring>

#include "platform/native/snapshots.hpp"
#include "platform/native/text_fields.hpp"

namespace lumra::native {
namespace {

CgDisplaySnapshot display(uint32_t vendor, uint32_t model, uint32_t serial, uint32_t unit,
                          bool builtin = false) {
  CgDisplaySnapshot snapshot;
  snapshot.Vendor = vendor;
  snapshot.Model = model;
  snapshot.Serial = serial;
  snapshot.Unit = unit;
  snapshot.Builtin = builtin ? 1 : 0;
  return snapshot;
}

FramebufferSnapshot framebuffer(uint32_t vendor, uint32_t product, uint32_t serial,
                                const char* location) {
  FramebufferSnapshot snapshot;
  snapshot.Vendor = vendor;
  snapshot.Product = product;
  snapshot.Serial = serial;
  std::strncpy(snapshot.Location, location, sizeof snapshot.Location - 1);
  snapshot.UnitValid = ParseDisplayUnit(snapshot.Location, snapshot.Unit) ? 1 : 0;
  return snapshot;
}

TEST(FramebufferMatchScore, Rules) {
  struct Case {
    const char* name;
    CgDisplaySnapshot display;
    FramebufferSnapshot framebuffer;
    int score;
  };
  const Case cases[] = {
      {"unit and serial", display(1, 2, 9, 3), framebuffer(1, 2, 9, "/fb@3"), 7},
      {"unit only, display serial unknown", display(1, 2, 0, 3), framebuffer(1, 2, 9, "/fb@3"), 5},
      {"unit only, framebuffer serial unknown", display(1, 2, 9, 3), framebuffer(1, 2, 0, "/fb@3"),
       5},
      {"serial only, no unit", display(1, 2, 9, 3), framebuffer(1, 2, 9, "/fb"), 3},
      {"serial only, letter after @", display(1, 2, 9, 3), framebuffer(1, 2, 9, "/fb@x1"), 3},
      {"neither", display(1, 2, 0, 3), framebuffer(1, 2, 9, "/fb"), -1},
      {"unit differs", display(1, 2, 9, 4), framebuffer(1, 2, 9, "/fb@3"), -1},
      {"serials differ", display(1, 2, 9, 3), framebuffer(1, 2, 8, "/fb@3"), -1},
      {"vendor differs", display(7, 2, 9, 3), framebuffer(1, 2, 9, "/fb@3"), -1},
      {"product differs", display(1, 7, 9, 3), framebuffer(1, 2, 9, "/fb@3"), -1},
      {"unit 12", display(1, 2, 0, 12), framebuffer(1, 2, 0, "/a@1/fb@12"), 5},
      {"digits stop at a non-digit", display(1, 2, 0, 1), framebuffer(1, 2, 0, "/fb@1x"), 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FramebufferMatchScore(c.display, c.framebuffer), c.score) << c.name;
  }
}

TEST(ParseDisplayUnit, LastAtSign) {
  struct Case {
    const char* location;
    bool valid;
    uint32_t unit;
  };
  const Case cases[] = {
      {"IOService:/a@5/b@12", true, 12},
      {"/fb@0", true, 0},
      {"/fb@4294967295", true, 4294967295u},
      {"/fb@4294967296", false, 0},
      {"/fb@99999999999999999999", false, 0},
      {"/fb@", false, 0},
      {"/fb@x", false, 0},
      {"/fb", false, 0},
      {"", false, 0},
      {"/a@3/b@c", false, 0},
      {"@7abc", true, 7},
  };
  for (const Case& c : cases) {
    uint32_t unit = 77;
    EXPECT_EQ(ParseDisplayUnit(c.location, unit), c.valid) << c.location;
    if (c.valid) {
      EXPECT_EQ(unit, c.unit) << c.location;
    }
  }
}

TEST(UniqueBestFramebuffer, PicksOnlyUnambiguousPairs) {
  // Two framebuffers scoring the same for one display leave it unpaired.
  EXPECT_EQ(UniqueBestFramebuffer({display(1, 2, 9, 0)}, 0,
                                  {framebuffer(1, 2, 9, "/a"), framebuffer(1, 2, 9, "/b")}),
            -1);
  // The better score wins over a weaker one.
  EXPECT_EQ(UniqueBestFramebuffer({display(1, 2, 9, 3)}, 0,
                                  {framebuffer(1, 2, 9, "/a"), framebuffer(1, 2, 9, "/b@3")}),
            1);
  // No framebuffer at all, or none that scores.
  EXPECT_EQ(UniqueBestFramebuffer({display(1, 2, 9, 3)}, 0, {}), -1);
  EXPECT_EQ(UniqueBestFramebuffer({display(1, 2, 9, 3)}, 0, {framebuffer(5, 2, 9, "/a")}), -1);
}

TEST(UniqueBestFramebuffer, ReverseCheckIncludesBuiltInDisplays) {
  const std::vector<FramebufferSnapshot> serialOnly = {framebuffer(1, 2, 9, "/fb")};
  // A built-in twin with the same vendor, product and serial makes a unit-less pairing ambiguous.
  const std::vector<CgDisplaySnapshot> twins = {display(1, 2, 9, 0, true), display(1, 2, 9, 1)};
  EXPECT_EQ(UniqueBestFramebuffer(twins, 1, serialOnly), -1);
  // With a unit on the framebuffer, the unit tells them apart.
  const std::vector<FramebufferSnapshot> withUnit = {framebuffer(1, 2, 9, "/fb@1")};
  EXPECT_EQ(UniqueBestFramebuffer(twins, 1, withUnit), 0);
  // A second display that the framebuffer matches better than the asking one is ambiguous too.
  const std::vector<CgDisplaySnapshot> unknownSerial = {display(1, 2, 0, 1), display(1, 2, 9, 1)};
  EXPECT_EQ(UniqueBestFramebuffer(unknownSerial, 0, withUnit), -1);
  EXPECT_EQ(UniqueBestFramebuffer(unknownSerial, 1, withUnit), 0);
}

TEST(CopyTextField, AlwaysEndsInsideTheFieldOnACharacterBoundary) {
  struct Case {
    std::string text;
    std::size_t capacity;
    std::string stored;
    bool fits;
  };
  const Case cases[] = {
      {"abc", 8, "abc", true},
      {"abcdefgh", 8, "abcdefg", false},
      {"abcdefg", 8, "abcdefg", true},
      {"ab\xE4\xB8\xAD", 5, "ab", false},  // a three-byte character that does not fit
      {"ab\xE4\xB8\xAD", 6, "ab\xE4\xB8\xAD", true},
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 8, "\xF0\x9F\x98\x80", false},
      {"", 1, "", true},
      {"x", 1, "", false},
  };
  for (const Case& c : cases) {
    std::vector<char> field(c.capacity + 2, '#');
    EXPECT_EQ(CopyTextField(field.data(), c.capacity, c.text), c.fits) << c.text;
    EXPECT_EQ(std::string(field.data()), c.stored) << c.text;
    // Zero-filled to the end of the field, and nothing written past it.
    for (std::size_t i = c.stored.size(); i < c.capacity; ++i) EXPECT_EQ(field[i], '\0');
    EXPECT_EQ(field[c.capacity], '#');
  }
}

}  // namespace
}  // namespace lumra::native
