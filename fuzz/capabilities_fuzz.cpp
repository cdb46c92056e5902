// The capabilities parser on arbitrary strings, and the JSON form of its result as the
// capabilities command prints it. Properties: errors are one of the parser's messages; a
// document keeps the input as its raw text, every group's raw text is a piece of the input,
// the three views of a sequence agree, and writing the tree out plainly and parsing it again
// gives the same tree; the JSON output is valid JSON that carries the input.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

#include "capabilities/parser.hpp"
#include "cli/printer.hpp"
#include "fuzz_check.hpp"
#include "i18n/catalog.hpp"

namespace {

using lumra::capabilities::Document;
using lumra::capabilities::Item;
using lumra::capabilities::Node;

constexpr int kDeepestPrinted = 8;

constexpr std::string_view kMessages[] = {
    "capabilities string exceeds 65536 bytes", "capabilities nesting exceeds 32 levels",
    "anonymous nested group at byte ",         "unexpected ')' at byte ",
    "unclosed capabilities group \"",          "unexpected capabilities data at byte ",
};

bool IsParserMessage(const std::string& message) {
  for (std::string_view known : kMessages) {
    if (message.starts_with(known)) return true;
  }
  return false;
}

bool IsSpace(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b == 0x09 || b == 0x0A || b == 0x0B || b == 0x0C || b == 0x0D || b == 0x20 || b == 0x85 ||
         b == 0xA0;
}

void CheckToken(const std::string& token) {
  FUZZ_CHECK(!token.empty(), "an empty token");
  for (char c : token) FUZZ_CHECK(!IsSpace(c) && c != '(' && c != ')', "token " + token);
}

// Items, Tokens and Children describe one sequence; checks that they agree.
// Returns the depth of the deepest group below `s`.
template <typename Sequence>
int CheckSequence(const Sequence& s, std::string_view input, int depth) {
  FUZZ_CHECK(depth <= 33, "deeper than the parser allows");
  int deepest = depth;
  std::size_t token = 0;
  std::size_t child = 0;
  for (const Item& item : s.Items) {
    if (item.Kind == "token") {
      FUZZ_CHECK(token < s.Tokens.size() && s.Tokens[token] == item.Token && !item.Node,
                 "token items and tokens disagree");
      CheckToken(item.Token);
      ++token;
    } else {
      FUZZ_CHECK(item.Kind == "node" && item.Node && item.Token.empty(),
                 "bad item kind " + item.Kind);
      FUZZ_CHECK(child < s.Children.size() && s.Children[child]->Raw == item.Node->Raw,
                 "node items and children disagree");
      const Node& node = *item.Node;
      CheckToken(node.Name);
      FUZZ_CHECK(node.Raw.starts_with(node.Name) && node.Raw.ends_with(")"), node.Raw);
      FUZZ_CHECK(input.find(node.Raw) != std::string_view::npos, "raw text not in the input");
      deepest = std::max(deepest, CheckSequence(node, input, depth + 1));
      ++child;
    }
  }
  FUZZ_CHECK(token == s.Tokens.size() && child == s.Children.size(), "item count differs");
  return deepest;
}

template <typename Sequence>
std::string Render(const Sequence& s) {
  std::string out;
  for (const Item& item : s.Items) {
    if (!out.empty()) out += ' ';
    if (item.Kind == "token") {
      out += item.Token;
    } else {
      out += item.Node->Name + "(" + Render(*item.Node) + ")";
    }
  }
  return out;
}

template <typename Sequence>
bool SameTree(const Sequence& a, const Sequence& b) {
  if (a.Items.size() != b.Items.size() || a.Tokens != b.Tokens) return false;
  for (std::size_t i = 0; i < a.Items.size(); ++i) {
    const Item& x = a.Items[i];
    const Item& y = b.Items[i];
    if (x.Kind != y.Kind || x.Token != y.Token) return false;
    if (x.Node && (x.Node->Name != y.Node->Name || !SameTree(*x.Node, *y.Node))) return false;
  }
  return true;
}

void CheckJSON(std::string_view input, const lumra::support::Result<Document>& parsed) {
  lumra::ddc::Monitor monitor;
  monitor.ID = "darwin:0000:0000:00000000";
  std::ostringstream out;
  std::ostringstream err;
  const auto catalog = lumra::i18n::New("en");
  const auto printer = lumra::cli::NewPrinter(true, out, err, catalog);
  const int status = printer->PrintResult(printer->RenderCapabilities(monitor, input, false));
  const std::string text = out.str();
  if (status != 0) {
    FUZZ_CHECK(text.empty(), "a failed encoding still printed");
    return;
  }
  FUZZ_CHECK(text.ends_with("\n"), "no line feed");
  if (text.size() > (1u << 20)) return;  // large trees: reading them back costs more than it tells
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  FUZZ_CHECK(!json.is_discarded(), "the output is not JSON: " + text.substr(0, 200));
  FUZZ_CHECK(json.at("capabilities").at("raw") == lumra::fuzz::ReplaceInvalidUTF8(input),
             "the raw text did not survive");
  if (!parsed.Ok()) {
    FUZZ_CHECK(json.at("parsed") == false, "an unparsable string reported as parsed");
    FUZZ_CHECK(json.at("parse_error") == lumra::fuzz::ReplaceInvalidUTF8(parsed.Err.Message()),
               "the parse error did not survive");
  } else if (json.at("parsed") == false) {
    // Every group is written twice per level, so a deep tree can be too large to print.
    FUZZ_CHECK(json.at("parse_error") == "capabilities tree too large to render",
               "a parsed string reported as unparsable");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = lumra::fuzz::AsText(data, size);
  const auto parsed = lumra::capabilities::Parse(input);
  const auto again = lumra::capabilities::Parse(input);
  int deepest = 0;
  FUZZ_CHECK(parsed.Ok() == again.Ok() && parsed.Err.Message() == again.Err.Message(),
             "not deterministic");
  if (!parsed.Ok()) {
    FUZZ_CHECK(IsParserMessage(parsed.Err.Message()), parsed.Err.Message());
    FUZZ_CHECK(parsed.Value.Raw.empty() && parsed.Value.Items.empty(),
               "partial document on failure");
  } else {
    FUZZ_CHECK(size <= lumra::capabilities::kMaximumLength, "an oversized input was accepted");
    FUZZ_CHECK(parsed.Value.Raw == input, "raw differs from the input");
    deepest = CheckSequence(parsed.Value, input, 0);
    // Single spaces between items can make the plain form longer than the limit.
    const std::string rendered = Render(parsed.Value);
    if (rendered.size() <= lumra::capabilities::kMaximumLength) {
      const auto reparsed = lumra::capabilities::Parse(rendered);
      FUZZ_CHECK(reparsed.Ok() && SameTree(parsed.Value, reparsed.Value),
                 "the plainly written tree parses differently: " + rendered.substr(0, 200));
    }
  }
  // The JSON form doubles with every level; deep trees would spend the run on printing.
  if (deepest <= kDeepestPrinted) CheckJSON(input, parsed);
  return 0;
}
