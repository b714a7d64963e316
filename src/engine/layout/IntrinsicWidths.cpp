// Min- and max-content widths (CSS 2.1 section 10.3.5's preferred widths), once per box: floats,
// inline-blocks and table cells ask for them before they are laid out.
#include <algorithm>

#include "engine/layout/Layouter.h"

namespace lectryn::engine::layout {

using css::ComputedStyle;
using dom::kNoNode;
using dom::NodeId;

IntrinsicWidths Layouter::Intrinsic(NodeId node) {
  auto found = intrinsic_.find(node);
  if (found != intrinsic_.end()) return found->second;
  const ComputedStyle& style = Style(node);
  const Edges border = BordersOf(node);
  const Edges padding = PaddingOf(style, 0);
  const float edges = border.left + border.right + padding.left + padding.right;
  IntrinsicWidths widths;
  if (ReplacedKindOf(node) != ReplacedKind::None) {
    float height = 0;
    ReplacedSize(node, {0, 0, std::nullopt}, &widths.max, &height);
    widths.min = widths.max;
  } else if (depth_ < kMaxDepth) {
    ++depth_;
    widths = IntrinsicOfContent(node);
    --depth_;
  }
  const bool borderBox = style.boxSizing == css::BoxSizing::BorderBox;
  auto content = [&](const css::Length& length) { return borderBox ? length.value - edges : length.value; };
  const bool table = style.display == css::Display::Table || style.display == css::Display::InlineTable ||
                     style.display == css::Display::TableCell;
  if (style.width.unit == css::LengthUnit::Px && ReplacedKindOf(node) == ReplacedKind::None) {
    float fixed = std::max(0.0F, content(style.width));
    // Tables and cells are never narrower than their content needs.
    widths.min = table ? std::max(fixed, widths.min) : fixed;
    widths.max = std::max(widths.min, fixed);
  }
  if (style.maxWidth.unit == css::LengthUnit::Px) {
    widths.max = std::min(widths.max, content(style.maxWidth));
    widths.min = std::min(widths.min, widths.max);
  }
  if (style.minWidth.unit == css::LengthUnit::Px) {
    widths.min = std::max(widths.min, content(style.minWidth));
    widths.max = std::max(widths.max, widths.min);
  }
  widths.min = std::clamp(widths.min + edges, 0.0F, kMaxSize);
  widths.max = std::clamp(std::max(widths.max + edges, widths.min), 0.0F, kMaxSize);
  intrinsic_[node] = widths;
  return widths;
}

IntrinsicWidths Layouter::IntrinsicOfContent(NodeId node) {
  const ComputedStyle& style = Style(node);
  if (style.display == css::Display::Table || style.display == css::Display::InlineTable)
    return IntrinsicOfTable(node);
  if (css::IsFlex(style.display)) return IntrinsicOfFlex(node);
  if (css::IsGrid(style.display)) return IntrinsicOfGrid(node);
  const NodeId first = tree_[node].firstChild;
  if (first == kNoNode) return {};
  bool hasBlock = false;
  for (NodeId child = first; child != kNoNode && !hasBlock; child = tree_[child].nextSibling)
    hasBlock = Rendered(child) && BlockLevel(child) && !OutOfFlow(child);
  if (!hasBlock) return IntrinsicOfInline(first, tree_[node].lastChild);
  IntrinsicWidths result;
  auto add = [&](IntrinsicWidths widths) {
    result.min = std::max(result.min, widths.min);
    result.max = std::max(result.max, widths.max);
  };
  NodeId runFirst = kNoNode;
  NodeId runLast = kNoNode;
  for (NodeId child = first; child != kNoNode; child = tree_[child].nextSibling) {
    if (!Rendered(child)) continue;
    if (BlockLevel(child) || OutOfFlow(child)) {
      if (runFirst != kNoNode) add(IntrinsicOfInline(runFirst, runLast));
      runFirst = runLast = kNoNode;
      if (Style(child).position == css::Position::Absolute || Style(child).position == css::Position::Fixed)
        continue;
      IntrinsicWidths inner = Intrinsic(child);
      const ComputedStyle& childStyle = Style(child);
      // Percentages of an unknown width count as nothing; auto margins too.
      float margins =
          childStyle.margin[css::kLeft].unit == css::LengthUnit::Px ? childStyle.margin[css::kLeft].value : 0;
      margins += childStyle.margin[css::kRight].unit == css::LengthUnit::Px
                     ? childStyle.margin[css::kRight].value
                     : 0;
      add({std::max(0.0F, inner.min + margins), std::max(0.0F, inner.max + margins)});
    } else {
      if (runFirst == kNoNode) runFirst = child;
      runLast = child;
    }
  }
  if (runFirst != kNoNode) add(IntrinsicOfInline(runFirst, runLast));
  return result;
}

}  // namespace lectryn::engine::layout
