// Flexible boxes: items set on lines along the main axis, their main sizes flexed to fill the
// line, then aligned across it. Every item is laid out once, at its final width (a row's main
// size, a column's cross size), and moved into place after; an item that grows taller or is
// stretched takes its new height without laying out its content again.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "engine/layout/Layouter.h"

namespace lectryn::engine::layout {

using css::Align;
using css::ComputedStyle;
using dom::kNoNode;
using dom::NodeId;

namespace {

constexpr float kInfinite = std::numeric_limits<float>::infinity();

struct FlexItem {
  NodeId node = kNoNode;  // kNoNode: an anonymous item, the text of [first, last]
  NodeId first = kNoNode;
  NodeId last = kNoNode;
  int32_t order = 0;
  Edges margin;
  bool autoMargin[4] = {};  // by side
  float edgesMain = 0;      // border and padding along the main axis
  float grow = 0;
  float shrink = 1;
  float base = 0;  // flex base size and the limits of the main size, all of the border box
  float minMain = 0;
  float maxMain = kInfinite;
  float hypothetical = 0;
  float target = 0;
  bool frozen = false;
  int violation = 0;  // held at its minimum (1) or maximum (-1) in this round
  int32_t box = -1;  // its boxes [box, boxEnd); none when an anonymous item made no line
  int32_t boxEnd = -1;
  float cross = 0;     // border-box cross size
  float baseline = 0;  // from the top of its margin box
  Align align = Align::Stretch;
  bool stretch = false;

