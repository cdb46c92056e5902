#pragma once

#include <memory>
#include <string>
#include <vector>

namespace lumra::capabilities {

struct Node;

// One element of a sequence, in input order: a bare token or a group.
struct Item {
  std::string Kind;  // "token" or "node"
  std::string Token;
  // The group of a "node" item. Groups are immutable and shared with the parent's Children,
  // so a tree is built and held in linear space however deep it nests.
  std::shared_ptr<const capabilities::Node> Node;
};

// One named group.
struct Node {
  std::string Name;
  std::vector<Item> Items;
  std::vector<std::string> Tokens;
  std::vector<std::shared_ptr<const capabilities::Node>> Children;
  std::string Raw;  // from the first byte of the name through the closing ")"
};

// The parse result of a whole capabilities string.
struct Document {
  std::string Raw;  // the whole input, as received
  std::vector<Item> Items;
  std::vector<std::string> Tokens;
  std::vector<std::shared_ptr<const capabilities::Node>> Children;
};

}  // namespace lumra::capabilities
