#pragma once
// The document tree: nodes in one arena addressed by index, linked to parent and siblings.
// Indices stay valid for the document's life (insertions append to the arena), and the tree is
// destroyed as one vector, so no part of the engine ever recurses over it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lectryn::engine::dom {

using NodeId = int32_t;
inline constexpr NodeId kNoNode = -1;

enum class NodeKind : uint8_t { Document, Element, Text };

// What the engine needs to know of a tag without comparing names again.
enum TagFlag : uint16_t {
  kTagBlock = 1 << 0,        // asks for a line break before and after
  kTagObject = 1 << 1,       // a replaced box: fallback content never rendered (see text::ReadingOf)
  kTagNotRendered = 1 << 2,  // never rendered, nor its content
  kTagBreak = 1 << 3,        // <br>
  kTagCell = 1 << 4,         // td, th
  kTagRow = 1 << 5,          // tr
  kTagPre = 1 << 6,          // white-space pre by default
  kTagFrame = 1 << 7,        // frame, iframe
  kTagBody = 1 << 8,
  kTagFrameset = 1 << 9,
  kTagVoid = 1 << 10,   // no end tag in markup
  kTagStyle = 1 << 11,  // <style>
  kTagInput = 1 << 12,
  kTagListItem = 1 << 13,
  kTagHtml = 1 << 14,
};

// Flags of a lower-case tag name.
uint16_t TagFlags(std::string_view lowerName);

struct Attribute {
  std::string name;  // lower case
  std::u16string value;
};

struct Node {
  NodeKind kind = NodeKind::Text;
  uint16_t flags = 0;  // TagFlag bits of elements
  NodeId parent = kNoNode;
  NodeId firstChild = kNoNode;
  NodeId lastChild = kNoNode;
  NodeId prevSibling = kNoNode;
  NodeId nextSibling = kNoNode;
  std::string name;     // elements: lower-case tag name
  std::u16string text;  // text nodes
  std::vector<Attribute> attributes;

  bool IsElement() const { return kind == NodeKind::Element; }
  bool Has(TagFlag flag) const { return (flags & flag) != 0; }
};

// How old a page's doctype says its markup is: full quirks (no or a very old doctype), limited
// quirks (HTML 4.01 transitional with a system id and the like) or none.
enum class QuirksMode : uint8_t { None, Limited, Full };

class Tree {
 public:
  Tree();  // holds the document node, index 0

  NodeId Root() const { return 0; }
  const Node& operator[](NodeId id) const { return nodes_[static_cast<size_t>(id)]; }
  Node& operator[](NodeId id) { return nodes_[static_cast<size_t>(id)]; }
  int32_t Size() const { return static_cast<int32_t>(nodes_.size()); }
  void Reserve(size_t nodes) { nodes_.reserve(nodes); }

  NodeId CreateElement(std::string lowerName);
  NodeId CreateText(std::u16string text);
  void AppendChild(NodeId parent, NodeId child);
  void InsertBefore(NodeId parent, NodeId child, NodeId before);  // before kNoNode: append

  // The value of an attribute, or nullptr.
  const std::u16string* AttributeValue(NodeId element, std::string_view lowerName) const;

  // Document order: the node after `id` in a pre-order walk limited to the subtree of `scope`.
  NodeId Next(NodeId id, NodeId scope) const;
  // Like Next, but skips the subtree of `id`.
  NodeId NextSkippingChildren(NodeId id, NodeId scope) const;

  // The first element child of `parent` with the given flag, or kNoNode.
  NodeId ChildWith(NodeId parent, TagFlag flag) const;
  NodeId HtmlElement() const;
  // The body element, or the frameset of a frameset page; kNoNode when there is neither.
  NodeId Body() const;
  bool IsInclusiveAncestor(NodeId ancestor, NodeId node) const;

  QuirksMode Quirks() const { return quirks_; }
  void SetQuirks(QuirksMode quirks) { quirks_ = quirks; }

 private:
  std::vector<Node> nodes_;
  QuirksMode quirks_ = QuirksMode::None;
};

}  // namespace lectryn::engine::dom