  float MarginMain(bool row) const { return row ? margin.left + margin.right : margin.top + margin.bottom; }
  float MarginCross(bool row) const { return row ? margin.top + margin.bottom : margin.left + margin.right; }
};

struct FlexLine {
  size_t first = 0;  // items [first, end) in `order` order
  size_t end = 0;
  float cross = 0;
  float maxAscent = 0;  // of items aligned on their baselines
  float maxDescent = 0;
  float position = 0;   // cross offset from the content box
};

float ResolveDefinite(const css::Length& length, std::optional<float> base) {
  return length.ResolveIfKnown(base).value_or(-1);
}

// The distribution of free space among items or lines: the offset of the first and the space
// added between neighbours.
void Distribute(Align align, float free, size_t count, float* start, float* between) {
  *start = 0;
  *between = 0;
  if (count == 0) return;
  switch (align) {
    case Align::End:
      *start = free;
      break;
    case Align::Center:
      *start = free / 2;
      break;
    case Align::SpaceBetween:
      if (free > 0 && count > 1) *between = free / static_cast<float>(count - 1);
      break;
    case Align::SpaceAround:
      if (free > 0) {
        *between = free / static_cast<float>(count);
        *start = *between / 2;
      } else {
        *start = free / 2;
      }
      break;
    case Align::SpaceEvenly:
      if (free > 0) {
        *between = free / static_cast<float>(count + 1);
        *start = *between;
      } else {
        *start = free / 2;
      }
      break;
    default:
      break;
  }
}

// Flexes the items of one line to fill `available`: the resolution of flexible lengths, with
// items frozen at their limits until the rest fit.
void ResolveFlexibleLengths(std::vector<FlexItem*>& items, float available, float gaps, bool row) {
  float hypotheticalSum = gaps;
  for (FlexItem* item : items) hypotheticalSum += item->hypothetical + item->MarginMain(row);
  const bool growing = hypotheticalSum < available;
  for (FlexItem* item : items) {
    item->target = item->hypothetical;
    float factor = growing ? item->grow : item->shrink;
    item->frozen = factor == 0 || (growing && item->base > item->hypothetical) ||
                   (!growing && item->base < item->hypothetical);
  }
  auto freeSpace = [&] {
    float used = gaps;
    for (FlexItem* item : items) used += (item->frozen ? item->target : item->base) + item->MarginMain(row);
    return available - used;
  };
  const float initialFree = freeSpace();
  for (size_t round = 0; round <= items.size(); ++round) {
    float factors = 0;
    float scaledShrink = 0;
    for (FlexItem* item : items) {
      if (item->frozen) continue;
      factors += growing ? item->grow : item->shrink;
      scaledShrink += item->shrink * std::max(0.0F, item->base - item->edgesMain);
    }
    if (factors == 0) break;
    float free = freeSpace();
    if (factors < 1 && std::abs(initialFree * factors) < std::abs(free)) free = initialFree * factors;
    float violation = 0;
    for (FlexItem* item : items) {
      if (item->frozen) continue;
      float size = item->base;
      if (growing) {
        size += free * item->grow / factors;
      } else if (scaledShrink > 0) {
        size += free * item->shrink * std::max(0.0F, item->base - item->edgesMain) / scaledShrink;
      }
      float clamped = std::max(std::min(size, item->maxMain), item->minMain);
      item->violation = clamped > size ? 1 : clamped < size ? -1 : 0;
      violation += clamped - size;
      item->target = clamped;
    }
    // Items held at a limit keep it; the others share what is left again.
    for (FlexItem* item : items) {
      if (item->frozen) continue;
      if (violation == 0 || (violation > 0 && item->violation > 0) || (violation < 0 && item->violation < 0))
        item->frozen = true;
    }
    if (violation == 0) break;
  }
}

}  // namespace

IntrinsicWidths Layouter::IntrinsicOfFlex(NodeId node) {
  const ComputedStyle& style = Style(node);
  const bool row =
      style.flexDirection == css::FlexDirection::Row || style.flexDirection == css::FlexDirection::RowReverse;
  const bool wrap = style.flexWrap != css::FlexWrap::Nowrap;
  const float gap = style.columnGap.unit == css::LengthUnit::Px ? style.columnGap.value : 0;
  IntrinsicWidths result;
  int count = 0;
  auto add = [&](IntrinsicWidths widths) {
    if (row) {
      result.max += widths.max;
      result.min = wrap ? std::max(result.min, widths.min) : result.min + widths.min;
      ++count;
    } else {
      result.max = std::max(result.max, widths.max);
      result.min = std::max(result.min, widths.min);
    }
  };
  NodeId runFirst = kNoNode;
  NodeId runLast = kNoNode;
  auto flush = [&] {
    if (runFirst != kNoNode) add(IntrinsicOfInline(runFirst, runLast));
    runFirst = runLast = kNoNode;
  };
  for (NodeId child = tree_[node].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
    if (!Rendered(child)) continue;
    if (tree_[child].IsElement() && BlockLevel(child)) {
      flush();
      if (OutOfFlow(child)) continue;
      const ComputedStyle& childStyle = Style(child);
      float margins = 0;
      for (int side : {css::kLeft, css::kRight}) {
        const css::Length& margin = childStyle.margin[static_cast<size_t>(side)];
        if (margin.unit == css::LengthUnit::Px) margins += margin.value;
      }
      IntrinsicWidths inner = Intrinsic(child);
      add({std::max(0.0F, inner.min + margins), std::max(0.0F, inner.max + margins)});
    } else if (runFirst != kNoNode || !Blank(child)) {
      if (runFirst == kNoNode) runFirst = child;
      runLast = child;
    }
  }
  flush();
  if (row && count > 1) {
    result.max += gap * static_cast<float>(count - 1);
    if (!wrap) result.min += gap * static_cast<float>(count - 1);
  }
  return result;
}

void Layouter::LayOutFlex(NodeId node, int32_t box, const Containing& content, BlockFlow& flow) {
  const ComputedStyle& style = Style(node);
  const bool row =
      style.flexDirection == css::FlexDirection::Row || style.flexDirection == css::FlexDirection::RowReverse;
  const bool reverse = style.flexDirection == css::FlexDirection::RowReverse ||
                       style.flexDirection == css::FlexDirection::ColumnReverse;
  const bool wrap = style.flexWrap != css::FlexWrap::Nowrap;
  const float contentTop = flow.cursorY;
  // Gaps: percentages of the content box's width, or of its height when that is definite.
  const float mainGap = std::max(0.0F, row ? style.columnGap.Resolve(content.width)
                                           : style.rowGap.Resolve(content.height.value_or(0)));
  const float crossGap = std::max(0.0F, row ? style.rowGap.Resolve(content.height.value_or(0))
                                            : style.columnGap.Resolve(content.width));
  const float availableMain = row ? content.width : content.height.value_or(kInfinite);
  std::optional<float> definiteCross;
  if (row) definiteCross = content.height;

  // The items: element children and the runs of text between them.
  std::vector<FlexItem> items;
  NodeId runFirst = kNoNode;
  NodeId runLast = kNoNode;
  auto flush = [&] {
    if (runFirst != kNoNode) {
      FlexItem item;
      item.first = runFirst;
      item.last = runLast;
      items.push_back(item);
    }
    runFirst = runLast = kNoNode;
  };
  for (NodeId child = tree_[node].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
    if (!Rendered(child)) continue;
    if (tree_[child].IsElement() && BlockLevel(child)) {
      flush();
      if (OutOfFlow(child)) {
        LayOutAbsolute(child, box, content, contentTop);
        continue;
      }
      FlexItem item;
      item.node = child;
      items.push_back(item);
    } else if (runFirst != kNoNode || !Blank(child)) {
      if (runFirst == kNoNode) runFirst = child;
      runLast = child;
    }
  }
  flush();
  if (items.empty()) {
    flow.strut = {};
    return;
  }

  // Sizes along the main axis.
  const Containing itemCb{content.x, content.width, content.height};
  for (FlexItem& item : items) {
    if (item.node == kNoNode) {
      IntrinsicWidths widths = IntrinsicOfInline(item.first, item.last);
      item.grow = 0;
      item.shrink = 1;
      item.base = row ? widths.max : -1;  // a column's from its height, below
      item.minMain = row ? widths.min : -1;
      item.align = style.alignItems == Align::Normal ? Align::Stretch : style.alignItems;
      continue;
    }
    const ComputedStyle& s = Style(item.node);
    item.order = s.order;
    item.grow = s.flexGrow;
    item.shrink = s.flexShrink;
    item.margin = MarginOf(s, content.width);
    for (int side = 0; side < 4; ++side) item.autoMargin[side] = s.margin[static_cast<size_t>(side)].IsAuto();
    const Edges border = BorderOf(s);
    const Edges padding = PaddingOf(s, content.width);
    item.edgesMain = row ? border.left + border.right + padding.left + padding.right
                         : border.top + border.bottom + padding.top + padding.bottom;
    const bool borderBox = s.boxSizing == css::BoxSizing::BorderBox;
    std::optional<float> mainBase = row ? std::optional(content.width) : content.height;
    auto toBorderBox = [&](float size) { return borderBox ? std::max(size, item.edgesMain) : size + item.edgesMain; };
    float basis = ResolveDefinite(s.flexBasis, mainBase);
    if (basis < 0 && s.flexBasis.IsAuto()) basis = ResolveDefinite(row ? s.width : s.height, mainBase);
    if (basis >= 0) item.base = toBorderBox(basis);
    else item.base = -1;  // from the content, below
    float maxMain = ResolveDefinite(row ? s.maxWidth : s.maxHeight, mainBase);
    item.maxMain = maxMain >= 0 ? toBorderBox(maxMain) : kInfinite;
    float minMain = ResolveDefinite(row ? s.minWidth : s.minHeight, mainBase);
    const bool scrolls = s.overflowX != css::Overflow::Visible || s.overflowY != css::Overflow::Visible;
    if (minMain >= 0) {
      item.minMain = toBorderBox(minMain);
    } else if (!(row ? s.minWidth : s.minHeight).IsAuto() || scrolls) {
      item.minMain = item.edgesMain;
    } else if (row) {
      // The automatic minimum: no narrower than its content, nor than a width it was given.
      item.minMain = std::min(Intrinsic(item.node).min, item.maxMain);
    } else {
      item.minMain = -1;  // the content's height, below
    }
    Align self = s.alignSelf == Align::Auto ? style.alignItems : s.alignSelf;
    item.align = self == Align::Normal ? Align::Stretch : self;
    item.stretch = item.align == Align::Stretch && (row ? s.height : s.width).IsAuto() &&
                   !item.autoMargin[row ? css::kTop : css::kLeft] &&
                   !item.autoMargin[row ? css::kBottom : css::kRight];
    if (row && item.base < 0) item.base = Intrinsic(item.node).max;
  }

  // Lays out an item at a border-box width (and height), its top at the content's top.
  auto layOut = [&](FlexItem& item, float x, float width, std::optional<float> height) {
    if (item.node == kNoNode)
      return LayOutAnonymousItem(item.first, item.last, box, x, width, contentTop, height, &item.box, &item.boxEnd);
    BlockFlow itemFlow;
    itemFlow.cursorY = contentTop;
    item.box = LayOutBlock(item.node, box, itemCb, itemFlow, BoxKind::Block,
                           width >= 0 ? std::optional(width) : std::nullopt, height);
    item.boxEnd = Out(item.box).end;
    return Out(item.box).border.h;
  };
  // A column's widths: stretched, shrunk to fit, or their own (-1).
  std::vector<float> columnWidths(items.size(), -1);
  for (size_t i = 0; !row && i < items.size(); ++i) {
    FlexItem& item = items[i];
    float width = content.width - item.MarginCross(row);
    if (item.node != kNoNode && !item.stretch)
      width = Style(item.node).width.IsAuto() ? ShrinkToFitWidth(item.node, width) : -1;
    columnWidths[i] = width < 0 ? -1 : std::max(0.0F, width);
  }

  const Checkpoint start = Mark();
  ++flexNesting_;
  // A column's items are laid out now: their heights are their content sizes.
  std::vector<float> natural(items.size(), 0);
  for (size_t i = 0; !row && i < items.size(); ++i) {
    FlexItem& item = items[i];
    natural[i] = layOut(item, content.x + item.margin.left, columnWidths[i], std::nullopt);
    if (item.box >= 0) item.cross = Out(item.box).border.w;
    if (item.base < 0) item.base = natural[i];
    if (item.minMain < 0) item.minMain = std::min(natural[i], item.base);
  }
  for (FlexItem& item : items) {
    item.minMain = std::min(item.minMain, item.maxMain);
    item.hypothetical = std::clamp(item.base, item.minMain, std::max(item.minMain, item.maxMain));
  }

  // Lines, in `order` order; reading keeps the document's order.
  std::vector<size_t> ordered(items.size());
  std::iota(ordered.begin(), ordered.end(), 0);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [&](size_t a, size_t b) { return items[a].order < items[b].order; });
  std::vector<FlexLine> lines;
  {
    FlexLine line;
    float used = 0;
    for (size_t i = 0; i < ordered.size(); ++i) {
      const FlexItem& item = items[ordered[i]];
      float outer = item.hypothetical + item.MarginMain(row);
      if (wrap && i > line.first && used + mainGap + outer > availableMain) {
        line.end = i;
        lines.push_back(line);
        line = {};
        line.first = i;
        used = 0;
      }
      used += (i > line.first ? mainGap : 0) + outer;
    }
    line.end = ordered.size();
    lines.push_back(line);
  }
  auto itemsOf = [&](const FlexLine& line) {
    std::vector<FlexItem*> lineItems;
    for (size_t i = line.first; i < line.end; ++i) lineItems.push_back(&items[ordered[i]]);
    return lineItems;
  };
  for (FlexLine& line : lines) {
    std::vector<FlexItem*> lineItems = itemsOf(line);
    const float gaps = mainGap * static_cast<float>(lineItems.size() - 1);
    if (std::isfinite(availableMain)) {
      ResolveFlexibleLengths(lineItems, availableMain, gaps, row);
    } else {
      for (FlexItem* item : lineItems) item->target = item->hypothetical;
    }
  }

