#include "engine/dom/ControlLabel.h"

#include "platform/Text.h"

namespace lectryn::engine::dom {

namespace {
constexpr size_t kMaxLabel = 1000;
}

PushButton PushButtonOf(const Tree& tree, NodeId node) {
  if (!tree[node].IsElement() || !tree[node].Has(kTagInput)) return PushButton::Other;
  const std::u16string* type = tree.AttributeValue(node, "type");
  if (type == nullptr) return PushButton::Other;
  if (platform::EqualsIgnoringAsciiCase(*type, u"submit")) return PushButton::Submit;
  if (platform::EqualsIgnoringAsciiCase(*type, u"reset")) return PushButton::Reset;
  if (platform::EqualsIgnoringAsciiCase(*type, u"button")) return PushButton::Button;
  return PushButton::Other;
}

std::u16string ControlLabel(const Tree& tree, NodeId node) {
  const Node& n = tree[node];
  if (!n.IsElement()) return {};
  if (n.name == "button") {
    std::u16string label;
    for (NodeId c = tree.Next(node, node); c != kNoNode && label.size() < kMaxLabel; c = tree.Next(c, node))
      if (tree[c].kind == NodeKind::Text) label += tree[c].text;
    return label.substr(0, kMaxLabel);
  }
  PushButton kind = PushButtonOf(tree, node);
  if (kind == PushButton::Other) return {};
  if (const std::u16string* value = tree.AttributeValue(node, "value")) return value->substr(0, kMaxLabel);
  return kind == PushButton::Reset ? u"Reset" : kind == PushButton::Submit ? u"Submit" : u"";
}

}  // namespace lectryn::engine::dom
