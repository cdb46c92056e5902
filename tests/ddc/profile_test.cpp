#include "ddc/profile.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumra::ddc {
namespace {

Feature ProfileRow(const std::string& name) {
  for (const Feature& feature : ProfileFeatures()) {
    if (feature.Name == name) return feature;
  }
  ADD_FAILURE() << "no profile feature " << name;
  return {};
}

// A one-monitor document around the given value objects.
std::string WithValues(const std::string& values) {
  return R"({"format": "lumra-profile", "version": 1, "monitors": [{"id": "m", "name": "n",
             "values": [)" +
         values + "]}]}";
}

TEST(ProfileTest, FeaturesInRestoreOrder) {
  std::vector<std::string> names;
  for (const Feature& feature : ProfileFeatures()) names.push_back(feature.Name);
  const std::vector<std::string> want = {"picture-mode",
                                         "color-preset",
                                         "red-gain",
                                         "green-gain",
                                         "blue-gain",
                                         "red-black-level",
                                         "green-black-level",
                                         "blue-black-level",
                                         "brightness",
                                         "contrast",
                                         "sharpness",
                                         "volume",
                                         "mute",
                                         "input"};
  EXPECT_EQ(names, want);
  EXPECT_TRUE(InProfile(ParseFeature("vcp:0x6C").Value));
  EXPECT_FALSE(InProfile(ParseFeature("power").Value));
  EXPECT_TRUE(ProfileRow("input").Unsafe && ProfileRow("picture-mode").Unsafe);
  EXPECT_FALSE(ProfileRow("red-gain").Unsafe);
}

TEST(ProfileTest, EncodesAndReadsBack) {
  const Profile profile{{
      {"darwin:3E56:2710:00A1B2C3",
       "Orvane \"Q27\"\n",
       {{ProfileRow("color-preset"), 5}, {ProfileRow("brightness"), 40}, {ProfileRow("mute"), 2}}},
      {"b", "", {}},
  }};
  const std::string text = EncodeProfile(profile);
  EXPECT_EQ(text, R"({
  "format": "lumra-profile",
  "version": 1,
  "monitors": [
    {
      "id": "darwin:3E56:2710:00A1B2C3",
      "name": "Orvane \"Q27\"\n",
      "values": [
        {"feature": "color-preset", "code": 20, "value": 5},
        {"feature": "brightness", "code": 16, "value": 40},
        {"feature": "mute", "code": 141, "value": 2}
      ]
    },
    {
      "id": "b",
      "name": "",
      "values": []
    }
  ]
}
)");
  const auto [read, err] = ParseProfile(text);
  ASSERT_FALSE(err) << err.Message();
  EXPECT_EQ(EncodeProfile(read), text);
  ASSERT_EQ(read.Monitors.size(), 2u);
  EXPECT_EQ(read.Monitors[0].Name, "Orvane \"Q27\"\n");
  EXPECT_EQ(read.Monitors[0].Settings[2].Feature.Kind, ValueKind::NonContinuous);
}

TEST(ProfileTest, SettingsComeBackInRestoreOrder) {
  const auto [profile, err] = ParseProfile(WithValues(R"(
      {"feature": "INPUT", "code": 96, "value": 17},
      {"feature": "brightness", "code": 16, "value": 0},
      {"feature": " Red-Gain ", "code": 22, "value": 65535},
      {"feature": "picture-mode", "code": 220, "value": 1})"));
  ASSERT_FALSE(err) << err.Message();
  std::vector<std::string> order;
  for (const ProfileSetting& setting : profile.Monitors[0].Settings) {
    order.push_back(setting.Feature.Name + "=" + std::to_string(setting.Value));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"picture-mode=1", "red-gain=65535", "brightness=0",
                                             "input=17"}));
}

TEST(ProfileTest, NamesTheFirstProblem) {
  const std::string bright = R"({"feature": "brightness", "code": 16, "value": 1})";
  const struct {
    std::string text;
    std::string want;
  } cases[] = {
      {"{\"format\": \"lumra-profile\",\n  \"version\": 1,",
       "not JSON: line 2, column 16: expected a string key, found the end of the text"},
      {"[]", R"(not a lumra profile (no "format": "lumra-profile"))"},
      {R"({"format": "Lumra-Profile", "version": 1})",
       R"(not a lumra profile (no "format": "lumra-profile"))"},
      {R"({"format": "lumra-profile", "monitors": []})", "version: missing"},
      {R"({"format": "lumra-profile", "version": 2, "later": true})",
       "version 2 is not supported (this lumra reads version 1)"},
      {R"({"format": "lumra-profile", "version": 1, "monitor": []})", R"(unknown key "monitor")"},
      {R"({"format": "lumra-profile", "version": 1, "monitors": []})",
       "monitors: must hold at least one monitor"},
      {R"({"format": "lumra-profile", "version": 1, "monitors": [{"id": "a", "name": "", "values": []},
          {"id": "", "name": "", "values": []}]})",
       "monitors[1].id: must be a non-empty string"},
      {R"({"format": "lumra-profile", "version": 1, "monitors": [{"id": "a", "name": "", "values": []},
          {"id": "a", "name": "", "values": []}]})",
       R"(monitors[1].id: "a" is already in monitors[0])"},
      {R"({"format": "lumra-profile", "version": 1, "monitors": [{"id": "a", "values": []}]})",
       "monitors[0].name: missing"},
      {R"({"format": "lumra-profile", "version": 1, "monitors": [{"id": "a", "name": "", "value": []}]})",
       R"(monitors[0]: unknown key "value")"},
      {WithValues(bright + R"(, {"feature": "gamma", "code": 1, "value": 1})"),
       R"(monitors[0].values[1].feature: unknown feature "gamma")"},
      {WithValues(R"({"feature": "vcp:0x10", "code": 16, "value": 1})"),
       R"(monitors[0].values[0].feature: unknown feature "vcp:0x10")"},
      {WithValues(R"({"feature": "power", "code": 214, "value": 1})"),
       R"(monitors[0].values[0].feature: "power" is not a profile feature)"},
      {WithValues(R"({"feature": "brightness", "code": 17, "value": 1})"),
       "monitors[0].values[0].code: 17 is not the code of brightness (16)"},
      {WithValues(R"({"feature": "brightness", "code": 16, "value": 70000})"),
       "monitors[0].values[0].value: 70000 is out of range for brightness (0 to 65535)"},
      {WithValues(R"({"feature": "volume", "code": 98, "value": -1})"),
       "monitors[0].values[0].value: -1 is out of range for volume (0 to 65535)"},
      {WithValues(R"({"feature": "volume", "code": 98, "value": 5.0})"),
       "monitors[0].values[0].value: must be an integer"},
      {WithValues(R"({"feature": "mute", "code": 141, "value": 0})"),
       "monitors[0].values[0].value: 0 is out of range for mute (1 or 2)"},
      {WithValues(bright + ", " + R"({"feature": "Brightness", "code": 16, "value": 2})"),
       "monitors[0].values[1].feature: brightness is already in monitors[0].values[0]"},
      {WithValues(R"({"feature": "brightness", "code": 16, "value": 1, "note": ""})"),
       R"(monitors[0].values[0]: unknown key "note")"},
  };
  for (const auto& c : cases) {
    const auto [profile, err] = ParseProfile(c.text);
    EXPECT_EQ(err.Message(), c.want) << c.text;
    EXPECT_TRUE(profile.Monitors.empty()) << c.text;
  }
}

}  // namespace
}  // namespace lumra::ddc
