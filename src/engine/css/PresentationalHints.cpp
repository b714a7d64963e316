#include "engine/css/PresentationalHints.h"

#include <algorithm>
#include <unordered_map>

#include "engine/css/Values.h"
#include "platform/Text.h"

namespace lectryn::engine::css {
namespace {

using dom::kNoNode;
using dom::NodeId;

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

std::u16string_view SkipSpace(std::u16string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  return text;
}

// HTML's non-negative integers: "12", " +3", "40px" (what follows the digits is ignored).
std::optional<float> Integer(const std::u16string* attribute) {
  if (attribute == nullptr) return std::nullopt;
  std::u16string_view text = SkipSpace(*attribute);
  if (!text.empty() && text.front() == u'+') text.remove_prefix(1);
  if (text.empty() || !IsDigit(text.front())) return std::nullopt;
  float value = 0;
  for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i)
    value = std::min(value * 10 + static_cast<float>(text[i] - u'0'), kMaxLength);
  return value;
}

// HTML's dimension values: "300" pixels, "50%" percent, "12.5".
std::optional<Value> DimensionOf(const std::u16string* attribute, bool allowZero) {
  if (attribute == nullptr) return std::nullopt;
  std::u16string_view text = SkipSpace(*attribute);
  if (text.empty() || !IsDigit(text.front())) return std::nullopt;
  size_t i = 0;
  std::string number;
  while (i < text.size() && IsDigit(text[i])) number.push_back(static_cast<char>(text[i++]));
  if (i + 1 < text.size() && text[i] == u'.' && IsDigit(text[i + 1])) {
    number.push_back('.');
    ++i;
    while (i < text.size() && IsDigit(text[i])) number.push_back(static_cast<char>(text[i++]));
  }
  auto value = ParseNumber(number);
  if (!value || (*value == 0 && !allowZero)) return std::nullopt;
  bool percent = i < text.size() && text[i] == u'%';
  return Value::Length({std::min(*value, kMaxLength), percent ? Unit::Percent : Unit::Px});
}

std::optional<Value> ColorOf(const std::u16string* attribute) {
  if (attribute == nullptr) return std::nullopt;
  auto color = ParseLegacyColor(*attribute);
  if (!color) return std::nullopt;
  return Value::Rgba(*color);
}

bool Is(const std::u16string* attribute, std::u16string_view value) {
  return attribute != nullptr && platform::EqualsIgnoringAsciiCase(SkipSpace(*attribute), value);
}

void Add(DeclarationBlock& out, Property property, const std::optional<Value>& value) {
  if (value) out.push_back({property, false, *value});
}

void AddSides(DeclarationBlock& out, Property top, const Value& value) {
  for (int side = 0; side < 4; ++side) out.push_back({SideOf(top, side), false, value});
}

void Border(DeclarationBlock& out, float widthPx, BorderStyle style) {
  AddSides(out, Property::BorderTopWidth, Value::Px(widthPx));
  AddSides(out, Property::BorderTopStyle, Value::Keyword(style));
}

// <font size>: 1 to 7, or relative to 3 with a sign.
std::optional<Value> FontSizeOf(const std::u16string* attribute) {
  if (attribute == nullptr) return std::nullopt;
  std::u16string_view text = SkipSpace(*attribute);
  int sign = 0;
  if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) {
    sign = text.front() == u'+' ? 1 : -1;
    text.remove_prefix(1);
  }
  if (text.empty() || !IsDigit(text.front())) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < text.size() && IsDigit(text[i]) && value < 100; ++i)
    value = value * 10 + (text[i] - u'0');
  if (sign != 0) value = 3 + sign * value;
  value = std::clamp(value, 1, 7);
  // Sizes 1 to 7 are the keywords x-small to xxx-large.
  return Value::Keyword(static_cast<uint8_t>(value));
}

std::optional<Value> TextAlignOf(const std::u16string* align) {
  if (Is(align, u"left")) return Value::Keyword(TextAlign::Left);
  if (Is(align, u"right")) return Value::Keyword(TextAlign::Right);
  if (Is(align, u"center") || Is(align, u"middle")) return Value::Keyword(TextAlign::Center);
  if (Is(align, u"justify")) return Value::Keyword(TextAlign::Justify);
  return std::nullopt;
}

