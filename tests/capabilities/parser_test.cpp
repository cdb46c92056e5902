#include "capabilities/parser.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumra::capabilities {
namespace {

std::string Repeat(std::string_view part, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += part;
  return out;
}

// Writes a sequence as "tok name(...)" from Items, and checks that Tokens and Children list
// the same elements in the same order, with the very node objects the items refer to.
std::string Describe(const std::vector<Item>& items, const std::vector<std::string>& tokens,
                     const std::vector<std::shared_ptr<const Node>>& children) {
  std::string out;
  std::size_t token = 0;
  std::size_t child = 0;
  for (const Item& item : items) {
    if (!out.empty()) out += ' ';
    if (item.Kind == "token") {
      EXPECT_EQ(item.Node, nullptr);
      EXPECT_LT(token, tokens.size());
      if (token < tokens.size()) {
        EXPECT_EQ(tokens[token++], item.Token);
      }
      out += item.Token;
      continue;
    }
    EXPECT_EQ(item.Kind, "node");
    EXPECT_TRUE(item.Token.empty());
    EXPECT_LT(child, children.size());
    if (item.Node == nullptr || child >= children.size()) return out + "<broken>";
    EXPECT_EQ(children[child++].get(), item.Node.get());
    const Node& node = *item.Node;
    out += node.Name + "(" + Describe(node.Items, node.Tokens, node.Children) + ")";
  }
  EXPECT_EQ(token, tokens.size());
  EXPECT_EQ(child, children.size());
  return out;
}

std::string Describe(const Document& document) {
  return Describe(document.Items, document.Tokens, document.Children);
}

TEST(CapabilitiesParse, FailuresGiveExactMessagesAndAnEmptyDocument) {
  struct Case {
    std::string input;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"(())", "anonymous nested group at byte 1"},
      {"( (b))", "anonymous nested group at byte 2"},
      {"a (b) (c)", "anonymous nested group at byte 6"},
      {"(a)(b)", "unexpected capabilities data at byte 3"},
      {"(a) b", "unexpected capabilities data at byte 4"},
      {"(a))", "unexpected capabilities data at byte 3"},
      {" (a)\t\n x", "unexpected capabilities data at byte 7"},
      {")", "unexpected ')' at byte 0"},
      {"a)", "unexpected ')' at byte 1"},
      {"  a b(c))", "unexpected ')' at byte 8"},
      {"\xA0\x85)", "unexpected ')' at byte 2"},
      {"(", "unclosed capabilities group \"\""},
      {"(a", "unclosed capabilities group \"\""},
      {"a(b", "unclosed capabilities group \"a\""},
      {"a(b(c)", "unclosed capabilities group \"a\""},
      {"(a(b(c", "unclosed capabilities group \"b\""},
      {"x\"y\\(", "unclosed capabilities group \"x\\\"y\\\\\""},
      {"a\x01\x7f(", "unclosed capabilities group \"a\\x01\\x7f\""},
      {"\xff\xc3\xa9(", "unclosed capabilities group \"\\xff\xc3\xa9\""},
      {"a\xe2\x80\x8b(", "unclosed capabilities group \"a\\u200b\""},
      {Repeat(")", kMaximumLength + 1), "capabilities string exceeds 65536 bytes"},
      {Repeat(")", kMaximumLength), "unexpected ')' at byte 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input.substr(0, 40));
    const support::Result<Document> result = Parse(c.input);
    ASSERT_TRUE(result.Err);
    EXPECT_EQ(result.Err.Message(), c.message);
    EXPECT_TRUE(result.Err.Wrapped().empty());
    EXPECT_TRUE(result.Value.Raw.empty());
    EXPECT_TRUE(result.Value.Items.empty());
    EXPECT_TRUE(result.Value.Tokens.empty());
    EXPECT_TRUE(result.Value.Children.empty());
  }
}

TEST(CapabilitiesParse, AcceptedShapes) {
  struct Case {
    std::string input;
    std::string structure;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {" \t\r\n", ""},
      {"()", ""},
      {"( )", ""},
      {"vcp(10 12)", "vcp(10 12)"},
      {"10 20", "10 20"},
      {"a b(c)", "a b(c)"},
      {"vcp (10 12)", "vcp(10 12)"},
      {"(x()y())", "x() y()"},
      {"model(X\tY\nZ\rW\vV\fU\x85T\xA0S)", "model(X Y Z W V U T S)"},
      // Only the listed bytes separate; other controls and high bytes belong to tokens.
      {"a\x08"
       "b\x0e"
       "c\x1f"
       "d\x84"
       "e\x86"
       "f\xa1"
       "g,\"h\"",
       "a\x08"
       "b\x0e"
       "c\x1f"
       "d\x84"
       "e\x86"
       "f\xa1"
       "g,\"h\""},
      // Bytes are not decoded: U+00A0 (C2 A0) is split at its second byte.
      {"a\xc2\xa0"
       "b \xc3\xa9",
       "a\xc2 b \xc3\xa9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const support::Result<Document> result = Parse(c.input);
    ASSERT_FALSE(result.Err) << result.Err.Message();
    EXPECT_EQ(result.Value.Raw, c.input);
    EXPECT_EQ(Describe(result.Value), c.structure);
  }
}

TEST(CapabilitiesParse, WorkedExample) {
  const support::Result<Document> result =
      Parse("(prot(monitor) vcp(10 12 60(0F 11)) mccs_ver(2.2))");
  ASSERT_FALSE(result.Err);
  const Document& doc = result.Value;
  EXPECT_EQ(Describe(doc), "prot(monitor) vcp(10 12 60(0F 11)) mccs_ver(2.2)");
  EXPECT_TRUE(doc.Tokens.empty());
  ASSERT_EQ(doc.Children.size(), 3u);
  EXPECT_EQ(doc.Children[0]->Raw, "prot(monitor)");
  const Node& vcp = *doc.Children[1];
  EXPECT_EQ(vcp.Raw, "vcp(10 12 60(0F 11))");
  ASSERT_EQ(vcp.Items.size(), 3u);
  EXPECT_EQ(vcp.Items[2].Kind, "node");
  EXPECT_EQ(vcp.Items[2].Node->Raw, "60(0F 11)");
  EXPECT_EQ(doc.Children[2]->Raw, "mccs_ver(2.2)");
}

TEST(CapabilitiesParse, RawTexts) {
  const support::Result<Document> result = Parse("  \nvcp (10 a  (b)) x(\xA0y)\t ");
  ASSERT_FALSE(result.Err);
  EXPECT_EQ(result.Value.Raw, "  \nvcp (10 a  (b)) x(\xA0y)\t ");
  ASSERT_EQ(result.Value.Children.size(), 2u);
  const Node& vcp = *result.Value.Children[0];
  EXPECT_EQ(vcp.Raw, "vcp (10 a  (b))");
  ASSERT_EQ(vcp.Children.size(), 1u);
  EXPECT_EQ(vcp.Children[0]->Raw, "a  (b)");
  EXPECT_EQ(result.Value.Children[1]->Raw, "x(\xA0y)");
}

TEST(CapabilitiesParse, DepthLimitWithAndWithoutOuterParentheses) {
  const auto bare = [](std::size_t levels) { return Repeat("a(", levels) + Repeat(")", levels); };
  const auto outer = [](std::size_t levels) {
    return "(" + Repeat("a(", levels - 1) + Repeat(")", levels);
  };
  for (const std::string& input : {bare(32), outer(32)}) {
    const support::Result<Document> result = Parse(input);
    ASSERT_FALSE(result.Err) << result.Err.Message();
    int levels = input[0] == '(' ? 1 : 0;
    const auto firstChild = [](const std::vector<std::shared_ptr<const Node>>& children) {
      return children.empty() ? nullptr : children[0];
    };
    for (auto node = firstChild(result.Value.Children); node; node = firstChild(node->Children)) {
      ++levels;
    }
    EXPECT_EQ(levels, 32) << input;
  }
  // An unclosed 33rd level still reports the nesting, which is found first.
  for (const std::string& input : {bare(33), outer(33), Repeat("a(", 40)}) {
    const support::Result<Document> result = Parse(input);
    ASSERT_TRUE(result.Err) << input;
    EXPECT_EQ(result.Err.Message(), "capabilities nesting exceeds 32 levels");
  }
}

TEST(CapabilitiesParse, GroupsAreSharedNotCopied) {
  // Every level is reachable twice (Items and Children); copies would double per level.
  const std::string input = "(" + Repeat("g(t ", 31) + Repeat(")", 32);
  const support::Result<Document> result = Parse(input);
  ASSERT_FALSE(result.Err);
  std::vector<Item> items = result.Value.Items;
  int groups = 0;
  while (!items.empty() && items.back().Kind == "node") {
    ++groups;
    items = items.back().Node->Items;
  }
  EXPECT_EQ(groups, 31);
  const Node* top = result.Value.Children[0].get();
  EXPECT_EQ(top, result.Value.Items[0].Node.get());
  EXPECT_EQ(top->Children[0].get(), top->Items[1].Node.get());
}

TEST(CapabilitiesParse, SizeLimitBoundary) {
  const std::string exact = Repeat("a ", kMaximumLength / 2);
  const support::Result<Document> accepted = Parse(exact);
  ASSERT_FALSE(accepted.Err) << accepted.Err.Message();
  EXPECT_EQ(accepted.Value.Tokens.size(), kMaximumLength / 2);
  EXPECT_EQ(accepted.Value.Raw.size(), kMaximumLength);

  const support::Result<Document> rejected = Parse(exact + "b");
  ASSERT_TRUE(rejected.Err);
  EXPECT_EQ(rejected.Err.Message(), "capabilities string exceeds 65536 bytes");
}

TEST(CapabilitiesParse, RealisticMonitorString) {
  const std::string input =
      "(prot(monitor)type(LCD)model(LM27Q)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 "
      "14(05 08 0B) 16 18 1A 52 60( 0F 11 12) AA(01 02) AC AE B2 B6 C6 C8 C9 D6(01 04 05) DF "
      "E0 F0(00 08))mswhql(1)asset_eep(40)mccs_ver(2.1))\r\n";
  const support::Result<Document> result = Parse(input);
  ASSERT_FALSE(result.Err) << result.Err.Message();
  std::vector<std::string> names;
  for (const auto& child : result.Value.Children) names.push_back(child->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"prot", "type", "model", "cmds", "vcp", "mswhql",
                                             "asset_eep", "mccs_ver"}));
  const Node& vcp = *result.Value.Children[4];
  EXPECT_EQ(vcp.Tokens.size(), 19u);
  ASSERT_EQ(vcp.Children.size(), 5u);
  EXPECT_EQ(vcp.Children[1]->Raw, "60( 0F 11 12)");
  EXPECT_EQ(vcp.Children[1]->Tokens, (std::vector<std::string>{"0F", "11", "12"}));
  EXPECT_EQ(result.Value.Children[7]->Tokens, std::vector<std::string>{"2.1"});
}

}  // namespace
}  // namespace lumra::capabilities
