#include "LayoutFixture.h"

#include <gtest/gtest.h>

#include "engine/dom/HtmlParser.h"
#include "platform/Text.h"

namespace lectryn::engine::layout::testing {

using css::ComputedStyle;
using css::Display;
using css::Length;

namespace {

void TagDefaults(const dom::Node& node, ComputedStyle& s) {
  if (node.Has(dom::kTagCell))
    s.display = Display::TableCell;
  else if (node.Has(dom::kTagRow))
    s.display = Display::TableRow;
  else if (node.Has(dom::kTagListItem))
    s.display = Display::ListItem;
  else if (node.name == "table")
    s.display = Display::Table;
  else if (node.name == "tbody" || node.name == "thead" || node.name == "tfoot")
    s.display = Display::TableRowGroup;
  else if (node.name == "caption")
    s.display = Display::TableCaption;
  else if (node.Has(dom::kTagBlock))
    s.display = Display::Block;
  else
    s.display = Display::Inline;
  if (node.Has(dom::kTagPre)) s.whiteSpace = css::WhiteSpace::Pre;
  if (node.name == "body") s.margin = {Length::Px(8), Length::Px(8), Length::Px(8), Length::Px(8)};
  if (node.name == "p") s.margin[css::kTop] = s.margin[css::kBottom] = Length::Px(16);
  if (node.name == "ul" || node.name == "ol") s.padding[css::kLeft] = Length::Px(40);
  if (node.name == "ol") s.listStyleType = css::ListStyleType::Decimal;
  if (node.name == "td") s.verticalAlign = css::VerticalAlign::Middle;
}

// Inherited values pass from parent to child before the child's own are set.
void Inherit(const ComputedStyle& parent, ComputedStyle& s) {
  s.visibility = parent.visibility;
  s.whiteSpace = parent.whiteSpace;
  s.fontFamily = parent.fontFamily;
  s.fontSizePx = parent.fontSizePx;
  s.fontWeight = parent.fontWeight;
  s.italic = parent.italic;
  s.lineHeightKind = parent.lineHeightKind;
  s.lineHeight = parent.lineHeight;
  s.textAlign = parent.textAlign;
  s.textIndent = parent.textIndent;
  s.textTransform = parent.textTransform;
  s.overflowWrap = parent.overflowWrap;
  s.listStyleType = parent.listStyleType;
  s.borderSpacingX = parent.borderSpacingX;
  s.borderSpacingY = parent.borderSpacingY;
}

}  // namespace

std::unique_ptr<Laid> Lay(std::string_view html, const Styles& styles, float width, BodyMargins body) {
  auto laid = std::make_unique<Laid>();
  dom::ParseDocument(html, laid->tree);
  const dom::Tree& tree = laid->tree;
  laid->styles.resize(static_cast<size_t>(tree.Size()));
  for (dom::NodeId n = 0; n < tree.Size(); ++n) {
    const dom::Node& node = tree[n];
    ComputedStyle& s = laid->styles[static_cast<size_t>(n)];
    if (node.parent >= 0) Inherit(laid->styles[static_cast<size_t>(node.parent)], s);
    if (!node.IsElement()) continue;
    TagDefaults(node, s);
    auto byTag = styles.find("@" + node.name);
    if (byTag != styles.end()) byTag->second(s);
    if (const std::u16string* id = tree.AttributeValue(n, "id")) {
      auto byId = styles.find(platform::ToUtf8(*id));
      if (byId != styles.end()) byId->second(s);
    }
  }
  laid->model = std::make_unique<text::TextModel>(text::TextModel::Build(tree, laid->styles, tree.Body()));
  FixedFontMetrics metrics;
  LayoutInput input{laid->tree, laid->styles, *laid->model, metrics, width, 600, body.top, body.left};
  laid->layout = LayOut(input);
  return laid;
}

dom::NodeId Laid::ById(std::string_view id) const {
  for (dom::NodeId n = 0; n < tree.Size(); ++n) {
    const std::u16string* value = tree[n].IsElement() ? tree.AttributeValue(n, "id") : nullptr;
    if (value != nullptr && platform::ToUtf8(*value) == id) return n;
  }
  return dom::kNoNode;
}

const Box& Laid::BoxOf(std::string_view id) const {
  static const Box kNone{};
  int32_t box = layout->FirstBoxOf(ById(id));
  EXPECT_GE(box, 0) << "no box for #" << id;
  return box >= 0 ? layout->boxes[static_cast<size_t>(box)] : kNone;
}

std::string Laid::Lines(std::string_view id) const {
  int32_t first = layout->FirstBoxOf(ById(id));
  if (first < 0) return "(no box)";
  std::string text;
  for (int32_t b = first; b < layout->boxes[static_cast<size_t>(first)].end; ++b) {
    const Box& box = layout->boxes[static_cast<size_t>(b)];
    if (box.kind != BoxKind::Line) continue;
    if (!text.empty()) text += "|";
    for (int32_t r = box.firstRun; r < box.firstRun + box.runCount; ++r)
      text += "[" + platform::ToUtf8(layout->runs[static_cast<size_t>(r)].text) + "]";
  }
  return text;
}

}  // namespace lectryn::engine::layout::testing