std::optional<Value> VerticalAlignOf(const std::u16string* valign) {
  if (Is(valign, u"top")) return Value::Keyword(VerticalAlign::Top);
  if (Is(valign, u"middle") || Is(valign, u"center")) return Value::Keyword(VerticalAlign::Middle);
  if (Is(valign, u"bottom")) return Value::Keyword(VerticalAlign::Bottom);
  if (Is(valign, u"baseline")) return Value::Keyword(VerticalAlign::Baseline);
  return std::nullopt;
}

// align of images and frames: left and right float, the others align vertically.
void ObjectAlign(const std::u16string* align, DeclarationBlock& out) {
  if (Is(align, u"left")) {
    out.push_back({Property::Float, false, Value::Keyword(Float::Left)});
  } else if (Is(align, u"right")) {
    out.push_back({Property::Float, false, Value::Keyword(Float::Right)});
  } else if (Is(align, u"top") || Is(align, u"texttop")) {
    out.push_back({Property::VerticalAlign, false, Value::Keyword(VerticalAlign::Top)});
  } else if (Is(align, u"middle") || Is(align, u"absmiddle") || Is(align, u"center")) {
    out.push_back({Property::VerticalAlign, false, Value::Keyword(VerticalAlign::Middle)});
  } else if (Is(align, u"bottom") || Is(align, u"baseline")) {
    out.push_back({Property::VerticalAlign, false, Value::Keyword(VerticalAlign::Baseline)});
  } else if (Is(align, u"absbottom")) {
    out.push_back({Property::VerticalAlign, false, Value::Keyword(VerticalAlign::Bottom)});
  }
}

void Spacing(const std::u16string* hspace, const std::u16string* vspace, DeclarationBlock& out) {
  if (auto h = Integer(hspace)) {
    out.push_back({Property::MarginLeft, false, Value::Px(*h)});
    out.push_back({Property::MarginRight, false, Value::Px(*h)});
  }
  if (auto v = Integer(vspace)) {
    out.push_back({Property::MarginTop, false, Value::Px(*v)});
    out.push_back({Property::MarginBottom, false, Value::Px(*v)});
  }
}

std::optional<Value> ListTypeOf(const std::u16string* type) {
  if (type == nullptr) return std::nullopt;
  std::u16string_view text = SkipSpace(*type);
  // The one-letter types are case-sensitive: "a" and "A" differ.
  if (text == u"1") return Value::Keyword(ListStyleType::Decimal);
  if (text == u"a") return Value::Keyword(ListStyleType::LowerAlpha);
  if (text == u"A") return Value::Keyword(ListStyleType::UpperAlpha);
  if (text == u"i") return Value::Keyword(ListStyleType::LowerRoman);
  if (text == u"I") return Value::Keyword(ListStyleType::UpperRoman);
  if (Is(type, u"disc")) return Value::Keyword(ListStyleType::Disc);
  if (Is(type, u"circle")) return Value::Keyword(ListStyleType::Circle);
  if (Is(type, u"square")) return Value::Keyword(ListStyleType::Square);
  if (Is(type, u"none")) return Value::Keyword(ListStyleType::None);
  return std::nullopt;
}

enum class Kind : uint8_t {
  None,
  Body,
  Table,
  RowGroup,
  Row,
  Cell,
  Column,
  Replaced,
  Rule,
  Block,
  List,
  Font,
  Pre,
  Link,
  Marquee
};

Kind KindOf(const std::string& name) {
  static const auto* kinds = new std::unordered_map<std::string_view, Kind>{
      {"body", Kind::Body},       {"table", Kind::Table},     {"thead", Kind::RowGroup},
      {"tbody", Kind::RowGroup},  {"tfoot", Kind::RowGroup},  {"tr", Kind::Row},
      {"td", Kind::Cell},         {"th", Kind::Cell},         {"col", Kind::Column},
      {"colgroup", Kind::Column}, {"img", Kind::Replaced},    {"iframe", Kind::Replaced},
      {"embed", Kind::Replaced},  {"object", Kind::Replaced}, {"video", Kind::Replaced},
      {"canvas", Kind::Replaced}, {"applet", Kind::Replaced}, {"hr", Kind::Rule},
      {"p", Kind::Block},         {"div", Kind::Block},       {"h1", Kind::Block},
      {"h2", Kind::Block},        {"h3", Kind::Block},        {"h4", Kind::Block},
      {"h5", Kind::Block},        {"h6", Kind::Block},        {"caption", Kind::Block},
      {"legend", Kind::Block},    {"ol", Kind::List},         {"ul", Kind::List},
      {"li", Kind::List},         {"font", Kind::Font},       {"pre", Kind::Pre},
      {"a", Kind::Link},          {"marquee", Kind::Marquee}};
  auto it = kinds->find(name);
  return it == kinds->end() ? Kind::None : it->second;
}

}  // namespace