  // A row's items are laid out at their final widths, in the document's order.
  auto measureRow = [&](FlexItem& item, std::optional<float> height) {
    layOut(item, content.x + item.margin.left, item.target, height);
    if (item.box < 0) return;
    const Box& placed = Out(item.box);
    item.cross = placed.border.h;
    item.baseline = item.margin.top + placed.border.h;
    for (int32_t b = item.box; b < item.boxEnd; ++b) {
      if (Out(b).kind == BoxKind::Line) {
        item.baseline = item.margin.top + Out(b).baseline - placed.border.y;
        break;
      }
    }
  };
  if (row) {
    for (FlexItem& item : items) measureRow(item, std::nullopt);
  }
  for (FlexLine& line : lines) {
    for (FlexItem* item : itemsOf(line)) {
      const float outerCross = item->cross + item->MarginCross(row);
      if (row && item->align == Align::Baseline) {
        line.maxAscent = std::max(line.maxAscent, item->baseline);
        line.maxDescent = std::max(line.maxDescent, outerCross - item->baseline);
      }
      line.cross = std::max({line.cross, outerCross, line.maxAscent + line.maxDescent});
    }
  }

  // The lines across the container.
  float linesCross = crossGap * static_cast<float>(lines.size() - 1);
  for (const FlexLine& line : lines) linesCross += line.cross;
  const float crossSize = !row ? content.width : definiteCross ? *definiteCross : linesCross;
  if (!wrap && (!row || definiteCross)) lines[0].cross = crossSize;
  float lineStart = 0;
  float lineBetween = 0;
  if (wrap) {
    const float free = crossSize - linesCross;
    if ((style.alignContent == Align::Normal || style.alignContent == Align::Stretch) && free > 0) {
      for (FlexLine& line : lines) line.cross += free / static_cast<float>(lines.size());
    } else {
      Distribute(style.alignContent, free, lines.size(), &lineStart, &lineBetween);
    }
  }
  float at = lineStart;
  for (FlexLine& line : lines) {
    line.position = at;
    at += line.cross + crossGap + lineBetween;
  }
  if (style.flexWrap == css::FlexWrap::WrapReverse) {
    for (FlexLine& line : lines) line.position = crossSize - line.position - line.cross;
  }

