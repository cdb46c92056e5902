#include "capabilities/parser.hpp"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "support/format.hpp"

namespace lumra::capabilities {

namespace {

// White space is judged byte by byte, so 0x85 and 0xA0 separate tokens even inside a
// multi-byte character.
bool IsSpace(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x09 && byte <= 0x0D) || byte == 0x20 || byte == 0x85 || byte == 0xA0;
}

bool IsTokenByte(char c) { return !IsSpace(c) && c != '(' && c != ')'; }

// The input and the current byte offset; each operation moves the offset forward only, so
// a parse is one pass over the input.
class Parser {
 public:
  explicit Parser(std::string_view input) : input_(input) {}

  std::size_t Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= input_.size(); }

  void SkipSpace() {
    while (!AtEnd() && IsSpace(input_[pos_])) ++pos_;
  }

  std::optional<char> Peek() const {
    if (AtEnd()) return std::nullopt;
    return input_[pos_];
  }

  std::string ReadToken() {
    const std::size_t start = pos_;
    while (!AtEnd() && IsTokenByte(input_[pos_])) ++pos_;
    return std::string(input_.substr(start, pos_ - start));
  }

  support::Result<Node> ParseSequence(std::string name, int depth, bool closeRequired) {
    Node node;
    node.Name = std::move(name);
    for (;;) {
      SkipSpace();
      const std::optional<char> next = Peek();
      if (!next) {
        if (!closeRequired) return {std::move(node), {}};
        return Failure(support::Errorf("unclosed capabilities group %q", node.Name));
      }
      if (*next == ')') {
        if (!closeRequired) return Failure(support::Errorf("unexpected ')' at byte %d", pos_));
        ++pos_;
        return {std::move(node), {}};
      }
      if (*next == '(') return Failure(support::Errorf("anonymous nested group at byte %d", pos_));
      if (support::Error err = ParseElement(node, depth)) return Failure(std::move(err));
    }
  }

  support::Result<Node> ParseGroup(std::string name, std::size_t start, int depth) {
    if (depth >= kMaximumDepth) {
      return Failure(support::Errorf("capabilities nesting exceeds %d levels", kMaximumDepth));
    }
    ++pos_;  // the "(" this group was entered at
    support::Result<Node> group = ParseSequence(std::move(name), depth + 1, true);
    if (!group.Ok()) return group;
    group.Value.Raw = std::string(input_.substr(start, pos_ - start));
    return group;
  }

 private:
  static support::Result<Node> Failure(support::Error err) { return {{}, std::move(err)}; }

  // Reads one token and, when a "(" follows it, the group that the token names.
  support::Error ParseElement(Node& node, int depth) {
    const std::size_t start = pos_;
    std::string token = ReadToken();
    SkipSpace();
    if (Peek() != '(') {
      node.Tokens.push_back(token);
      node.Items.push_back(Item{"token", std::move(token), nullptr});
      return {};
    }
    support::Result<Node> group = ParseGroup(std::move(token), start, depth);
    if (!group.Ok()) return group.Err;
    // One immutable node serves both lists, so doubling shapes cost no copies.
    auto shared = std::make_shared<const Node>(std::move(group.Value));
    node.Children.push_back(shared);
    node.Items.push_back(Item{"node", "", std::move(shared)});
    return {};
  }

  std::string_view input_;
  std::size_t pos_ = 0;
};

}  // namespace

support::Result<Document> Parse(std::string_view input) {
  if (input.size() > kMaximumLength) {
    return {{}, support::Errorf("capabilities string exceeds %d bytes", kMaximumLength)};
  }
  Parser state(input);
  state.SkipSpace();
  support::Result<Node> top = state.Peek() == '(' ? state.ParseGroup("", state.Position(), 0)
                                                  : state.ParseSequence("", 0, false);
  if (!top.Ok()) return {{}, std::move(top.Err)};
  state.SkipSpace();
  if (!state.AtEnd()) {
    return {{}, support::Errorf("unexpected capabilities data at byte %d", state.Position())};
  }
  Document document;
  document.Raw = std::string(input);
  document.Items = std::move(top.Value.Items);
  document.Tokens = std::move(top.Value.Tokens);
  document.Children = std::move(top.Value.Children);
  return {std::move(document), {}};
}

}  // namespace lumra::capabilities