PresentationalHints::PresentationalHints(const dom::Tree& tree) : tree_(tree) {
  NodeId body = tree.Body();
  if (body != kNoNode && tree[body].name == "body") {
    if (auto link = ColorOf(tree.AttributeValue(body, "link"))) linkColor_ = link->color;
  }
}

void PresentationalHints::Collect(NodeId element, DeclarationBlock& out) const {
  const dom::Node& node = tree_[element];
  // Cells also take their table's attributes.
  if (node.attributes.empty() && !node.Has(dom::kTagCell)) return;
  Kind kind = KindOf(node.name);
  auto add = [&](Property property, const char* attribute, auto parse) {
    Add(out, property, parse(Attribute(element, attribute)));
  };
  auto dimension = [](bool allowZero) {
    return [allowZero](const std::u16string* value) { return DimensionOf(value, allowZero); };
  };
  if (kind == Kind::Body || kind == Kind::Table || kind == Kind::RowGroup || kind == Kind::Row ||
      kind == Kind::Cell || kind == Kind::Marquee)
    add(Property::BackgroundColor, "bgcolor", ColorOf);
  if (kind == Kind::Block || kind == Kind::RowGroup || kind == Kind::Row || kind == Kind::Cell)
    add(Property::TextAlign, "align", TextAlignOf);
  if (kind == Kind::RowGroup || kind == Kind::Row || kind == Kind::Cell || kind == Kind::Column)
    add(Property::VerticalAlign, "valign", VerticalAlignOf);
  switch (kind) {
    case Kind::Body:
      Body(element, out);
      break;
    case Kind::Table:
      Table(element, out);
      break;
    case Kind::Row:
      add(Property::Height, "height", dimension(false));
      break;
    case Kind::Cell:
      add(Property::Width, "width", dimension(false));
      Cell(element, out);
      break;
    case Kind::Column:
      add(Property::Width, "width", dimension(false));
      break;
    case Kind::Replaced:
      add(Property::Width, "width", dimension(true));
      add(Property::Height, "height", dimension(true));
      Image(element, out);
      break;
    case Kind::Rule:
      Rule(element, out);
      break;
    case Kind::List:
      add(Property::ListStyleType, "type", ListTypeOf);
      break;
    case Kind::Font:
      add(Property::Color, "color", ColorOf);
      add(Property::FontSize, "size", FontSizeOf);
      if (const auto* face = Attribute(element, "face")) {
        DeclarationBlock family;
        if (ParseDeclaration("font-family", platform::ToUtf8(*face), false, family))
          out.push_back(family.front());
      }
      break;
    case Kind::Pre:
      if (Attribute(element, "wrap") != nullptr)
        out.push_back({Property::WhiteSpace, false, Value::Keyword(WhiteSpace::PreWrap)});
      break;
    case Kind::Link:
      if (linkColor_ && Attribute(element, "href") != nullptr)
        out.push_back({Property::Color, false, Value::Rgba(*linkColor_)});
      break;
    default:
      break;
  }
}

void PresentationalHints::Table(NodeId element, DeclarationBlock& out) const {
  Add(out, Property::Width, DimensionOf(Attribute(element, "width"), false));
  Add(out, Property::Height, DimensionOf(Attribute(element, "height"), true));
  if (const auto* border = Attribute(element, "border")) {
    float width = Integer(border).value_or(1);  // a border attribute without a number is 1
    if (width > 0) Border(out, width, BorderStyle::Outset);
  }
  if (auto color = ColorOf(Attribute(element, "bordercolor")))
    AddSides(out, Property::BorderTopColor, *color);
  if (auto spacing = Integer(Attribute(element, "cellspacing")))
    out.push_back({Property::BorderSpacing, false, Value::Px(*spacing)});
  const auto* align = Attribute(element, "align");
  if (Is(align, u"left")) {
    out.push_back({Property::Float, false, Value::Keyword(Float::Left)});
  } else if (Is(align, u"right")) {
    out.push_back({Property::Float, false, Value::Keyword(Float::Right)});
  } else if (Is(align, u"center")) {
    out.push_back({Property::MarginLeft, false, Value::Keyword(LengthKeyword::Auto)});
    out.push_back({Property::MarginRight, false, Value::Keyword(LengthKeyword::Auto)});
  }
}

