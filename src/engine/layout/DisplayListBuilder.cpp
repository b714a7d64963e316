#include "engine/layout/DisplayListBuilder.h"

#include <algorithm>

#include "engine/layout/Controls.h"

namespace lectryn::engine::layout {
namespace {

struct Context {
  int32_t end;  // the box index where this context's subtree ends
  Point shift;  // scroll offsets of the containers around the boxes inside
  bool inFlowOrder;
  bool clipped;
};

const css::Color kControlFace{240, 240, 240, 255};
const css::Color kControlEdge{118, 118, 118, 255};

bool HasBorder(const Edges& widths) {
  return widths.top > 0 || widths.right > 0 || widths.bottom > 0 || widths.left > 0;
}

// The area moved into a context's laid-out coordinates.
Rect Local(const Rect& area, Point shift) {
  return area.Translated(shift.x, shift.y);
}

}  // namespace

DisplayListBuilder::DisplayListBuilder(const PaintInput& input) : input_(input) {}

const css::ComputedStyle* DisplayListBuilder::StyleOf(dom::NodeId node) const {
  if (node < 0 || static_cast<size_t>(node) >= input_.styles.size()) return nullptr;
  return &input_.styles[static_cast<size_t>(node)];
}

bool DisplayListBuilder::Selected(int32_t unit) const {
  return input_.selection && unit >= input_.selection->start && unit < input_.selection->end;
}

// The canvas takes the root element's background, or the body's when the root has none (CSS 2.1
// 14.2); that element's own box then paints no background.
DisplayList DisplayListBuilder::Build(const Rect& area) {
  area_ = area;
  list_ = DisplayList{};
  list_.area = area;
  const dom::NodeId html = input_.tree.HtmlElement();
  const dom::NodeId body = input_.tree.Body();
  for (dom::NodeId node : {html, body}) {
    const css::ComputedStyle* style = StyleOf(node);
    if (style != nullptr && input_.layout.FirstBoxOf(node) >= 0 && !style->backgroundColor.IsTransparent()) {
      list_.canvas = style->backgroundColor;
      canvasElement_ = node;
      break;
    }
  }

  const auto& boxes = input_.layout.boxes;
  const auto count = static_cast<int32_t>(boxes.size());
  std::vector<Context> stack{{count, {}, false, false}};
  int32_t i = 0;
  auto leave = [&](int32_t upTo) {
    while (stack.size() > 1 && stack.back().end <= upTo) {
      if (stack.back().clipped) list_.items.emplace_back(PopClipItem{});
      stack.pop_back();
    }
  };
  while (i < count) {
    leave(i);
    const Context context = stack.back();
    const Box& box = boxes[static_cast<size_t>(i)];
    Rect local = Local(area_, context.shift);
    if (context.inFlowOrder && box.overflow.y >= local.Bottom()) {
      i = context.end;  // this sibling and all later ones start below the area
      continue;
    }
    if (i > 0 && !box.overflow.Intersects(local)) {
      i = box.end;
      continue;
    }
    PaintBox(box, context.shift);
    if (box.end <= i + 1) {
      ++i;
      continue;
    }
    Point shift = context.shift;
    if (box.scrollContainer) {
      list_.items.emplace_back(PushClipItem{box.PaddingBox().Translated(-shift.x, -shift.y)});
      Point offset = input_.scrolls.Of(box.node);
      shift = {shift.x + offset.x, shift.y + offset.y};
    }
    bool inFlowOrder = input_.index.ChildrenInFlowOrder(i);
    int32_t first = inFlowOrder ? input_.index.FirstChildReaching(i, Local(area_, shift).y) : i + 1;
    stack.push_back({box.end, shift, inFlowOrder, box.scrollContainer});
    i = first < 0 ? box.end : first;
  }
  leave(count);
  return std::move(list_);
}

void DisplayListBuilder::PaintBox(const Box& box, Point shift) {
  if (box.kind == BoxKind::Line) {
    PaintLine(box, shift);
    return;
  }
  const css::ComputedStyle* style = StyleOf(box.node);
  if (style == nullptr || style->visibility == css::Visibility::Hidden) return;
  Rect border = box.border.Translated(-shift.x, -shift.y);
  if (!border.Intersects(area_)) return;
  PaintBackgroundAndBorder(box, *style, border);
  PaintReplaced(box, border, shift);
  if (box.objectUnit >= 0 && Selected(box.objectUnit)) {
    css::Color veil = input_.colors.background;
    veil.a = 128;  // what the object shows stays readable under the highlight
    list_.items.emplace_back(FillRectItem{border, veil});
  }
}

namespace {

// Radii against the border box, scaled down together where neighbours would overlap.
CornerRadii RadiiOf(const css::ComputedStyle& style, const Rect& border) {
  CornerRadii radii{};
  for (size_t i = 0; i < 4; ++i) radii[i] = std::max(0.0F, style.borderRadius[i].Resolve(border.w));
  float scale = 1;
  auto fit = [&](float a, float b, float side) {
    if (a + b > side && a + b > 0) scale = std::min(scale, side / (a + b));
  };
  fit(radii[0], radii[1], border.w);
  fit(radii[3], radii[2], border.w);
  fit(radii[0], radii[3], border.h);
  fit(radii[1], radii[2], border.h);
  for (float& r : radii) r *= std::max(0.0F, scale);
  return radii;
}

}  // namespace

void DisplayListBuilder::PaintBackgroundAndBorder(const Box& box, const css::ComputedStyle& style,
                                                  const Rect& border) {
  const CornerRadii radii = RadiiOf(style, border);
  const css::BoxShadow& shadow = style.boxShadow;
  if (shadow.present && !shadow.inset && !shadow.color.IsTransparent()) {
    Rect shape{border.x + shadow.x - shadow.spread, border.y + shadow.y - shadow.spread,
               border.w + 2 * shadow.spread, border.h + 2 * shadow.spread};
    if (shape.w > 0 && shape.h > 0) {
      CornerRadii spread = radii;
      for (float& r : spread) r = r > 0 ? std::max(0.0F, r + shadow.spread) : 0;
      list_.items.emplace_back(ShadowItem{shape, border, spread, shadow.blur, shadow.color});
    }
  }
  if (box.node != canvasElement_ && !style.backgroundColor.IsTransparent()) {
    list_.items.emplace_back(FillRectItem{border, style.backgroundColor, radii});
  }
  if (!HasBorder(box.borderWidths)) return;
  BorderItem item{
      border,
      {box.borderWidths.top, box.borderWidths.right, box.borderWidths.bottom, box.borderWidths.left},
      style.borderStyle,
      style.borderColor,
      radii};
  // A collapsed table's edge is the outer half of its cells' borders where it draws none of its own.
  if (style.borderCollapse && (style.display == css::Display::Table || style.display == css::Display::InlineTable)) {
    const auto& boxes = input_.layout.boxes;
    for (auto b = static_cast<size_t>(&box - boxes.data()) + 1; b < static_cast<size_t>(box.end); ++b) {
      const css::ComputedStyle* cell = StyleOf(boxes[b].node);
      if (cell == nullptr || cell->display != css::Display::TableCell) continue;
      for (size_t side = 0; side < 4; ++side) {
        if (item.styles[side] != css::BorderStyle::None) continue;
        item.styles[side] = cell->borderStyle[side];
        item.colors[side] = cell->borderColor[side];
      }
      break;
    }
  }
  list_.items.emplace_back(item);
}

// A push button's caption, centred in its box as a browser centres it.
void DisplayListBuilder::PaintControlLabel(const Box& box, const Rect& content) {
  std::u16string label = ControlLabel(input_.tree, box.node);
  if (label.empty()) return;
  FontDescription font = ControlFont();
  VerticalMetrics vertical = input_.metrics.Vertical(font);
  float width = input_.metrics.Advance(font, label);
  TextItem item;
  item.x = content.x + (content.w - width) / 2;
  item.baseline = content.y + (content.h + vertical.ascent - vertical.descent) / 2;
  item.width = width;
  item.font = font;
  item.color = css::Color{0, 0, 0, 255};
  item.text = std::move(label);
  list_.items.emplace_back(std::move(item));
}

// Images show their box with the alternative text, controls a plain face, frames their own page.
// A list bullet laid out as a box of its own is drawn as a marker shape.
void DisplayListBuilder::PaintReplaced(const Box& box, const Rect& border, Point shift) {
  const css::ComputedStyle& style = input_.styles[static_cast<size_t>(box.node)];
  Rect content = box.ContentBox().Translated(-shift.x, -shift.y);
  switch (box.replaced) {
    case ReplacedKind::Image: {
      const std::u16string* alt = input_.tree.AttributeValue(box.node, "alt");
      list_.items.emplace_back(ImageItem{content, alt == nullptr ? std::u16string() : *alt});
      break;
    }
    case ReplacedKind::Control:
      if (style.backgroundColor.IsTransparent()) list_.items.emplace_back(FillRectItem{border, kControlFace});
      if (!HasBorder(box.borderWidths)) {
        list_.items.emplace_back(BorderItem{border,
                                            {1, 1, 1, 1},
                                            {css::BorderStyle::Solid, css::BorderStyle::Solid,
                                             css::BorderStyle::Solid, css::BorderStyle::Solid},
                                            {kControlEdge, kControlEdge, kControlEdge, kControlEdge}});
      }
      PaintControlLabel(box, content);
      break;
    case ReplacedKind::Frame:
      if (input_.paintFrame) {
        Rect inside{std::max(area_.x, content.x), std::max(area_.y, content.y), 0, 0};
        inside.w = std::min(area_.Right(), content.Right()) - inside.x;
        inside.h = std::min(area_.Bottom(), content.Bottom()) - inside.y;
        if (!inside.Empty()) input_.paintFrame(box.node, content, inside, list_);
      }
      break;
    case ReplacedKind::None:
      // A list item is block-level: an atomic box of one is its bullet.
      if (box.kind == BoxKind::Atomic && input_.tree[box.node].Has(dom::kTagListItem) &&
          style.display == css::Display::ListItem && style.listStyleType <= css::ListStyleType::Square) {
        list_.items.emplace_back(MarkerItem{content, style.listStyleType, style.color});
      }
      break;
  }
}

void DisplayListBuilder::PaintLine(const Box& line, Point shift) {
  Rect local = Local(area_, shift);
  if (!line.border.Intersects(local) && !line.overflow.Intersects(local)) return;
  for (int32_t r = line.firstRun; r < line.firstRun + line.runCount; ++r) {
    PaintRun(input_.layout.runs[static_cast<size_t>(r)], shift);
  }
}

void DisplayListBuilder::PaintRun(const TextRun& run, Point shift) {
  Rect extent{run.x - shift.x, run.top - shift.y, run.width, run.height};
  if (!extent.Intersects(area_) || run.text.empty()) return;
  dom::NodeId element = run.element;
  if (element < 0 && run.node >= 0) element = input_.tree[run.node].parent;
  const css::ComputedStyle* style = StyleOf(element);
  if (style == nullptr || style->visibility == css::Visibility::Hidden) return;
  TextItem item{run.x - shift.x,
                run.baseline - shift.y,
                run.width,
                input_.layout.fonts[static_cast<size_t>(run.font)],
                style->color,
                run.text,
                style->decorationsInEffect,
                style->decorationColor};
  list_.items.emplace_back(item);
  if (!input_.selection || run.unitStart < 0) return;
  int32_t from = std::max(input_.selection->start, run.unitStart) - run.unitStart;
  int32_t to = std::min(input_.selection->end, run.unitEnd) - run.unitStart;
  if (from < to) PaintSelectedRun(run, item, from, to);
}

// The selected characters of a run: the highlight over exactly their advance and the run's line
// of text, and the characters drawn again over it in the highlight's text colour.
void DisplayListBuilder::PaintSelectedRun(const TextRun& run, const TextItem& item, int32_t from,
                                          int32_t to) {
  float x0 = 0;
  float x1 = run.width;
  if (from > 0 || to < static_cast<int32_t>(run.text.size())) {
    input_.metrics.CaretPositions(item.font, run.text, carets_);
    x0 = carets_[static_cast<size_t>(from)];
    x1 = carets_[static_cast<size_t>(to)];
  }
  float top = item.baseline - (run.baseline - run.top);
  list_.items.emplace_back(FillRectItem{{item.x + x0, top, x1 - x0, run.height}, input_.colors.background});
  TextItem selected = item;
  selected.x = item.x + x0;
  selected.width = x1 - x0;
  selected.text = run.text.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
  selected.color = input_.colors.text;
  selected.decorationColor = input_.colors.text;
  list_.items.emplace_back(std::move(selected));
}

DisplayItem Translated(DisplayItem item, float dx, float dy) {
  std::visit(
      [&](auto& it) {
        using T = std::decay_t<decltype(it)>;
        if constexpr (std::is_same_v<T, TextItem>) {
          it.x += dx;
          it.baseline += dy;
        } else if constexpr (!std::is_same_v<T, PopClipItem>) {
          it.rect = it.rect.Translated(dx, dy);
        }
      },
      item);
  return item;
}

}  // namespace lectryn::engine::layout
