// Sizes of replaced elements. Images are never fetched, so they take the size their attributes
// or styles give, or a small 16x16 placeholder; controls take roughly a browser's default size.
#include <algorithm>
#include <cmath>

#include "engine/layout/Controls.h"
#include "engine/layout/Layouter.h"

namespace lectryn::engine::layout {

using dom::NodeId;

namespace {

constexpr float kImagePlaceholder = 16;
constexpr float kFrameWidth = 300;
constexpr float kFrameHeight = 150;
constexpr float kAltPadding = 2;       // around an image's alternative text
constexpr float kTextFieldFrame = 17;  // border, padding and the room browsers keep for a wide character
constexpr float kAudioHeight = 54;  // a browser's audio controls

std::optional<float> NumberAttribute(const dom::Tree& tree, NodeId node, const char* name) {
  const std::u16string* value = tree.AttributeValue(node, name);
  if (value == nullptr) return std::nullopt;
  float number = 0;
  bool digits = false;
  for (char16_t c : *value) {
    if (c >= u'0' && c <= u'9') {
      number = number * 10 + static_cast<float>(c - u'0');
      digits = true;
      if (number > Layouter::kMaxSize) return Layouter::kMaxSize;
    } else if (c != u' ' || digits) {
      break;
    }
  }
  if (!digits) return std::nullopt;
  return number;
}

std::u16string Lower(const std::u16string* value) {
  std::u16string text = value != nullptr ? *value : std::u16string();
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return text;
}

}  // namespace

bool Layouter::AltTextBox(NodeId node) const {
  const dom::Node& n = tree_[node];
  if (n.name != "img" || tree_.AttributeValue(node, "width") != nullptr ||
      tree_.AttributeValue(node, "height") != nullptr)
    return false;
  const css::ComputedStyle& style = Style(node);
  const std::u16string* alt = tree_.AttributeValue(node, "alt");
  return style.width.IsAuto() && style.height.IsAuto() && alt != nullptr && !alt->empty();
}

std::optional<float> Layouter::ReplacedBaseline(NodeId node, float borderBoxHeight) {
  if (AltTextBox(node)) return kAltPadding + input_.metrics.Vertical(AltTextFont()).ascent;
  if (ReplacedKindOf(node) != ReplacedKind::Control) return std::nullopt;
  std::u16string type = Lower(tree_.AttributeValue(node, "type"));
  if (type == u"checkbox" || type == u"radio" || type == u"image") return std::nullopt;
  // Fields, buttons and lists: the baseline of their text, centred in the box.
  const VerticalMetrics metrics = input_.metrics.Vertical(ControlFont());
  return borderBoxHeight / 2 + (metrics.ascent - metrics.descent) / 2;
}

ReplacedKind Layouter::ReplacedKindOf(NodeId node) const {
  const dom::Node& n = tree_[node];
  if (!n.IsElement()) return ReplacedKind::None;
  if (n.Has(dom::kTagFrame)) return ReplacedKind::Frame;
  if (!n.Has(dom::kTagObject)) return ReplacedKind::None;
  // Media and canvases show a blank box: never their fallback content, which is for browsers
  // that cannot play or draw them.
  if (n.name == "img" || n.name == "object" || n.name == "video" || n.name == "audio" || n.name == "canvas")
    return ReplacedKind::Image;
  return ReplacedKind::Control;
}

void Layouter::ReplacedSize(NodeId node, const Containing& cb, float* width, float* height) {
  const css::ComputedStyle& style = Style(node);
  const dom::Node& n = tree_[node];
  float w = 0;
  float h = 0;
  if (n.Has(dom::kTagFrame) || n.name == "object" || n.name == "video" || n.name == "canvas") {
    w = kFrameWidth;
    h = kFrameHeight;
  } else if (n.name == "audio") {
    w = kFrameWidth;
    h = kAudioHeight;
  } else if (n.name == "img") {
    w = h = kImagePlaceholder;
    if (AltTextBox(node)) {
      // Never loaded and given no size: the box shows its alternative text, as browsers do.
      const FontDescription font = AltTextFont();
      const std::u16string* alt = tree_.AttributeValue(node, "alt");
      w = std::min(input_.metrics.Advance(font, *alt), 2000.0F) + 2 * kAltPadding;
      h = input_.metrics.Vertical(font).lineSpacing + 2 * kAltPadding;
    }
  } else {
    FontDescription font = ControlFont();
    std::u16string type = Lower(tree_.AttributeValue(node, "type"));
    if (n.name == "textarea") {
      w = NumberAttribute(tree_, node, "cols").value_or(20) * 7.3F + 21;
      h = NumberAttribute(tree_, node, "rows").value_or(2) * 15 + 6;
    } else if (n.name == "select") {
      float widest = 0;
      for (NodeId c = tree_.Next(node, node); c != dom::kNoNode; c = tree_.Next(c, node))
        if (tree_[c].kind == dom::NodeKind::Text)
          widest = std::max(widest, input_.metrics.Advance(font, tree_[c].text));
      w = std::min(widest, 2000.0F) + 24;
      h = 20;
    } else if (n.name == "button" || type == u"submit" || type == u"button" || type == u"reset") {
      w = input_.metrics.Advance(font, ControlLabel(tree_, node)) + 16;
      h = 21;
    } else if (type == u"checkbox" || type == u"radio") {
      w = h = 13;
    } else if (type == u"image") {
      w = h = kImagePlaceholder;
    } else {
      // A text field is as wide as its size in characters (20 by default) of its font's "x",
      // rounded as browsers round the average character, plus its frame.
      const float characters = std::min(NumberAttribute(tree_, node, "size").value_or(20), 10000.0F);
      w = characters * std::max(1.0F, std::round(input_.metrics.Advance(font, u"x"))) + kTextFieldFrame;
      h = 21;
    }
  }
  // Attributes first, then the style's lengths, which win.
  std::optional<float> attrW = NumberAttribute(tree_, node, "width");
  std::optional<float> attrH = NumberAttribute(tree_, node, "height");
  if (attrW) w = *attrW;
  if (attrH) h = *attrH;
  if (!style.width.IsAuto()) w = style.width.Resolve(cb.width, w);
  if (auto known = style.height.ResolveIfKnown(cb.height)) h = *known;
  *width = std::clamp(Clamp(w), 0.0F, kMaxSize);
  *height = std::clamp(Clamp(h), 0.0F, kMaxSize);
}

}  // namespace lectryn::engine::layout
