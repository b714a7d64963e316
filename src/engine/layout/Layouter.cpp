#include "engine/layout/Layouter.h"

#include <algorithm>
#include <cmath>

namespace lectryn::engine::layout {

using css::ComputedStyle;
using css::Display;
using dom::kNoNode;
using dom::NodeId;

Layouter::Layouter(const LayoutInput& input)
    : input_(input), tree_(input.tree), out_(std::make_shared<LayoutTree>()) {
  const auto nodes = static_cast<size_t>(tree_.Size());
  out_->firstBoxOfNode.assign(nodes, -1);
  lastBoxOfNode_.assign(nodes, -1);
  fontOfNode_.assign(nodes, -1);
  unitsOfText_.assign(nodes, {-1, -1});
  // A text node's units are contiguous in the model: its characters, then the collapsed space
  // it ended with, which the model emits once the next character is seen.
  const text::TextModel& model = input.model;
  for (int32_t unit = 0; unit < model.Length(); ++unit) {
    NodeId node = model.NodeOfUnit(unit);
    if (node < 0 || node >= tree_.Size() || tree_[node].kind != dom::NodeKind::Text) continue;
    auto& span = unitsOfText_[static_cast<size_t>(node)];
    if (span.first < 0) span.first = unit;
    span.second = unit + 1;
  }
}

std::shared_ptr<const LayoutTree> Layouter::Run() {
  out_->viewportWidth = input_.viewportWidth;
  relayoutBudget_ = 4 * static_cast<int64_t>(tree_.Size()) + 50000;
  out_->viewportHeight = input_.viewportHeight;
  LayOutRoot();
  Finish();
  return out_;
}

int32_t Layouter::OpenBox(BoxKind kind, NodeId node, int32_t parent) {
  auto index = static_cast<int32_t>(out_->boxes.size());
  Box box;
  box.kind = kind;
  box.node = node;
  box.parent = parent;
  box.end = index + 1;
  out_->boxes.push_back(box);
  if (node >= 0) {
    auto n = static_cast<size_t>(node);
    if (out_->firstBoxOfNode[n] < 0)
      out_->firstBoxOfNode[n] = index;
    else
      Out(lastBoxOfNode_[n]).nextOfNode = index;
    lastBoxOfNode_[n] = index;
  }
  return index;
}

void Layouter::Translate(int32_t firstBox, int32_t endBox, float dx, float dy) {
  if (dx == 0 && dy == 0) return;
  for (int32_t i = firstBox; i < endBox; ++i) {
    Box& box = Out(i);
    box.border = box.border.Translated(dx, dy);
    if (box.kind != BoxKind::Line) continue;
    box.baseline += dy;
    for (int32_t r = box.firstRun; r >= 0 && r < box.firstRun + box.runCount; ++r) {
      TextRun& run = out_->runs[static_cast<size_t>(r)];
      run.x += dx;
      run.baseline += dy;
      run.top += dy;
    }
  }
}

int32_t Layouter::FontOf(NodeId element) {
  if (element < 0) element = tree_.Root();
  int32_t& cached = fontOfNode_[static_cast<size_t>(element)];
  if (cached >= 0) return cached;
  const ComputedStyle& style = Style(element);
  FontDescription font{style.fontFamily, std::clamp(style.fontSizePx, 0.0F, 10000.0F), style.fontWeight,
                       style.italic};
  auto& fonts = out_->fonts;
  // Pages use a handful of fonts: a linear search over them is cheaper than hashing.
  auto found = std::find(fonts.begin(), fonts.end(), font);
  if (found == fonts.end()) {
    fonts.push_back(font);
    vertical_.push_back(input_.metrics.Vertical(font));
    found = fonts.end() - 1;
  }
  cached = static_cast<int32_t>(found - fonts.begin());
  return cached;
}

VerticalMetrics Layouter::Vertical(int32_t font) {
  return vertical_[static_cast<size_t>(font)];
}

float Layouter::LineHeightOf(NodeId element) {
  const ComputedStyle& style = Style(element);
  switch (style.lineHeightKind) {
    case css::LineHeightKind::Number:
      return std::clamp(style.lineHeight * style.fontSizePx, 0.0F, kMaxSize);
    case css::LineHeightKind::Px:
      return std::clamp(style.lineHeight, 0.0F, kMaxSize);
    default:
      return Vertical(FontOf(element)).lineSpacing;
  }
}

float Layouter::Measure(int32_t font, std::u16string_view text) {
  if (text.empty()) return 0;
  return input_.metrics.Advance(Font(font), text);
}

float Layouter::Clamp(float pixels) {
  if (!std::isfinite(pixels)) return 0;
  return std::clamp(pixels, -kMaxSize, kMaxSize);
}

Edges Layouter::BorderOf(const ComputedStyle& style) {
  auto side = [&](int i) {
    auto s = static_cast<size_t>(i);
    bool drawn =
        style.borderStyle[s] != css::BorderStyle::None && style.borderStyle[s] != css::BorderStyle::Hidden;
    return drawn ? std::clamp(Clamp(style.borderWidth[s]), 0.0F, kMaxSize) : 0.0F;
  };
  return {side(css::kTop), side(css::kRight), side(css::kBottom), side(css::kLeft)};
}

Edges Layouter::PaddingOf(const ComputedStyle& style, float base) {
  auto side = [&](int i) {
    return std::max(0.0F, Clamp(style.padding[static_cast<size_t>(i)].Resolve(base)));
  };
  return {side(css::kTop), side(css::kRight), side(css::kBottom), side(css::kLeft)};
}

Edges Layouter::MarginOf(const ComputedStyle& style, float base) {
  auto side = [&](int i) { return Clamp(style.margin[static_cast<size_t>(i)].Resolve(base)); };
  return {side(css::kTop), side(css::kRight), side(css::kBottom), side(css::kLeft)};
}

bool Layouter::Rendered(NodeId node) const {
  const dom::Node& n = tree_[node];
  if (n.kind == dom::NodeKind::Text) return true;
  if (!n.IsElement() || n.Has(dom::kTagNotRendered)) return false;
  if (Style(node).display == Display::None) return false;
  if (n.name == "input") {
    const std::u16string* type = tree_.AttributeValue(node, "type");
    if (type != nullptr && (*type == u"hidden" || *type == u"HIDDEN")) return false;
  }
  return true;
}

bool Layouter::OutOfFlow(NodeId node) const {
  if (!tree_[node].IsElement()) return false;
  const ComputedStyle& style = Style(node);
  return style.floating != css::Float::None || style.position == css::Position::Absolute ||
         style.position == css::Position::Fixed;
}

bool Layouter::BlockLevel(NodeId node) const {
  if (!tree_[node].IsElement()) return false;
  switch (Style(node).display) {
    case Display::Block:
    case Display::ListItem:
    case Display::Table:
    case Display::TableRow:
    case Display::TableCell:
    case Display::TableRowGroup:
    case Display::TableHeaderGroup:
    case Display::TableFooterGroup:
    case Display::TableCaption:
    case Display::Other:
    case Display::Flex:
    case Display::Grid:
      return true;
    default:
      return false;
  }
}

void Layouter::Finish() {
  auto& boxes = out_->boxes;
  // Overflow bottom up: reverse pre-order sees every child before its parent.
  std::vector<Rect> content(boxes.size());
  for (Box& box : boxes) box.overflow = box.border;
  for (size_t i = boxes.size(); i-- > 0;) {
    Box& box = boxes[i];
    if (box.kind == BoxKind::Line) {
      for (int32_t r = box.firstRun; r >= 0 && r < box.firstRun + box.runCount; ++r) {
        const TextRun& run = out_->runs[static_cast<size_t>(r)];
        box.overflow = box.overflow.United({run.x, run.top, run.width, run.height});
      }
    }
    if (box.scrollContainer) {
      Rect padding = box.PaddingBox();
      Rect extent = padding.United(content[i]);
      box.scrollWidth = std::max(padding.w, extent.Right() - padding.x);
      box.scrollHeight = std::max(padding.h, extent.Bottom() - padding.y);
    }
    if (box.parent < 0) continue;
    auto parent = static_cast<size_t>(box.parent);
    if (boxes[parent].scrollContainer)
      content[parent] = content[parent].United(box.overflow);
    else
      boxes[parent].overflow = boxes[parent].overflow.United(box.overflow);
  }
  if (!boxes.empty()) {
    Rect& canvas = boxes[0].overflow;
    float right = std::max(canvas.Right(), input_.viewportWidth);
    float bottom = std::max(canvas.Bottom(), input_.viewportHeight);
    canvas = {0, 0, right, bottom};
  }
  auto& byUnit = out_->runsByUnit;
  for (size_t r = 0; r < out_->runs.size(); ++r) {
    if (out_->runs[r].unitStart >= 0) byUnit.push_back(static_cast<int32_t>(r));
  }
  std::stable_sort(byUnit.begin(), byUnit.end(), [&](int32_t a, int32_t b) {
    return out_->runs[static_cast<size_t>(a)].unitStart < out_->runs[static_cast<size_t>(b)].unitStart;
  });
}

}  // namespace lectryn::engine::layout