  // Stretched items take their line's cross size; an item whose content depends on its height
  // (a flex container, percentages) is laid out again at its final size.
  std::vector<float> finalCross(items.size(), -1);
  bool again = false;
  for (FlexLine& line : lines) {
    for (size_t i = line.first; i < line.end; ++i) {
      FlexItem& item = items[ordered[i]];
      const size_t index = ordered[i];
      if (row && item.stretch && item.box >= 0) {
        float stretched = std::max(0.0F, line.cross - item.MarginCross(row));
        if (item.node != kNoNode) {
          const Box& placed = Out(item.box);
          const float edges =
              placed.borderWidths.top + placed.borderWidths.bottom + placed.padding.top + placed.padding.bottom;
          stretched = edges + ClampHeight(Style(item.node), content, std::max(0.0F, stretched - edges));
        }
        finalCross[index] = stretched;
        again = again || (std::abs(stretched - item.cross) > 0.01F && DependsOnHeight(item.node));
      } else if (!row) {
        again = again || (std::abs(item.target - natural[index]) > 0.01F && DependsOnHeight(item.node));
      }
    }
  }
  const auto laidOut = static_cast<int64_t>(out_->boxes.size() - start.boxes);
  if (again && relayoutBudget_ >= laidOut) {
    relayoutBudget_ -= laidOut;
    Rollback(start);
    for (size_t i = 0; i < items.size(); ++i) {
      FlexItem& item = items[i];
      if (row) {
        measureRow(item, finalCross[i] >= 0 ? std::optional(finalCross[i]) : std::nullopt);
      } else {
        layOut(item, content.x + item.margin.left, columnWidths[i], item.target);
      }
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    FlexItem& item = items[i];
    if (item.box < 0) continue;
    if (row && finalCross[i] >= 0) {
      Out(item.box).border.h = finalCross[i];
      item.cross = finalCross[i];
    } else if (!row) {
      Out(item.box).border.h = item.target;
    }
  }
  if (--flexNesting_ == 0) counterLog_.clear();

  // Each line's items along the main axis, then across their line.
  float mainExtent = 0;
  for (FlexLine& line : lines) {
    std::vector<FlexItem*> lineItems = itemsOf(line);
    float used = mainGap * static_cast<float>(lineItems.size() - 1);
    int autoMargins = 0;
    for (FlexItem* item : lineItems) {
      used += item->target + item->MarginMain(row);
      autoMargins += item->autoMargin[row ? css::kLeft : css::kTop] ? 1 : 0;
      autoMargins += item->autoMargin[row ? css::kRight : css::kBottom] ? 1 : 0;
    }
    const float lineMain = std::isfinite(availableMain) ? availableMain : used;
    const float free = lineMain - used;
    float start = 0;
    float between = 0;
    float autoMargin = 0;
    if (free > 0 && autoMargins > 0)
      autoMargin = free / static_cast<float>(autoMargins);
    else
      Distribute(style.justifyContent, free, lineItems.size(), &start, &between);
    float pen = start;
    for (FlexItem* item : lineItems) {
      const bool leadAuto = item->autoMargin[row ? css::kLeft : css::kTop];
      const bool trailAuto = item->autoMargin[row ? css::kRight : css::kBottom];
      pen += (leadAuto ? autoMargin : 0) + (row ? item->margin.left : item->margin.top);
      const float mainPos = reverse ? lineMain - pen - item->target : pen;
      pen += item->target + (row ? item->margin.right : item->margin.bottom) + (trailAuto ? autoMargin : 0) +
             mainGap + between;
      if (!row) mainExtent = std::max(mainExtent, pen - mainGap - between);

      // Across the line.
      float crossPos = row ? item->margin.top : item->margin.left;
      const bool beforeAuto = item->autoMargin[row ? css::kTop : css::kLeft];
      const bool afterAuto = item->autoMargin[row ? css::kBottom : css::kRight];
      const float crossFree = line.cross - item->cross - item->MarginCross(row);
      if (beforeAuto || afterAuto) {
        if (crossFree > 0) crossPos += beforeAuto && afterAuto ? crossFree / 2 : beforeAuto ? crossFree : 0;
      } else if (item->align == Align::End) {
        crossPos += crossFree;
      } else if (item->align == Align::Center) {
        crossPos += crossFree / 2;
      } else if (item->align == Align::Baseline && row) {
        crossPos += line.maxAscent - item->baseline;
      }
      if (item->box < 0) continue;
      const float x = content.x + (row ? mainPos : line.position + crossPos);
      const float y = contentTop + (row ? line.position + crossPos : mainPos);
      const Rect& placed = Out(item->box).border;
      Translate(item->box, item->boxEnd, x - placed.x, y - placed.y);
    }
  }

  const float height = row ? crossSize : std::isfinite(availableMain) ? availableMain : mainExtent;
  flow.strut = {};
  flow.cursorY = contentTop + height;
  if (!flow.firstContentY) flow.firstContentY = contentTop;
}

float Layouter::LayOutAnonymousItem(NodeId first, NodeId last, int32_t parentBox, float x, float width, float top,
                                    std::optional<float> height, int32_t* box, int32_t* boxEnd) {
  const auto before = static_cast<int32_t>(out_->boxes.size());
  BlockFlow flow;
  flow.cursorY = top;
  LayOutInline(first, last, parentBox, {x, width, std::nullopt}, flow, true);
  *box = before;
  *boxEnd = static_cast<int32_t>(out_->boxes.size());
  if (*box == *boxEnd) {
    *box = *boxEnd = -1;
    return 0;
  }
  // The anonymous block's top sits where the flow started.
  Box& anonymous = Out(*box);
  anonymous.border.y = top;
  anonymous.border.h = height.value_or(std::max(0.0F, flow.cursorY - top));
  return anonymous.border.h;
}

bool Layouter::DependsOnHeight(NodeId node) const {
  if (node == kNoNode) return false;
  if (css::IsFlex(Style(node).display) || css::IsGrid(Style(node).display)) return true;
  for (NodeId child = tree_[node].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
    if (tree_[child].IsElement() && Rendered(child) && Style(child).height.NeedsBase())
      return true;
  }
  return false;
}

void Layouter::Rollback(const Checkpoint& mark) {
  auto& boxes = out_->boxes;
  for (auto i = static_cast<int32_t>(boxes.size()) - 1; i >= static_cast<int32_t>(mark.boxes); --i) {
    const NodeId node = boxes[static_cast<size_t>(i)].node;
    if (node < 0) continue;
    auto n = static_cast<size_t>(node);
    if (out_->firstBoxOfNode[n] == i) {
      out_->firstBoxOfNode[n] = lastBoxOfNode_[n] = -1;
      continue;
    }
    // An element's boxes chain forward: its box before this one ends the chain now.
    int32_t previous = out_->firstBoxOfNode[n];
    while (previous >= 0 && Out(previous).nextOfNode != i) previous = Out(previous).nextOfNode;
    if (previous >= 0) Out(previous).nextOfNode = -1;
    lastBoxOfNode_[n] = previous;
  }
  boxes.resize(mark.boxes);
  out_->runs.resize(mark.runs);
  for (size_t i = counterLog_.size(); i-- > mark.counterLog;) {
    const auto& [list, value] = counterLog_[i];
    if (value)
      listCounters_[list] = *value;
    else
      listCounters_.erase(list);
  }
  counterLog_.resize(mark.counterLog);
  for (PositionedAncestor& ancestor : positioned_)
    std::erase_if(ancestor.absolutes, [&](int32_t absolute) { return absolute >= static_cast<int32_t>(mark.boxes); });
}

}  // namespace lectryn::engine::layout
