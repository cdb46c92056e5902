// The JSON writer driven by a little program read from the input (open and close containers,
// keys, strings of arbitrary bytes, integers, doubles from raw bits, booleans, null), while the
// same value is built in a JSON reader's own model. The writer's text must be valid JSON that
// reads back to that value, with invalid UTF-8 as U+FFFD, key order kept, no raw control
// character, U+2028 or U+2029, no raw <, > or & when HTML escaping is on, and a size limit that
// fails the writer exactly when the text would exceed it.
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>

#include "fuzz_check.hpp"
#include "support/json.hpp"

namespace {

using Json = nlohmann::ordered_json;
using lumra::fuzz::ByteReader;
using lumra::fuzz::ReplaceInvalidUTF8;
using lumra::support::JSONWriter;

constexpr std::size_t kMaximumDepth = 48;

// Builds the expected value beside the writer: a stack of open containers and pending keys.
class Model {
 public:
  bool InObject() const { return !stack_.empty() && stack_.back().is_object(); }
  bool Done() const { return done_; }
  std::size_t Depth() const { return stack_.size(); }
  void Open(Json container) { stack_.push_back(std::move(container)); }
  void SetKey(const std::string& key) { keys_.push_back(ReplaceInvalidUTF8(key)); }
  void Add(Json value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      done_ = true;
    } else if (stack_.back().is_object()) {
      stack_.back()[keys_.back()] = std::move(value);
      keys_.pop_back();
    } else {
      stack_.back().push_back(std::move(value));
    }
  }
  void Close() {
    Json finished = std::move(stack_.back());
    stack_.pop_back();
    Add(std::move(finished));
  }
  const Json& Root() const { return root_; }

 private:
  std::vector<Json> stack_;
  std::vector<std::string> keys_;
  Json root_;
  bool done_ = false;
};

struct Outcome {
  bool failedOnNumber = false;
};

// Runs the program on the writer and the model; both end with one complete value.
Outcome Drive(ByteReader in, JSONWriter& writer, Model& model) {
  Outcome outcome;
  while (!model.Done()) {
    const std::uint8_t op = in.Empty() ? 2 : in.Byte() % 10;
    if (op == 2 || in.Empty()) {  // close the innermost container, or write null at the top
      if (model.Depth() == 0) {
        writer.Null();
        model.Add(nullptr);
        continue;
      }
      model.InObject() ? writer.EndObject() : writer.EndArray();
      model.Close();
      continue;
    }
    if (model.InObject()) {
      const std::string key = in.Text(16);
      writer.Key(key);
      model.SetKey(key);
    }
    switch (op) {
      case 0:
      case 1:
        if (model.Depth() >= kMaximumDepth) {
          writer.Bool(false);
          model.Add(false);
          break;
        }
        op == 0 ? writer.BeginObject() : writer.BeginArray();
        model.Open(op == 0 ? Json::object() : Json::array());
        break;
      case 3:
      case 9: {
        const std::string text = op == 3 ? in.Text(64) : std::string(in.Rest().substr(0, 64));
        writer.String(text);
        model.Add(ReplaceInvalidUTF8(text));
        break;
      }
      case 4: {
        const auto value = static_cast<std::int64_t>(in.Uint64());
        writer.Int(value);
        model.Add(value);
        break;
      }
      case 5: {
        const std::uint64_t value = in.Uint64();
        writer.Uint(value);
        model.Add(value);
        break;
      }
      case 6: {
        const double value = std::bit_cast<double>(in.Uint64());
        writer.Double(value);
        if (!std::isfinite(value)) {
          outcome.failedOnNumber = true;
          return outcome;
        }
        model.Add(value);
        break;
      }
      case 7: {
        const bool value = in.Byte() & 1;
        writer.Bool(value);
        model.Add(value);
        break;
      }
      default:
        writer.Null();
        model.Add(nullptr);
        break;
    }
  }
  return outcome;
}

bool HasRawCharacterThatMustBeEscaped(const std::string& text, bool escapeHTML) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20) return true;
    if (escapeHTML && (c == '<' || c == '>' || c == '&')) return true;
    if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
         static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
      return true;
    }
  }
  return false;
}

bool HasWhiteSpaceOutsideStrings(const std::string& text) {
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString && c == '\\') {
      ++i;
    } else if (c == '"') {
      inString = !inString;
    } else if (!inString && (c == ' ' || c == '\n' || c == '\t' || c == '\r')) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteReader in(lumra::fuzz::AsText(data, size));
  const std::uint8_t flags = in.Byte();
  const bool escapeHTML = flags & 1;
  const std::size_t limit = static_cast<std::size_t>(in.Byte()) * 4;

  JSONWriter writer(escapeHTML);
  Model model;
  const Outcome outcome = Drive(in, writer, model);
  if (outcome.failedOnNumber) {
    FUZZ_CHECK(writer.Failed() && !writer.ExceededLimit(), "a non-finite number was written");
    return 0;
  }
  FUZZ_CHECK(!writer.Failed(), "the writer failed without a reason");
  const std::string& text = writer.Text();
  FUZZ_CHECK(!HasRawCharacterThatMustBeEscaped(text, escapeHTML), text);
  const Json read = Json::parse(text, nullptr, false);
  FUZZ_CHECK(!read.is_discarded(), "not JSON: " + text);
  FUZZ_CHECK(read == model.Root(), "read back " + read.dump() + ", want " + model.Root().dump());
  FUZZ_CHECK(!HasWhiteSpaceOutsideStrings(text), "not compact: " + text);

  // The same program under a size limit: the same text, or a failure when the text is longer.
  // Drive read a copy of `in`, so `in` still starts at the program.
  JSONWriter limited(escapeHTML, limit);
  Model ignored;
  Drive(in, limited, ignored);
  if (text.size() > limit) {
    FUZZ_CHECK(limited.Failed() && limited.ExceededLimit() && limited.Text().empty(),
               "the limit of " + std::to_string(limit) + " did not hold");
  } else {
    FUZZ_CHECK(!limited.Failed() && limited.Text() == text, "a limit changed a text within it");
  }
  return 0;
}
