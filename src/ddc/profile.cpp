#include "ddc/profile.hpp"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

#include "support/format.hpp"
#include "support/json.hpp"
#include "support/json_reader.hpp"

namespace lumra::ddc {

namespace {

using support::JSONKind;
using support::JSONValue;

constexpr std::uint8_t kMuteCode = 0x8D;

std::vector<Feature> BuildProfileFeatures() {
  constexpr std::string_view kOrder[] = {
      "picture-mode", "color-preset",    "red-gain",          "green-gain",
      "blue-gain",    "red-black-level", "green-black-level", "blue-black-level",
      "brightness",   "contrast",        "sharpness",         "volume",
      "mute",         "input",
  };
  const std::vector<Feature> table = Features();
  std::vector<Feature> features;
  for (const std::string_view name : kOrder) {
    for (const Feature& row : table) {
      if (row.Name == name) features.push_back(row);
    }
  }
  return features;
}

// The feature's place in restore order; past the end for a feature profiles do not hold.
std::size_t ProfileRank(std::uint8_t code) {
  const auto features = ProfileFeatures();
  std::size_t rank = 0;
  while (rank < features.size() && features[rank].Code != code) ++rank;
  return rank;
}

std::string Quoted(std::string_view text) {
  std::string out;
  support::AppendJSONString(out, text, false);
  return out;
}

std::string Indexed(std::string_view path, std::size_t index) {
  return support::Format("%s[%d]", path, index);
}

std::string Member(std::string_view path, std::string_view key) {
  return path.empty() ? std::string(key) : support::Format("%s.%s", path, key);
}

// Checks one document part by part; the first problem found is the only one kept.
class ProfileChecker {
 public:
  std::optional<Profile> Check(const JSONValue& root) {
    const JSONValue* format = root.Find("format");
    if (format == nullptr || format->Kind != JSONKind::String || format->Text != kProfileFormat) {
      return Fail(
          support::Format("not a lumra profile (no \"format\": %s)", Quoted(kProfileFormat)));
    }
    const JSONValue* version = Required(root, "", "version");
    if (version == nullptr) return std::nullopt;
    if (!version->IsInteger()) return Fail("version: must be an integer");
    if (version->AsUint64() != kProfileVersion) {
      return Fail(support::Format("version %s is not supported (this lumra reads version %d)",
                                  version->Text, kProfileVersion));
    }
    if (!OnlyKeys(root, "", {"format", "version", "monitors"})) return std::nullopt;
    const JSONValue* monitors = Required(root, "", "monitors");
    if (monitors == nullptr) return std::nullopt;
    if (monitors->Kind != JSONKind::Array) return Fail("monitors: must be an array");
    if (monitors->Elements.empty()) return Fail("monitors: must hold at least one monitor");
    Profile profile;
    for (std::size_t i = 0; i < monitors->Elements.size(); ++i) {
      ProfileMonitor monitor;
      if (!CheckMonitor(monitors->Elements[i], i, profile.Monitors, monitor)) return std::nullopt;
      profile.Monitors.push_back(std::move(monitor));
    }
    return profile;
  }

  std::string TakeProblem() { return std::move(problem_); }

 private:
  std::nullopt_t Fail(std::string problem) {
    problem_ = std::move(problem);
    return std::nullopt;
  }
  bool Problem(std::string_view path, std::string_view what) {
    problem_ = support::Format("%s: %s", path, what);
    return false;
  }

  bool IsObject(const JSONValue& value, std::string_view path) {
    return value.Kind == JSONKind::Object || Problem(path, "must be an object");
  }

  // A misspelt key must not pass unnoticed, so a key outside `known` is a problem.
  bool OnlyKeys(const JSONValue& object, std::string_view path,
                std::initializer_list<std::string_view> known) {
    for (const support::JSONMember& member : object.Members) {
      if (std::find(known.begin(), known.end(), member.Key) != known.end()) continue;
      const std::string what = "unknown key " + Quoted(member.Key);
      if (path.empty()) {
        problem_ = what;
        return false;
      }
      return Problem(path, what);
    }
    return true;
  }

  const JSONValue* Required(const JSONValue& object, std::string_view path, std::string_view key) {
    const JSONValue* value = object.Find(key);
    if (value == nullptr) Problem(Member(path, key), "missing");
    return value;
  }

  bool CheckMonitor(const JSONValue& value, std::size_t index,
                    const std::vector<ProfileMonitor>& earlier, ProfileMonitor& monitor) {
    const std::string path = Indexed("monitors", index);
    if (!IsObject(value, path) || !OnlyKeys(value, path, {"id", "name", "values"})) return false;
    const JSONValue* id = Required(value, path, "id");
    if (id == nullptr) return false;
    if (id->Kind != JSONKind::String || id->Text.empty()) {
      return Problem(Member(path, "id"), "must be a non-empty string");
    }
    for (std::size_t i = 0; i < earlier.size(); ++i) {
      if (earlier[i].ID != id->Text) continue;
      return Problem(Member(path, "id"), support::Format("%s is already in %s", Quoted(id->Text),
                                                         Indexed("monitors", i)));
    }
    monitor.ID = id->Text;
    const JSONValue* name = Required(value, path, "name");
    if (name == nullptr) return false;
    if (name->Kind != JSONKind::String) return Problem(Member(path, "name"), "must be a string");
    monitor.Name = name->Text;
    const JSONValue* values = Required(value, path, "values");
    if (values == nullptr) return false;
    const std::string valuesPath = Member(path, "values");
    if (values->Kind != JSONKind::Array) return Problem(valuesPath, "must be an array");
    std::vector<std::size_t> places;  // where each setting stands in the document
    for (std::size_t i = 0; i < values->Elements.size(); ++i) {
      const std::string settingPath = Indexed(valuesPath, i);
      ProfileSetting setting;
      if (!CheckSetting(values->Elements[i], settingPath, setting)) return false;
      for (std::size_t j = 0; j < monitor.Settings.size(); ++j) {
        if (monitor.Settings[j].Feature.Code != setting.Feature.Code) continue;
        return Problem(Member(settingPath, "feature"),
                       support::Format("%s is already in %s", setting.Feature.Name,
                                       Indexed(valuesPath, places[j])));
      }
      monitor.Settings.push_back(std::move(setting));
      places.push_back(i);
    }
    std::stable_sort(monitor.Settings.begin(), monitor.Settings.end(),
                     [](const ProfileSetting& a, const ProfileSetting& b) {
                       return ProfileRank(a.Feature.Code) < ProfileRank(b.Feature.Code);
                     });
    return true;
  }

