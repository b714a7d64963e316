#include "engine/layout/ElementGeometry.h"

#include <algorithm>
#include <cmath>

namespace lectryn::engine::layout {

int32_t RoundPixels(float value) {
  return static_cast<int32_t>(std::floor(value + 0.5F));
}

const Box* ElementGeometry::FirstBox(dom::NodeId element) const {
  int32_t index = layout_.FirstBoxOf(element);
  return index < 0 ? nullptr : &layout_.boxes[static_cast<size_t>(index)];
}

bool ElementGeometry::IsTablePart(dom::NodeId element) const {
  const std::string& name = tree_[element].name;
  return name == "td" || name == "th" || name == "table";
}

dom::NodeId ElementGeometry::OffsetParent(dom::NodeId element) const {
  if (FirstBox(element) == nullptr || tree_[element].Has(dom::kTagBody) || element == tree_.HtmlElement()) {
    return dom::kNoNode;
  }
  const auto& style = styles_[static_cast<size_t>(element)];
  if (style.position == css::Position::Fixed) return dom::kNoNode;
  bool positioned = style.position != css::Position::Static;
  for (dom::NodeId node = tree_[element].parent; node != dom::kNoNode; node = tree_[node].parent) {
    if (!tree_[node].IsElement()) continue;
    if (styles_[static_cast<size_t>(node)].position != css::Position::Static) return node;
    // A positioned element skips the table parts on its way up.
    if (tree_[node].Has(dom::kTagBody) || (!positioned && IsTablePart(node))) return node;
  }
  return dom::kNoNode;
}

OffsetGeometry ElementGeometry::Offsets(dom::NodeId element) const {
  int32_t index = layout_.FirstBoxOf(element);
  if (index < 0) return {};
  const Rect& first = layout_.boxes[static_cast<size_t>(index)].border;
  float left = first.x, top = first.y, right = first.Right(), bottom = first.Bottom();
  for (int32_t next = layout_.boxes[static_cast<size_t>(index)].nextOfNode; next >= 0;
       next = layout_.boxes[static_cast<size_t>(next)].nextOfNode) {
    const Rect& border = layout_.boxes[static_cast<size_t>(next)].border;
    left = std::min(left, border.x);
    top = std::min(top, border.y);
    right = std::max(right, border.Right());
    bottom = std::max(bottom, border.Bottom());
  }
  Point origin;
  dom::NodeId parent = OffsetParent(element);
  if (parent != dom::kNoNode && !tree_[parent].Has(dom::kTagBody)) {
    Rect padding = FirstBox(parent)->PaddingBox();
    origin = {padding.x, padding.y};
  }
  OffsetGeometry offsets;
  if (!tree_[element].Has(dom::kTagBody)) {
    offsets.left = RoundPixels(first.x - origin.x);
    offsets.top = RoundPixels(first.y - origin.y);
  }
  offsets.width = RoundPixels(right - origin.x) - RoundPixels(left - origin.x);
  offsets.height = RoundPixels(bottom - origin.y) - RoundPixels(top - origin.y);
  return offsets;
}

int32_t ElementGeometry::ClientLeft(dom::NodeId element) const {
  const Box* box = FirstBox(element);
  return box == nullptr || box->kind == BoxKind::Inline ? 0 : RoundPixels(box->borderWidths.left);
}

int32_t ElementGeometry::ClientTop(dom::NodeId element) const {
  const Box* box = FirstBox(element);
  return box == nullptr || box->kind == BoxKind::Inline ? 0 : RoundPixels(box->borderWidths.top);
}

bool ElementGeometry::IsScrollContainer(dom::NodeId element) const {
  const Box* box = FirstBox(element);
  return box != nullptr && box->scrollContainer;
}

}  // namespace lectryn::engine::layout
