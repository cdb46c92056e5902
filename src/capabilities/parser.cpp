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
bool isSpace(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x09 && byte <= 0x0D) || byte == 0x20 || byte == 0x85 || byte == 0xA0;
}

bool isTokenByte(char c) { return !isSpace(c) && c != '(' && c != ')'; }

// The input and the current byte offset; each operation moves the offset forward only, so
// a parse is one pass over the input.
class parser {
 public:
  explicit parser(std::string_view input) : input_(input) {}

  std::size_t position() const { return pos_; }
  bool atEnd() const { return pos_ >= input_.size(); }

  void skipSpace() {
    while (!atEnd() && isSpace(input_[pos_])) ++pos_;
  }

  std::optional<char> peek() const {
    if (atEnd()) return std::nullopt;
    return input_[pos_];
  }

  std::string readToken() {
    const std::size_t start = pos_;
    while (!atEnd() && isTokenByte(input_[pos_])) ++pos_;
    return std::string(input_.substr(start, pos_ - start));
  }

  support::Result<Node> parseSequence(std::string name, int depth, bool closeRequired) {
    Node node;
    node.Name = std::move(name);
    for (;;) {
      skipSpace();
      const std::optional<char> next = peek();
      if (!next) {
        if (!closeRequired) return {std::move(node), {}};
        return failure(support::Errorf("unclosed capabilities group %q", node.Name));
      }
      if (*next == ')') {
        if (!closeRequired) return failure(support::Errorf("unexpected ')' at byte %d", pos_));
        ++pos_;
        return {std::move(node), {}};
      }
      if (*next == '(') return failure(support::Errorf("anonymous nested group at byte %d", pos_));
      if (support::Error err = parseElement(node, depth)) return failure(std::move(err));
    }
  }

  support::Result<Node> parseGroup(std::string name, std::size_t start, int depth) {
    if (depth >= maximumDepth) {
      return failure(support::Errorf("capabilities nesting exceeds %d levels", maximumDepth));
    }
    ++pos_;  // the "(" this group was entered at
    support::Result<Node> group = parseSequence(std::move(name), depth + 1, true);
    if (!group.ok()) return group;
    group.value.Raw = std::string(input_.substr(start, pos_ - start));
    return group;
  }

 private:
  static support::Result<Node> failure(support::Error err) { return {{}, std::move(err)}; }

  // Reads one token and, when a "(" follows it, the group that the token names.
  support::Error parseElement(Node& node, int depth) {
    const std::size_t start = pos_;
    std::string token = readToken();
    skipSpace();
    if (peek() != '(') {
      node.Tokens.push_back(token);
      node.Items.push_back(Item{"token", std::move(token), nullptr});
      return {};
    }
    support::Result<Node> group = parseGroup(std::move(token), start, depth);
    if (!group.ok()) return group.err;
    // One immutable node serves both lists, so doubling shapes cost no copies.
    auto shared = std::make_shared<const Node>(std::move(group.value));
    node.Children.push_back(shared);
    node.Items.push_back(Item{"node", "", std::move(shared)});
    return {};
  }

  std::string_view input_;
  std::size_t pos_ = 0;
};

}  // namespace

support::Result<Document> Parse(std::string_view input) {
  if (input.size() > maximumLength) {
    return {{}, support::Errorf("capabilities string exceeds %d bytes", maximumLength)};
  }
  parser state(input);
  state.skipSpace();
  support::Result<Node> top = state.peek() == '('
                                  ? state.parseGroup("", state.position(), 0)
                                  : state.parseSequence("", 0, false);
  if (!top.ok()) return {{}, std::move(top.err)};
  state.skipSpace();
  if (!state.atEnd()) {
    return {{}, support::Errorf("unexpected capabilities data at byte %d", state.position())};
  }
  Document document;
  document.Raw = std::string(input);
  document.Items = std::move(top.value.Items);
  document.Tokens = std::move(top.value.Tokens);
  document.Children = std::move(top.value.Children);
  return {std::move(document), {}};
}

}  // namespace lumra::capabilities