  bool CheckSetting(const JSONValue& value, const std::string& path, ProfileSetting& setting) {
    if (!IsObject(value, path) || !OnlyKeys(value, path, {"feature", "code", "value"})) {
      return false;
    }
    const JSONValue* name = Required(value, path, "feature");
    if (name == nullptr) return false;
    const std::string featurePath = Member(path, "feature");
    if (name->Kind != JSONKind::String) return Problem(featurePath, "must be a string");
    // Names compare as on the command line; a raw code is not a name.
    const auto parsed = ParseFeature(name->Text);
    if (!parsed.Ok() || parsed.Value.Name.starts_with("vcp:")) {
      return Problem(featurePath, "unknown feature " + Quoted(name->Text));
    }
    const auto features = ProfileFeatures();
    const auto row = std::find_if(features.begin(), features.end(),
                                  [&](const Feature& f) { return f.Name == parsed.Value.Name; });
    if (row == features.end()) {
      return Problem(featurePath, Quoted(name->Text) + " is not a profile feature");
    }
    const JSONValue* code = Required(value, path, "code");
    if (code == nullptr) return false;
    if (!code->IsInteger()) return Problem(Member(path, "code"), "must be an integer");
    if (code->AsUint64() != row->Code) {
      return Problem(Member(path, "code"), support::Format("%s is not the code of %s (%d)",
                                                           code->Text, row->Name, row->Code));
    }
    const JSONValue* number = Required(value, path, "value");
    if (number == nullptr) return false;
    const std::string valuePath = Member(path, "value");
    if (!number->IsInteger()) return Problem(valuePath, "must be an integer");
    // MCCS gives mute only the values on (1) and off (2).
    const bool mute = row->Code == kMuteCode;
    const std::uint64_t low = mute ? 1 : 0;
    const std::uint64_t high = mute ? 2 : 0xFFFF;
    const std::optional<std::uint64_t> number64 = number->AsUint64();
    if (!number64 || *number64 < low || *number64 > high) {
      const std::string range = mute ? "1 or 2" : support::Format("%d to %d", low, high);
      return Problem(valuePath, support::Format("%s is out of range for %s (%s)", number->Text,
                                                row->Name, range));
    }
    setting = ProfileSetting{*row, static_cast<std::uint16_t>(*number64)};
    return true;
  }

  std::string problem_;
};

}  // namespace

std::span<const Feature> ProfileFeatures() {
  static const std::vector<Feature> kProfileFeatures = BuildProfileFeatures();
  return kProfileFeatures;
}

bool InProfile(const Feature& feature) {
  return ProfileRank(feature.Code) < ProfileFeatures().size();
}

std::string EncodeProfile(const Profile& profile) {
  std::string out = "{\n  \"format\": ";
  support::AppendJSONString(out, kProfileFormat, false);
  out += support::Format(",\n  \"version\": %d,\n  \"monitors\": [", kProfileVersion);
  for (std::size_t i = 0; i < profile.Monitors.size(); ++i) {
    const ProfileMonitor& monitor = profile.Monitors[i];
    out += i == 0 ? "\n    {\n      \"id\": " : ",\n    {\n      \"id\": ";
    support::AppendJSONString(out, monitor.ID, false);
    out += ",\n      \"name\": ";
    support::AppendJSONString(out, monitor.Name, false);
    out += ",\n      \"values\": [";
    for (std::size_t j = 0; j < monitor.Settings.size(); ++j) {
      const ProfileSetting& setting = monitor.Settings[j];
      out += j == 0 ? "\n        {\"feature\": " : ",\n        {\"feature\": ";
      support::AppendJSONString(out, setting.Feature.Name, false);
      out += support::Format(", \"code\": %d, \"value\": %d}", setting.Feature.Code, setting.Value);
    }
    out += monitor.Settings.empty() ? "]\n    }" : "\n      ]\n    }";
  }
  out += profile.Monitors.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

support::Result<Profile> ParseProfile(std::string_view text) {
  auto [root, err] = support::ReadJSON(text);
  if (err) return {{}, support::Errorf("not JSON: %s", err.Message())};
  ProfileChecker checker;
  std::optional<Profile> profile = checker.Check(root);
  if (!profile) return {{}, support::Error::New(checker.TakeProblem())};
  return {std::move(*profile), {}};
}

}  // namespace lumra::ddc
