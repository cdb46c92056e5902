#include "ddc/feature.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "ddc/errors.hpp"
#include "support/format.hpp"

namespace lumra::ddc {
namespace {

struct Want {
  std::string name;
  std::uint8_t code;
  bool writable;
  bool unsafe;
  ValueKind kind;
};

constexpr ValueKind kLevel = ValueKind::Continuous;
constexpr ValueKind kChoice = ValueKind::NonContinuous;
constexpr ValueKind kUnknown = ValueKind::Unknown;

void ExpectFeature(const Feature& got, const Want& want, const std::string& label) {
  EXPECT_EQ(got.Name, want.name) << label;
  EXPECT_EQ(got.Code, want.code) << label;
  EXPECT_EQ(got.Writable, want.writable) << label;
  EXPECT_EQ(got.Unsafe, want.unsafe) << label;
  EXPECT_EQ(got.Kind, want.kind) << label;
}

TEST(FeaturesTest, RowsInTableOrder) {
  const char* names[] = {
      "brightness",       "contrast",     "color-preset", "red-gain",        "green-gain",
      "blue-gain",        "input",        "volume",       "red-black-level", "green-black-level",
      "blue-black-level", "mute",         "sharpness",    "controller-id",   "power",
      "picture-mode",     "mccs-version", "input-alt"};
  const std::vector<Feature> features = Features();
  ASSERT_EQ(features.size(), std::size(names));
  for (std::size_t i = 0; i < features.size(); ++i) EXPECT_EQ(features[i].Name, names[i]) << i;
  // Every named row must also be what ParseFeature returns for its name.
  for (const Feature& row : features) {
    ExpectFeature(ParseFeature(row.Name).Value,
                  {row.Name, row.Code, row.Writable, row.Unsafe, row.Kind}, row.Name);
  }
}

TEST(FeaturesTest, ReturnsAnIndependentCopy) {
  std::vector<Feature> first = Features();
  first[0].Name = "changed";
  first[0].Unsafe = true;
  first.pop_back();
  const std::vector<Feature> second = Features();
  ASSERT_EQ(second.size(), 18u);
  EXPECT_EQ(second[0].Name, "brightness");
  EXPECT_FALSE(second[0].Unsafe);
  EXPECT_EQ(ParseFeature("brightness").Value.Name, "brightness");
}

TEST(ParseFeatureTest, AcceptsNamesAndRawCodes) {
  const Want brightness{"brightness", 0x10, true, false, kLevel};
  const Want raw10{"vcp:0x10", 0x10, true, true, kLevel};
  const struct {
    std::string argument;
    Want want;
  } cases[] = {
      {"brightness", brightness},
      {"  Brightness  ", brightness},
      {"\tBRIGHTNESS\n", brightness},
      {"BR\xC4\xB0GHTNESS", brightness},  // U+0130 lower-cases to "i"
      {"\xC2\xA0"
       "brightness\xC2\xA0",
       brightness},  // U+00A0
      {"\xE3\x80\x80"
       "brightness\xE3\x80\x80",
       brightness},  // U+3000
      {"\xE2\x80\xA8"
       "brightness\xC2\x85",
       brightness},  // U+2028, U+0085
      {"INPUT", {"input", 0x60, true, true, kChoice}},
      {"sharpness", {"sharpness", 0x87, true, false, kLevel}},
      {"Blue-Gain", {"blue-gain", 0x1A, true, false, kLevel}},
      {"green-black-level", {"green-black-level", 0x6E, true, false, kLevel}},
      {"controller-id", {"controller-id", 0xC8, false, false, kChoice}},
      {"picture-mode", {"picture-mode", 0xDC, true, true, kChoice}},
      {"Input-Alt", {"input-alt", 0xF4, true, true, kChoice}},
      {"VCP:0X10", raw10},
      {"vcp:16", raw10},
      {"vcp:0b10000", raw10},
      {"vcp:0o20", raw10},
      {"vcp:020", raw10},
      {"vcp:0x1_0", raw10},
      {"vcp:0x_10", raw10},
      {"vcp:1_6", raw10},
      {" vcp:0x10 ", raw10},
      {"vcp:010", {"vcp:0x08", 0x08, true, true, kUnknown}},
      {"vcp:0", {"vcp:0x00", 0x00, true, true, kUnknown}},
      {"vcp:0xdc", {"vcp:0xDC", 0xDC, true, true, kChoice}},
      {"vcp:0xc8", {"vcp:0xC8", 0xC8, true, true, kChoice}},  // raw codes are always writable
      {"vcp:10", {"vcp:0x0A", 0x0A, true, true, kUnknown}},
      {"vcp:255", {"vcp:0xFF", 0xFF, true, true, kUnknown}},
  };
  for (const auto& c : cases) {
    const auto [feature, err] = ParseFeature(c.argument);
    ASSERT_FALSE(err) << c.argument << ": " << err.Message();
    ExpectFeature(feature, c.want, c.argument);
  }
}

TEST(ParseFeatureTest, RejectsAndEchoesTheArgument) {
  const std::string arguments[] = {
      "vcp:256",
      "vcp:",
      "vcp:-1",
      "vcp:+1",
      "vcp: 16",
      "vcp:0x",
      "vcp:09",
      "0x10",
      "Foo",
      "",
      "   ",
      "vcp:0x__10",
      "vcp:0x10_",
      "vcp:_10",
      "vcp:1__6",
      "vcp:0x100",
      "vcp:16 x",
      "bright ness",
      "brightness\x01",
      "\xC5\xBF"
      "harpness",           // U+017F folds to "s" only under full case folding
      "br\xC4\xB1ghtness",  // dotless i is not "i"
      "\xE2\x80\x8B"
      "brightness",  // U+200B is not white space
      "bright\xFFness",
      "\xFF",
      "\xC4",
      "brightness\xE3\x80",
      "\xED\xA0\x80"
      "brightness",
      "vcp:1\xC0\xB0",  // overlong "0" must not read as a digit
  };
  for (const std::string& argument : arguments) {
    const auto [feature, err] = ParseFeature(argument);
    ASSERT_TRUE(err) << argument;
    EXPECT_TRUE(support::Is(err, kErrInvalidFeature)) << argument;
    EXPECT_FALSE(err.SameAs(kErrInvalidFeature)) << argument;
    EXPECT_EQ(err.Message(), "invalid feature: " + argument);
    ExpectFeature(feature, {"", 0, false, false, kUnknown}, argument);
  }
}

// A write that may disrupt the picture needs --unsafe: the table marks the features that switch
// input, power or picture mode, and every raw code. The codes an earlier rule guarded besides
// (restore factory defaults 0x04, the manufacturer range from 0xE0, power 0xD6) are covered
// whichever way they are addressed.
TEST(FeatureTest, UnsafeWrites) {
  const std::pair<std::string, bool> cases[] = {
      {"brightness", false},  {"contrast", false},  {"color-preset", false}, {"volume", false},
      {"mute", false},        {"sharpness", false}, {"input", true},         {"power", true},
      {"picture-mode", true}, {"vcp:0x10", true},   {"VCP:0x10", true},      {" vcp:0x10", true},
      {"vcp:0xD6", true},
  };
  for (const auto& [argument, unsafe] : cases) {
    EXPECT_EQ(ParseFeature(argument).Value.Unsafe, unsafe) << argument;
  }
  std::vector<Feature> every = Features();
  for (int code = 0; code <= 0xFF; ++code) {
    every.push_back(ParseFeature(support::Format("vcp:%d", code)).Value);
  }
  for (const Feature& feature : every) {
    const bool guarded = feature.Code == 0x04 || feature.Code >= 0xE0 || feature.Code == 0xD6;
    EXPECT_TRUE(!guarded || !feature.Writable || feature.Unsafe) << feature.Name;
  }
}

// Only LG's alternate input is written from another source and refused to reads; a raw code
// for the same control stays an ordinary one.
TEST(ParseFeatureTest, WriteSourceAndReadability) {
  const struct {
    std::string argument;
    bool readable;
    std::uint8_t source;
  } cases[] = {
      {"input-alt", false, 0x50},
      {"vcp:0xF4", true, 0x51},
      {"input", true, 0x51},
  };
  for (const auto& c : cases) {
    const Feature feature = ParseFeature(c.argument).Value;
    EXPECT_EQ(feature.Readable, c.readable) << c.argument;
    EXPECT_EQ(feature.WriteSource, c.source) << c.argument;
  }
}

TEST(NamedValueTest, ByFeatureCodeWithoutRegardToCase) {
  const struct {
    std::string feature;
    std::string word;
    std::optional<std::uint16_t> value;
  } cases[] = {
      {"input", "HDMI1", 0x11},     {"vcp:0x60", "usbc", 0x1B},
      {"power", "off-hard", 5},     {"mute", "off", 2},
      {"color-preset", "6500K", 5}, {"vcp:0x8D", "on", 1},
      {"brightness", "on", {}},     {"input", "off", {}},
      {"vcp:0x61", "hdmi1", {}},    {"input-alt", "HDMI1", 0x90},
      {"input-alt", "usbc", 0xD2},  {"input-alt", "vga1", {}},
      {"input", "hdmi", {}},        {"input", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NamedValue(ParseFeature(c.feature).Value, c.word), c.value)
        << c.feature << " " << c.word;
  }
}

}  // namespace
}  // namespace lumra::ddc
