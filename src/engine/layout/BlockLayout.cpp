// Block formatting (CSS 2.1 sections 9.4.1, 10.3, 10.6 and 8.3.1): widths, heights and the
// collapsing of vertical margins, laid out top down in page coordinates.
#include <algorithm>
#include <cmath>

#include "engine/layout/Layouter.h"
#include "engine/layout/ListMarker.h"

namespace lectryn::engine::layout {

using css::ComputedStyle;
using css::Display;
using dom::kNoNode;
using dom::NodeId;

void Layouter::LayOutRoot() {
  int32_t viewport = OpenBox(BoxKind::Viewport, kNoNode, -1);
  Out(viewport).border = {0, 0, input_.viewportWidth, input_.viewportHeight};
  NodeId html = tree_.HtmlElement();
  if (html != kNoNode && Rendered(html)) {
    FloatContext floats;
    floats_ = &floats;
    BlockFlow flow;
    LayOutBlock(html, viewport, {0, input_.viewportWidth, input_.viewportHeight}, flow);
    floats_ = nullptr;
  }
  CloseBox(viewport);
}

bool Layouter::EstablishesContext(NodeId node) const {
  const ComputedStyle& style = Style(node);
  if (node == tree_.HtmlElement() || OutOfFlow(node)) return true;
  if (style.overflowX != css::Overflow::Visible || style.overflowY != css::Overflow::Visible) return true;
  // Flex and grid items, as their containers.
  const NodeId parent = tree_[node].parent;
  if (parent != kNoNode && tree_[parent].IsElement()) {
    const Display outer = Style(parent).display;
    if (css::IsFlex(outer) || css::IsGrid(outer)) return true;
  }
  switch (style.display) {
    case Display::Flex:
    case Display::InlineFlex:
    case Display::Grid:
    case Display::InlineGrid:
    case Display::InlineBlock:
    case Display::InlineTable:
    case Display::Table:
    case Display::TableCell:
    case Display::TableCaption:
      return true;
    default:
      return false;
  }
}

float Layouter::UsedWidth(const ComputedStyle& style, float available, const Edges& border,
                          const Edges& padding, float marginLeft, float marginRight, float* leftOut) {
  const float edges = border.left + border.right + padding.left + padding.right;
  const bool borderBox = style.boxSizing == css::BoxSizing::BorderBox;
  auto content = [&](const css::Length& length, float otherwise) {
    float value = length.Resolve(available, otherwise);
    if (!std::isfinite(value)) return otherwise;
    return std::clamp(borderBox && !length.IsAuto() && !length.IsNone() ? value - edges : value, -kMaxSize,
                      kMaxSize);
  };
  const bool autoWidth = style.width.IsAuto();
  float width = autoWidth ? available - marginLeft - marginRight - edges : content(style.width, 0);
  if (!style.maxWidth.IsNone()) width = std::min(width, content(style.maxWidth, kMaxSize));
  width = std::max({width, content(style.minWidth, 0), 0.0F});
  float left = marginLeft;
  if (!autoWidth || width + edges + marginLeft + marginRight < available) {
    const bool autoLeft = style.margin[css::kLeft].IsAuto();
    const bool autoRight = style.margin[css::kRight].IsAuto();
    float remaining = available - width - edges - (autoLeft ? 0 : marginLeft) - (autoRight ? 0 : marginRight);
    if (autoLeft && autoRight)
      left = std::max(0.0F, remaining / 2);
    else if (autoLeft)
      left = remaining;
  }
  *leftOut = left;
  return width;
}

std::optional<float> Layouter::UsedHeight(const ComputedStyle& style, const Containing& cb,
                                          const Edges& border, const Edges& padding) const {
  const css::Length& height = style.height;
  std::optional<float> known = height.ResolveIfKnown(cb.height);
  if (!known) return std::nullopt;
  float value = *known;
  if (!std::isfinite(value)) return std::nullopt;
  if (style.boxSizing == css::BoxSizing::BorderBox)
    value -= border.top + border.bottom + padding.top + padding.bottom;
  return std::clamp(value, 0.0F, kMaxSize);
}

float Layouter::ClampHeight(const ComputedStyle& style, const Containing& cb, float height) const {
  auto resolve = [&](const css::Length& length, float otherwise) {
    return length.ResolveIfKnown(cb.height).value_or(otherwise);
  };
  height = std::min(height, resolve(style.maxHeight, kMaxSize));
  height = std::max(height, resolve(style.minHeight, 0));
  return std::clamp(height, 0.0F, kMaxSize);
}

float Layouter::ShrinkToFitWidth(NodeId node, float available) {
  IntrinsicWidths widths = Intrinsic(node);
  return std::min(std::max(widths.min, available), widths.max);
}

int32_t Layouter::LayOutBlock(NodeId node, int32_t parentBox, const Containing& cb, BlockFlow& flow,
                              BoxKind kind, std::optional<float> borderBoxWidth,
                              std::optional<float> borderBoxHeight) {
  const ComputedStyle& style = Style(node);
  Edges margin = MarginOf(style, cb.width);
  const Edges border = BordersOf(node);
  const Edges padding = PaddingOf(style, cb.width);
  if (node == tree_.Body()) {
    if (input_.bodyMarginTop) margin.top = Clamp(*input_.bodyMarginTop);
    if (input_.bodyMarginLeft) margin.left = Clamp(*input_.bodyMarginLeft);
  }
  const bool context = EstablishesContext(node);
  const ReplacedKind replaced = ReplacedKindOf(node);

  // Boxes that make a formatting context, and tables, stand beside the floats, not over them.
  Containing around = cb;
  if (context && kind == BoxKind::Block && floats_ != nullptr && !floats_->Empty() && !OutOfFlow(node)) {
    FloatContext::Band band = floats_->Free(flow.Pending(), 1, cb.x, cb.x + cb.width);
    around.x = band.left;
    around.width = std::max(0.0F, band.right - band.left);
  }
  float marginLeft = margin.left;
  float width = 0;
  const float edgesX = border.left + border.right + padding.left + padding.right;
  if (borderBoxWidth) {
    width = std::max(0.0F, *borderBoxWidth - edgesX);
  } else if (replaced != ReplacedKind::None) {
    float height = 0;
    ReplacedSize(node, cb, &width, &height);
  } else if ((style.display == Display::Table || style.display == Display::InlineTable) &&
             style.width.IsAuto()) {
    float fit = ShrinkToFitWidth(node, around.width - margin.left - margin.right);
    css::ComputedStyle fixed = style;
    fixed.width = css::Length::Px(fit);
    fixed.boxSizing = css::BoxSizing::BorderBox;
    width = UsedWidth(fixed, around.width, border, padding, margin.left, margin.right, &marginLeft);
  } else {
    width = UsedWidth(style, around.width, border, padding, margin.left, margin.right, &marginLeft);
  }
  if (style.display == Display::Table || style.display == Display::InlineTable)
    width = std::max(width, Intrinsic(node).min - edgesX);  // never narrower than its cells

  int32_t box = OpenBox(kind, node, parentBox);
  Out(box).replaced = replaced;
  Out(box).borderWidths = border;
  Out(box).padding = padding;
  Out(box).scrollContainer =
      style.overflowX != css::Overflow::Visible || style.overflowY != css::Overflow::Visible;
  if (replaced != ReplacedKind::None) Out(box).objectUnit = input_.model.SpanOf(node).start;
  const float x = around.x + marginLeft;
  const bool positioned = style.position != css::Position::Static;
  if (positioned) positioned_.push_back({box, x + border.left, width + padding.left + padding.right, {}});

  // Vertical margins: the top one joins the strut above unless a border, padding, clearance or a
  // new formatting context separates this box's content from it.
  flow.strut.Add(margin.top);
  bool separatedTop = border.top + padding.top > 0 || context || replaced != ReplacedKind::None;
  if (style.clear != css::Clear::None && floats_ != nullptr) {
    float cleared = floats_->Clear(style.clear, flow.Pending());
    if (cleared > flow.Pending()) {
      flow.Resolve();
      flow.cursorY = cleared;
      separatedTop = true;
    }
  }
  BlockFlow inner;
  float top = 0;
  if (separatedTop) {
    top = flow.Resolve();
    inner.cursorY = top + border.top + padding.top;
  } else {
    inner.cursorY = flow.cursorY;
    inner.strut = flow.strut;
  }
  Containing content{x + border.left + padding.left, width, UsedHeight(style, cb, border, padding)};
  if (borderBoxHeight)
    content.height = std::max(0.0F, *borderBoxHeight - border.top - border.bottom - padding.top - padding.bottom);
  if (node == tree_.HtmlElement() && !content.height) content.height = std::nullopt;

  FloatContext ownFloats;
  FloatContext* outerFloats = floats_;
  if (context) floats_ = &ownFloats;
  std::optional<Marker> outerMarker = marker_;
  if (style.display == Display::ListItem) StartListItem(node, content.x);
  ++depth_;
  const bool outerInsideModel = insideModel_;
  if (node == input_.model.Root()) insideModel_ = true;
  if (replaced == ReplacedKind::None && depth_ < kMaxDepth) {
    if (style.display == Display::Table || style.display == Display::InlineTable)
      LayOutTable(node, box, content, inner);
    else if (css::IsFlex(style.display))
      LayOutFlex(node, box, content, inner);
    else if (css::IsGrid(style.display))
      LayOutGrid(node, box, content, inner);
    else
      LayOutChildren(node, box, content, inner);
  }
  if (marker_ && marker_->item == node) LayOutMarkerLine(node, box, content, inner);
  --depth_;
  insideModel_ = outerInsideModel;
  if (style.display == Display::ListItem) marker_ = outerMarker;

  const bool fixedHeight = replaced == ReplacedKind::None && content.height.has_value();
  const float specifiedHeight = fixedHeight ? *content.height : 0;
  const bool separatedBottom =
      border.bottom + padding.bottom > 0 || context || fixedHeight || replaced != ReplacedKind::None;
  const bool hasContent = separatedTop || inner.firstContentY.has_value();
  if (!separatedTop) {
    if (inner.firstContentY)
      top = *inner.firstContentY;
    else if (separatedBottom)
      top = inner.Resolve();
    else
      top = flow.Pending();
    if (!flow.firstContentY && inner.firstContentY) flow.firstContentY = inner.firstContentY;
  }
  const float contentTop = top + border.top + padding.top;
  float contentBottom = inner.cursorY;
  if (separatedBottom && hasContent) contentBottom += inner.strut.Sum();
  float autoHeight = std::max(0.0F, contentBottom - contentTop);
  if (context) autoHeight = std::max(autoHeight, ownFloats.Bottom(contentTop) - contentTop);
  floats_ = outerFloats;
  float usedHeight = 0;
  if (replaced != ReplacedKind::None) {
    float replacedWidth = 0;
    ReplacedSize(node, cb, &replacedWidth, &usedHeight);
  } else {
    usedHeight = ClampHeight(style, cb, fixedHeight ? specifiedHeight : autoHeight);
  }
  Out(box).border = {x, top, width + edgesX,
                     usedHeight + border.top + border.bottom + padding.top + padding.bottom};
  CloseBox(box);
  if (positioned) PlaceAbsolutes();

  const float bottom = Out(box).border.Bottom();
  if (separatedBottom) {
    flow.cursorY = bottom;
    flow.strut = {};
  } else if (hasContent) {
    flow.cursorY = bottom;
    flow.strut = inner.strut;
  } else {
    flow.strut = inner.strut;  // empty: its margins collapse through it
  }
  flow.strut.Add(margin.bottom);
  if (style.position == css::Position::Relative) ApplyRelative(node, box, cb);
  return box;
}

void Layouter::LayOutChildren(NodeId node, int32_t box, const Containing& cb, BlockFlow& flow) {
  const NodeId first = tree_[node].firstChild;
  bool hasBlock = false;
  for (NodeId child = first; child != kNoNode && !hasBlock; child = tree_[child].nextSibling)
    hasBlock = Rendered(child) && BlockLevel(child) && !OutOfFlow(child);
  if (!hasBlock) {
    if (first != kNoNode) LayOutInline(first, tree_[node].lastChild, box, cb, flow, false);
    return;
  }
  NodeId runFirst = kNoNode;
  NodeId runLast = kNoNode;
  auto flush = [&] {
    if (runFirst != kNoNode) LayOutInline(runFirst, runLast, box, cb, flow, true);
    runFirst = runLast = kNoNode;
  };
  for (NodeId child = first; child != kNoNode; child = tree_[child].nextSibling) {
    if (!Rendered(child)) continue;
    if (BlockLevel(child) && !OutOfFlow(child)) {
      flush();
      LayOutBlock(child, box, cb, flow);
    } else if (OutOfFlow(child) && runFirst == kNoNode) {
      if (Style(child).floating != css::Float::None)
        LayOutFloat(child, box, cb, flow.Pending());
      else
        LayOutAbsolute(child, box, cb, flow.Pending());
    } else if (runFirst != kNoNode || !Blank(child)) {
      if (runFirst == kNoNode) runFirst = child;
      runLast = child;
    }
  }
  flush();
}

bool Layouter::Blank(NodeId node) const {
  const dom::Node& n = tree_[node];
  if (n.kind != dom::NodeKind::Text || unitsOfText_[static_cast<size_t>(node)].first >= 0) return false;
  const css::WhiteSpace ws = Style(node).whiteSpace;
  if (ws == css::WhiteSpace::Pre || ws == css::WhiteSpace::PreWrap) return false;
  return std::all_of(n.text.begin(), n.text.end(), [](char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
  });
}

int32_t Layouter::LayOutContextRoot(NodeId node, int32_t parentBox, BoxKind kind, float x, float y,
                                    const Containing& cb, float* marginBoxWidth, float* marginBoxHeight) {
  const ComputedStyle& style = Style(node);
  const Edges margin = MarginOf(style, cb.width);
  float width = 0;
  if (ReplacedKindOf(node) != ReplacedKind::None) {
    float height = 0;
    ReplacedSize(node, cb, &width, &height);
    const Edges border = BordersOf(node);
    const Edges padding = PaddingOf(style, cb.width);
    width += border.left + border.right + padding.left + padding.right;
  } else if (style.width.IsAuto()) {
    width = ShrinkToFitWidth(node, cb.width - margin.left - margin.right);
  } else {
    float left = 0;
    const Edges border = BordersOf(node);
    const Edges padding = PaddingOf(style, cb.width);
    width = UsedWidth(style, cb.width, border, padding, margin.left, margin.right, &left) + border.left +
            border.right + padding.left + padding.right;
  }
  BlockFlow flow;
  flow.cursorY = y;
  Containing at{x, cb.width, cb.height};
  int32_t box = LayOutBlock(node, parentBox, at, flow, kind, width);
  // Margins of a formatting context root never collapse with its content or its surroundings.
  Box& placed = Out(box);
  float dx = x + margin.left - placed.border.x;
  Translate(box, placed.end, dx, 0);
  *marginBoxWidth = std::max(0.0F, margin.left + placed.border.w + margin.right);
  *marginBoxHeight = std::max(0.0F, margin.top + placed.border.h + margin.bottom);
  return box;
}

void Layouter::LayOutFloat(NodeId node, int32_t parentBox, const Containing& cb, float top) {
  float width = 0;
  float height = 0;
  int32_t box = LayOutContextRoot(node, parentBox, BoxKind::Block, cb.x, top, cb, &width, &height);
  if (floats_ == nullptr) return;
  Rect placed = floats_->Place(Style(node).floating, width, height, top, cb.x, cb.x + cb.width);
  Translate(box, Out(box).end, placed.x - cb.x, placed.y - top);
}

void Layouter::LayOutAbsolute(NodeId node, int32_t parentBox, const Containing& cb, float staticY) {
  // Positioned boxes are placed against the padding box of their nearest positioned ancestor, or
  // the viewport, when they give offsets, else where they would have stood; they take no room in
  // the flow.
  const ComputedStyle& style = Style(node);
  const auto& inset = style.inset;
  const bool offsets =
      std::any_of(inset.begin(), inset.end(), [](const css::Length& l) { return !l.IsAuto(); });
  if (offsets && !positioned_.empty() && style.position != css::Position::Fixed) {
    // Laid out where it would have stood, moved when the ancestor's box is final.
    const PositionedAncestor& ancestor = positioned_.back();
    Containing at{ancestor.paddingX, ancestor.paddingWidth, std::nullopt};
    FloatContext own;
    FloatContext* outer = floats_;
    floats_ = &own;
    float width = 0;
    float height = 0;
    int32_t box = LayOutContextRoot(node, parentBox, BoxKind::Block, cb.x, staticY, at, &width, &height);
    floats_ = outer;
    positioned_.back().absolutes.push_back(box);
    return;
  }
  Containing viewport{0, input_.viewportWidth, input_.viewportHeight};
  float x = cb.x;
  float y = staticY;
  if (!inset[css::kLeft].IsAuto()) x = inset[css::kLeft].Resolve(viewport.width);
  if (!inset[css::kTop].IsAuto()) y = inset[css::kTop].Resolve(viewport.height.value_or(0));
  Containing at = inset[css::kLeft].IsAuto() ? cb : viewport;
  FloatContext own;
  FloatContext* outer = floats_;
  floats_ = &own;
  float width = 0;
  float height = 0;
  int32_t box = LayOutContextRoot(node, parentBox, BoxKind::Block, x, y, at, &width, &height);
  floats_ = outer;
  if (inset[css::kLeft].IsAuto() && !inset[css::kRight].IsAuto()) {
    float right = viewport.width - inset[css::kRight].Resolve(viewport.width);
    Translate(box, Out(box).end, right - width - x, 0);
  }
}

void Layouter::PlaceAbsolutes() {
  PositionedAncestor ancestor = std::move(positioned_.back());
  positioned_.pop_back();
  const Rect padding = Out(ancestor.box).PaddingBox();
  for (int32_t box : ancestor.absolutes) {
    const ComputedStyle& style = Style(Out(box).node);
    const auto& inset = style.inset;
    const Edges margin = MarginOf(style, padding.w);
    const Rect border = Out(box).border;
    float dx = 0;
    float dy = 0;
    if (!inset[css::kLeft].IsAuto())
      dx = padding.x + inset[css::kLeft].Resolve(padding.w) + margin.left - border.x;
    else if (!inset[css::kRight].IsAuto())
      dx = padding.Right() - inset[css::kRight].Resolve(padding.w) - margin.right - border.Right();
    if (!inset[css::kTop].IsAuto())
      dy = padding.y + inset[css::kTop].Resolve(padding.h) + margin.top - border.y;
    else if (!inset[css::kBottom].IsAuto())
      dy = padding.Bottom() - inset[css::kBottom].Resolve(padding.h) - margin.bottom - border.Bottom();
    Translate(box, Out(box).end, Clamp(dx), Clamp(dy));
  }
}

void Layouter::ApplyRelative(NodeId node, int32_t box, const Containing& cb) {
  const auto& inset = Style(node).inset;
  float dx = !inset[css::kLeft].IsAuto() ? inset[css::kLeft].Resolve(cb.width)
                                         : -inset[css::kRight].Resolve(cb.width);
  float base = cb.height.value_or(0);
  float dy = !inset[css::kTop].IsAuto() ? inset[css::kTop].Resolve(base) : -inset[css::kBottom].Resolve(base);
  Translate(box, Out(box).end, Clamp(dx), Clamp(dy));
}

void Layouter::StartListItem(NodeId node, float contentX) {
  const ComputedStyle& style = Style(node);
  if (style.listStyleType == css::ListStyleType::None) {
    marker_.reset();
    return;
  }
  // Items count within their parent list: <ol start>, <ol reversed> and <li value>.
  NodeId list = tree_[node].parent;
  auto readNumber = [&](NodeId element, const char* name) -> std::optional<int64_t> {
    const std::u16string* value = element == kNoNode ? nullptr : tree_.AttributeValue(element, name);
    if (value == nullptr) return std::nullopt;
    std::string digits;
    for (char16_t c : *value) {
      if ((c >= u'0' && c <= u'9') || (c == u'-' && digits.empty()))
        digits.push_back(static_cast<char>(c));
      else if (c != u' ' || !digits.empty())
        break;
    }
    if (digits.empty() || digits == "-" || digits.size() > 9) return std::nullopt;
    return std::stoll(digits);
  };
  const bool reversed = list != kNoNode && tree_.AttributeValue(list, "reversed") != nullptr;
  auto found = listCounters_.find(list);
  if (flexNesting_ > 0)
    counterLog_.emplace_back(list, found == listCounters_.end() ? std::nullopt : std::optional(found->second));
  if (found == listCounters_.end()) {
    int64_t start = 1;
    if (auto given = readNumber(list, "start")) {
      start = *given;
    } else if (reversed) {
      start = 0;
      for (NodeId c = tree_[list].firstChild; c != kNoNode; c = tree_[c].nextSibling)
        if (tree_[c].IsElement() && Style(c).display == Display::ListItem) ++start;
    }
    found = listCounters_.emplace(list, static_cast<int32_t>(start)).first;
  }
  if (auto value = readNumber(node, "value")) found->second = static_cast<int32_t>(*value);
  int64_t ordinal = found->second;
  found->second += reversed ? -1 : 1;
  marker_ = Marker{node, MarkerText(style.listStyleType, ordinal), contentX};
}

TextRun Layouter::MarkerRun(int32_t line) {
  TextRun run;
  run.node = run.element = marker_->item;
  run.line = line;
  run.font = FontOf(marker_->item);
  run.text = marker_->text;
  run.width = Measure(run.font, run.text);
  run.x = marker_->contentX - run.width;
  VerticalMetrics metrics = Vertical(run.font);
  run.top = -metrics.ascent;
  run.height = metrics.ascent + metrics.descent;
  return run;
}

void Layouter::LayOutMarkerLine(NodeId item, int32_t box, const Containing& cb, BlockFlow& flow) {
  VerticalMetrics metrics = Vertical(FontOf(item));
  float height = LineHeightOf(item);
  float leading = height - (metrics.ascent + metrics.descent);
  float top = flow.Resolve();
  int32_t line = OpenBox(BoxKind::Line, kNoNode, box);
  Box& lineBox = Out(line);
  lineBox.border = {cb.x, top, cb.width, height};
  lineBox.baseline = top + metrics.ascent + HalfLeadingAbove(leading);
  TextRun run = MarkerRun(line);
  run.baseline += lineBox.baseline;
  run.top += lineBox.baseline;
  lineBox.firstRun = static_cast<int32_t>(out_->runs.size());
  lineBox.runCount = 1;
  out_->runs.push_back(std::move(run));
  CloseBox(line);
  marker_.reset();
  flow.cursorY = top + height;
}

}  // namespace lectryn::engine::layout
