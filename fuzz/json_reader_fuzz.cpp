// The product's JSON reader and the profile reader over it, on arbitrary bytes. The reader must
// agree with nlohmann/json: what it accepts reads the same there (a number beyond a double's
// range, which nlohmann refuses, is kept as text here), and what it refuses nlohmann refuses
// too, but for the three things only this reader refuses (a duplicate key, nesting past its
// depth limit, a byte order mark). A refusal names a line and column inside the text. A profile
// that reads encodes to a text that reads back to the same profile, with settings in restore
// order, each feature and monitor ID once, and mute 1 or 2.
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ddc/profile.hpp"
#include "fuzz_check.hpp"
#include "support/json.hpp"
#include "support/json_reader.hpp"

namespace {

using Json = nlohmann::ordered_json;
using lumra::support::JSONKind;
using lumra::support::JSONValue;
using lumra::support::JSONWriter;

// Whether a number literal lies beyond a double's range, which nlohmann refuses to read.
bool Overflows(const std::string& literal) {
  return std::isinf(std::strtod(literal.c_str(), nullptr));
}

// The value written compactly, numbers as their literals; with `tame`, a number that overflows
// a double is written as 0 and counted in `overflowed`.
void WriteBack(JSONWriter& out, const JSONValue& value, bool tame, int& overflowed) {
  switch (value.Kind) {
    case JSONKind::Null:
      out.Null();
      break;
    case JSONKind::Bool:
      out.Bool(value.Boolean);
      break;
    case JSONKind::Number:
      if (tame && Overflows(value.Text)) {
        ++overflowed;
        out.Encoded("0");
      } else {
        out.Encoded(value.Text);
      }
      break;
    case JSONKind::String:
      out.String(value.Text);
      break;
    case JSONKind::Array:
      out.BeginArray();
      for (const JSONValue& element : value.Elements) WriteBack(out, element, tame, overflowed);
      out.EndArray();
      break;
    case JSONKind::Object:
      out.BeginObject();
      for (const lumra::support::JSONMember& member : value.Members) {
        out.Key(member.Key);
        WriteBack(out, member.Value, tame, overflowed);
      }
      out.EndObject();
      break;
  }
}

// Whether some object of the text holds a key twice, as nlohmann's parse events show it.
bool HasDuplicateKey(const std::string& text) {
  std::vector<std::vector<std::string>> keys;
  bool duplicate = false;
  const Json::parser_callback_t callback = [&](int, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start) keys.emplace_back();
    if (event == Json::parse_event_t::object_end) keys.pop_back();
    if (event == Json::parse_event_t::key) {
      const std::string key = parsed.get<std::string>();
      for (const std::string& seen : keys.back()) duplicate = duplicate || seen == key;
      keys.back().push_back(key);
    }
    return true;
  };
  const Json ignored = Json::parse(text, callback, false);
  return duplicate;
}

std::size_t MaximumDepth(const Json& value) {
  if (!value.is_structured()) return 0;
  std::size_t deepest = 0;
  for (const Json& element : value) deepest = std::max(deepest, MaximumDepth(element));
  return deepest + 1;
}

void CheckPosition(const std::string& text, const std::string& message) {
  unsigned line = 0;
  unsigned column = 0;
  int consumed = 0;
  const int matched =
      std::sscanf(message.c_str(), "line %u, column %u: %n", &line, &column, &consumed);
  FUZZ_CHECK(matched == 2 && consumed > 0 && line >= 1 && column >= 1, message);
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n';
  FUZZ_CHECK(line <= lines, message);
  FUZZ_CHECK(message.size() > static_cast<std::size_t>(consumed), message);
}

void CheckProfile(const std::string& text) {
  const auto [profile, err] = lumra::ddc::ParseProfile(text);
  if (err) {
    FUZZ_CHECK(!err.Message().empty() && profile.Monitors.empty(), err.Message());
    return;
  }
  FUZZ_CHECK(!profile.Monitors.empty(), "a profile without monitors was accepted");
  const auto order = lumra::ddc::ProfileFeatures();
  for (std::size_t m = 0; m < profile.Monitors.size(); ++m) {
    const lumra::ddc::ProfileMonitor& monitor = profile.Monitors[m];
    FUZZ_CHECK(!monitor.ID.empty(), "an empty ID was accepted");
    for (std::size_t earlier = 0; earlier < m; ++earlier) {
      FUZZ_CHECK(profile.Monitors[earlier].ID != monitor.ID, "an ID twice: " + monitor.ID);
    }
    std::size_t rank = 0;
    for (const lumra::ddc::ProfileSetting& setting : monitor.Settings) {
      std::size_t place = rank;
      while (place < order.size() && order[place].Code != setting.Feature.Code) ++place;
      FUZZ_CHECK(place < order.size(), "out of order or twice: " + setting.Feature.Name);
      FUZZ_CHECK(setting.Feature.Name == order[place].Name, setting.Feature.Name);
      FUZZ_CHECK(setting.Feature.Code != 0x8D || setting.Value == 1 || setting.Value == 2,
                 "mute " + std::to_string(setting.Value));
      rank = place + 1;
    }
  }
  const std::string encoded = lumra::ddc::EncodeProfile(profile);
  const auto again = lumra::ddc::ParseProfile(encoded);
  FUZZ_CHECK(again.Ok(), again.Err.Message() + "\n" + encoded);
  FUZZ_CHECK(lumra::ddc::EncodeProfile(again.Value) == encoded, encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(lumra::fuzz::AsText(data, size));
  const auto [value, err] = lumra::support::ReadJSON(text);
  const Json reference = Json::parse(text, nullptr, false);
  if (!err) {
    int overflowed = 0;
    JSONWriter writer;
    WriteBack(writer, value, reference.is_discarded(), overflowed);
    if (reference.is_discarded()) {
      // The literals are kept as text here, so only a number too large for nlohmann may differ.
      FUZZ_CHECK(overflowed > 0 && !Json::parse(writer.Text(), nullptr, false).is_discarded(),
                 "nlohmann refuses what was read: " + text);
    } else {
      FUZZ_CHECK(Json::parse(writer.Text(), nullptr, false) == reference,
                 "read as " + writer.Text() + ", nlohmann reads " + reference.dump());
    }
  } else {
    CheckPosition(text, err.Message());
    // nlohmann ends a document at a NUL byte, as if the text ended there; it is no whitespace.
    const bool onlyHere = text.starts_with("\xEF\xBB\xBF") || HasDuplicateKey(text) ||
                          text.find('\0') != std::string::npos ||
                          MaximumDepth(reference) > lumra::support::kJSONMaximumDepth;
    FUZZ_CHECK(reference.is_discarded() || onlyHere,
               "refused what nlohmann reads: " + err.Message() + "\n" + text);
  }
  CheckProfile(text);
  return 0;
}