void PresentationalHints::Cell(NodeId element, DeclarationBlock& out) const {
  Add(out, Property::Height, DimensionOf(Attribute(element, "height"), false));
  if (Attribute(element, "nowrap") != nullptr)
    out.push_back({Property::WhiteSpace, false, Value::Keyword(WhiteSpace::Nowrap)});
  NodeId table = tree_[element].parent;
  while (table != kNoNode && tree_[table].name != "table") table = tree_[table].parent;
  if (table == kNoNode) return;
  if (auto padding = Integer(Attribute(table, "cellpadding")))
    AddSides(out, Property::PaddingTop, Value::Px(*padding));
  if (const auto* border = Attribute(table, "border"); border != nullptr && Integer(border).value_or(1) > 0) {
    Border(out, 1, BorderStyle::Inset);
    if (auto color = ColorOf(Attribute(table, "bordercolor")))
      AddSides(out, Property::BorderTopColor, *color);
  }
}

void PresentationalHints::Body(NodeId element, DeclarationBlock& out) const {
  Add(out, Property::Color, ColorOf(Attribute(element, "text")));
  auto margin = [&](Property property, const char* own, const char* frame) {
    auto value = Integer(Attribute(element, own));
    if (!value) value = Integer(Attribute(element, frame));
    if (value) out.push_back({property, false, Value::Px(*value)});
  };
  margin(Property::MarginTop, "topmargin", "marginheight");
  margin(Property::MarginBottom, "bottommargin", "marginheight");
  margin(Property::MarginLeft, "leftmargin", "marginwidth");
  margin(Property::MarginRight, "rightmargin", "marginwidth");
}

void PresentationalHints::Image(NodeId element, DeclarationBlock& out) const {
  ObjectAlign(Attribute(element, "align"), out);
  Spacing(Attribute(element, "hspace"), Attribute(element, "vspace"), out);
  if (tree_[element].name == "img") {
    if (auto border = Integer(Attribute(element, "border"))) Border(out, *border, BorderStyle::Solid);
  } else if (tree_[element].name == "iframe") {
    const auto* frameBorder = Attribute(element, "frameborder");
    if (Is(frameBorder, u"0") || Is(frameBorder, u"no")) Border(out, 0, BorderStyle::None);
  }
}

void PresentationalHints::Rule(NodeId element, DeclarationBlock& out) const {
  Add(out, Property::Width, DimensionOf(Attribute(element, "width"), false));
  const auto* align = Attribute(element, "align");
  if (Is(align, u"left")) {
    out.push_back({Property::MarginLeft, false, Value::Px(0)});
    out.push_back({Property::MarginRight, false, Value::Keyword(LengthKeyword::Auto)});
  } else if (Is(align, u"right")) {
    out.push_back({Property::MarginLeft, false, Value::Keyword(LengthKeyword::Auto)});
    out.push_back({Property::MarginRight, false, Value::Px(0)});
  }
  auto color = ColorOf(Attribute(element, "color"));
  bool solid = color || Attribute(element, "noshade") != nullptr;
  if (color) {
    out.push_back({Property::Color, false, *color});
    out.push_back({Property::BackgroundColor, false, *color});
  }
  if (solid) {
    AddSides(out, Property::BorderTopStyle, Value::Keyword(BorderStyle::Solid));
    if (!color) out.push_back({Property::BackgroundColor, false, Value::Rgba({128, 128, 128, 255})});
  }
  auto size = Integer(Attribute(element, "size"));
  if (!size) return;
  if (solid) {
    AddSides(out, Property::BorderTopWidth, Value::Px(*size / 2));
  } else if (*size == 1) {
    out.push_back({Property::BorderBottomWidth, false, Value::Px(0)});
  } else if (*size > 1) {
    out.push_back({Property::Height, false, Value::Px(*size - 2)});
  }
}

}  // namespace lectryn::engine::css
