#include "engine/css/Declaration.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "engine/css/Calc.h"
#include "engine/css/Scan.h"
#include "engine/css/Values.h"

namespace lectryn::engine::css {
namespace {

using Parts = std::vector<std::string_view>;

template <class Enum>
using KeywordTable = std::initializer_list<std::pair<std::string_view, Enum>>;

template <class Enum>
std::optional<Value> KeywordOf(std::string_view word, KeywordTable<Enum> table) {
  for (const auto& [name, value] : table) {
    if (name == word) return Value::Keyword(value);
  }
  return std::nullopt;
}

// What a length property accepts besides lengths.
enum LengthOption : uint8_t {
  kAuto = 1,         // "auto"
  kNone = 2,         // "none"
  kPercent = 4,      // percentages
  kNonNegative = 8,  // negative values are invalid
  kUnitless = 16,    // a bare number is pixels (quirks mode)
};

// calc() and its kin where a length is accepted; negative results of non-negative properties
// are clamped, not invalid.
std::optional<Value> CalcLengthOf(std::string_view part, unsigned options) {
  auto node = ParseCalc(part, CalcType::Length,
                        (options & kPercent) != 0 ? CalcPercent::Allowed : CalcPercent::Invalid);
  if (!node) return std::nullopt;
  if ((options & kNonNegative) != 0)
    node = CalcNode{CalcNode::Op::Max, 0, Unit::Px,
                    {CalcNode{CalcNode::Op::Dimension, 0, Unit::Px, {}}, std::move(*node)}};
  Value v(ValueType::Length);
  v.calc = std::make_shared<const CalcNode>(std::move(*node));
  return v;
}

// A number, or a math function of numbers.
std::optional<float> NumberOf(std::string_view part) {
  if (auto node = ParseCalc(part, CalcType::Number, CalcPercent::Invalid)) return node->value;
  return ParseNumber(part);
}

std::optional<Value> LengthOf(std::string_view part, unsigned options) {
  if (IsMathFunction(part)) return CalcLengthOf(part, options);
  if ((options & kAuto) != 0 && part == "auto") return Value::Keyword(LengthKeyword::Auto);
  if ((options & kNone) != 0 && part == "none") return Value::Keyword(LengthKeyword::None);
  auto dimension = ParseDimension(part, (options & kUnitless) != 0 ? Unitless::Px : Unitless::Invalid);
  if (!dimension) return std::nullopt;
  if (dimension->unit == Unit::Percent && (options & kPercent) == 0) return std::nullopt;
  if (dimension->value < 0 && (options & kNonNegative) != 0) return std::nullopt;
  return Value::Length(*dimension);
}

std::optional<Value> ColorOf(std::string_view part) {
  if (part == "currentcolor") return Value{ValueType::CurrentColor};
  if (auto color = ParseColor(part)) return Value::Rgba(*color);
  return std::nullopt;
}

std::optional<Value> BorderWidthOf(std::string_view part) {
  if (part == "thin") return Value::Px(1);
  if (part == "medium") return Value::Px(3);
  if (part == "thick") return Value::Px(5);
  return LengthOf(part, kNonNegative | kUnitless);
}

std::optional<Value> BorderStyleOf(std::string_view part) {
  return KeywordOf<BorderStyle>(part, {{"none", BorderStyle::None},
                                       {"hidden", BorderStyle::Hidden},
                                       {"solid", BorderStyle::Solid},
                                       {"dashed", BorderStyle::Dashed},
                                       {"dotted", BorderStyle::Dotted},
                                       {"double", BorderStyle::Double},
                                       {"groove", BorderStyle::Groove},
                                       {"ridge", BorderStyle::Ridge},
                                       {"inset", BorderStyle::Inset},
                                       {"outset", BorderStyle::Outset}});
}

std::optional<Value> DisplayOf(const Parts& parts) {
  if (parts.size() == 1) {
    return KeywordOf<Display>(parts[0], {{"none", Display::None},
                                         {"inline", Display::Inline},
                                         {"block", Display::Block},
                                         {"list-item", Display::ListItem},
                                         {"inline-block", Display::InlineBlock},
                                         {"table", Display::Table},
                                         {"inline-table", Display::InlineTable},
                                         {"table-row-group", Display::TableRowGroup},
                                         {"table-header-group", Display::TableHeaderGroup},
                                         {"table-footer-group", Display::TableFooterGroup},
                                         {"table-row", Display::TableRow},
                                         {"table-column-group", Display::TableColumnGroup},
                                         {"table-column", Display::TableColumn},
                                         {"table-cell", Display::TableCell},
                                         {"table-caption", Display::TableCaption},
                                         // Flex and grid containers are laid out as blocks.
                                         {"flex", Display::Block},
                                         {"grid", Display::Block},
                                         {"flow-root", Display::Block},
                                         {"-webkit-box", Display::Block},
                                         {"-ms-flexbox", Display::Block},
                                         {"inline-flex", Display::InlineBlock},
                                         {"inline-grid", Display::InlineBlock},
                                         {"-webkit-inline-box", Display::InlineBlock},
                                         // Boxes we do not build: their content flows inline.
                                         {"contents", Display::Inline},
                                         {"ruby", Display::Inline},
                                         {"ruby-text", Display::Inline}});
  }
  if (parts.size() != 2) return std::nullopt;
  // Two keywords: the outer and the inner display type, in either order.
  std::string_view outer = parts[0], inner = parts[1];
  if (inner == "block" || inner == "inline") std::swap(outer, inner);
  bool block = outer == "block";
  if (!block && outer != "inline") {
    if (outer == "list-item" && (inner == "flow" || inner == "flow-root"))
      return Value::Keyword(Display::ListItem);
    return std::nullopt;
  }
  if (inner == "flow") return Value::Keyword(block ? Display::Block : Display::Inline);
  if (inner == "flow-root" || inner == "flex" || inner == "grid")
    return Value::Keyword(block ? Display::Block : Display::InlineBlock);
  if (inner == "table") return Value::Keyword(block ? Display::Table : Display::InlineTable);
  if (inner == "list-item") return Value::Keyword(Display::ListItem);
  return std::nullopt;
}

std::optional<Value> FontSizeOf(std::string_view part) {
  auto keyword = KeywordOf<FontSizeKeyword>(part, {{"xx-small", FontSizeKeyword::XxSmall},
                                                   {"x-small", FontSizeKeyword::XSmall},
                                                   {"small", FontSizeKeyword::Small},
                                                   {"medium", FontSizeKeyword::Medium},
                                                   {"large", FontSizeKeyword::Large},
                                                   {"x-large", FontSizeKeyword::XLarge},
                                                   {"xx-large", FontSizeKeyword::XxLarge},
                                                   {"xxx-large", FontSizeKeyword::XxxLarge},
                                                   {"smaller", FontSizeKeyword::Smaller},
                                                   {"larger", FontSizeKeyword::Larger}});
  if (keyword) return keyword;
  return LengthOf(part, kPercent | kNonNegative | kUnitless);
}

std::optional<Value> FontWeightOf(std::string_view part) {
  if (part == "normal") return Value::Number(400);
  if (part == "bold") return Value::Number(700);
  if (part == "bolder") return Value::Keyword(FontWeightKeyword::Bolder);
  if (part == "lighter") return Value::Keyword(FontWeightKeyword::Lighter);
  auto number = ParseNumber(part);
  if (!number && IsMathFunction(part)) {
    number = NumberOf(part);
    if (number) number = std::clamp(*number, 1.0F, 1000.0F);
  }
  if (!number || *number < 1 || *number > 1000) return std::nullopt;
  return Value::Number(*number);
}

std::optional<Value> FontStyleOf(const Parts& parts) {
  if (parts.empty() || parts.size() > 2) return std::nullopt;
  if (parts.size() == 2 && parts[0] != "oblique") return std::nullopt;  // "oblique 10deg"
  return KeywordOf<uint8_t>(parts[0], {{"normal", 0}, {"italic", 1}, {"oblique", 1}});
}

std::optional<Value> LineHeightOf(std::string_view part) {
  if (part == "normal") return Value::Keyword(LineHeightKeyword::Normal);
  if (auto number = NumberOf(part)) {
    if (*number < 0 && IsMathFunction(part)) number = 0;
    if (*number < 0) return std::nullopt;
    return Value::Number(std::min(*number, kMaxLength));
  }
  return LengthOf(part, kPercent | kNonNegative);
}

// A font-family list as written, lower case, one space after each comma.
std::optional<Value> FontFamilyOf(std::string_view value) {
  std::string list;
  size_t i = 0;
  bool expectName = true;
  while (i < value.size()) {
    char c = value[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    if (c == ',') {
      if (expectName) return std::nullopt;
      list += ", ";
      expectName = true;
      ++i;
      continue;
    }
    if (!expectName) return std::nullopt;
    size_t begin = i;
    if (c == '"' || c == '\'') {
      size_t close = value.find(c, i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      i = close + 1;
      list += value.substr(begin, i - begin);
    } else {
      // One or more identifiers separated by spaces: "times new roman".
      while (i < value.size() && value[i] != ',') ++i;
      std::string_view name = Trim(value.substr(begin, i - begin));
      bool space = false;
      for (char n : name) {
        if (IsSpace(n)) {
          space = true;
          continue;
        }
        if (n == '"' || n == '\'' || n == '(' || n == ')' || n == ';' || n == '{' || n == '}')
          return std::nullopt;
        if (space) list.push_back(' ');
        list.push_back(n);
        space = false;
      }
    }
    expectName = false;
  }
  if (expectName) return std::nullopt;
  Value v{ValueType::Text};
  v.text = std::move(list);
  return v;
}

std::optional<Value> TextAlignOf(std::string_view part) {
  if (part == "match-parent") return Value{ValueType::Inherit};
  return KeywordOf<TextAlign>(part, {{"left", TextAlign::Left},
                                          {"right", TextAlign::Right},
                                          {"center", TextAlign::Center},
                                          {"justify", TextAlign::Justify},
                                          {"start", TextAlign::Left},
                                          {"end", TextAlign::Right},
                                          {"justify-all", TextAlign::Justify},
                                          {"-webkit-left", TextAlign::Left},
                                          {"-webkit-right", TextAlign::Right},
                                          {"-webkit-center", TextAlign::Center},
                                          {"-moz-left", TextAlign::Left},
                                          {"-moz-right", TextAlign::Right},
                                          {"-moz-center", TextAlign::Center},
                                          {"-khtml-center", TextAlign::Center}});
}

std::optional<Value> DecorationLineOf(const Parts& parts) {
  uint8_t lines = 0;
  for (std::string_view part : parts) {
    if (part == "none" && parts.size() == 1) return Value::Keyword(kDecorationNone);
    if (part == "underline")
      lines |= kUnderline;
    else if (part == "overline")
      lines |= kOverline;
    else if (part == "line-through")
      lines |= kLineThrough;
    else if (part != "blink")
      return std::nullopt;
  }
  return Value::Keyword(lines);
}

std::optional<Value> VerticalAlignOf(std::string_view part) {
  auto keyword = KeywordOf<VerticalAlign>(part, {{"baseline", VerticalAlign::Baseline},
                                                     {"sub", VerticalAlign::Sub},
                                                     {"super", VerticalAlign::Super},
                                                     {"top", VerticalAlign::Top},
                                                     {"middle", VerticalAlign::Middle},
                                                     {"bottom", VerticalAlign::Bottom},
                                                     {"text-top", VerticalAlign::TextTop},
                                                     {"text-bottom", VerticalAlign::TextBottom},
                                                     {"-webkit-baseline-middle", VerticalAlign::Middle}});
  if (keyword) return keyword;
  // A raised or lowered baseline: we lay it out on the baseline.
  if (LengthOf(part, kPercent | kUnitless)) return Value::Keyword(VerticalAlign::Baseline);
  return std::nullopt;
}

std::optional<Value> ListStyleTypeOf(std::string_view part) {
  auto keyword = KeywordOf<ListStyleType>(part, {{"disc", ListStyleType::Disc},
                                                 {"circle", ListStyleType::Circle},
                                                 {"square", ListStyleType::Square},
                                                 {"decimal", ListStyleType::Decimal},
                                                 {"decimal-leading-zero", ListStyleType::Decimal},
                                                 {"lower-alpha", ListStyleType::LowerAlpha},
                                                 {"lower-latin", ListStyleType::LowerAlpha},
                                                 {"upper-alpha", ListStyleType::UpperAlpha},
                                                 {"upper-latin", ListStyleType::UpperAlpha},
                                                 {"lower-roman", ListStyleType::LowerRoman},
                                                 {"upper-roman", ListStyleType::UpperRoman},
                                                 {"none", ListStyleType::None},
                                                 // Numbering systems we do not draw count in decimal.
                                                 {"lower-greek", ListStyleType::Decimal},
                                                 {"armenian", ListStyleType::Decimal},
                                                 {"georgian", ListStyleType::Decimal},
                                                 {"hebrew", ListStyleType::Decimal},
                                                 {"cjk-ideographic", ListStyleType::Decimal},
                                                 {"cjk-decimal", ListStyleType::Decimal},
                                                 {"hiragana", ListStyleType::Decimal},
                                                 {"katakana", ListStyleType::Decimal},
                                                 {"disclosure-open", ListStyleType::Disc},
                                                 {"disclosure-closed", ListStyleType::Disc}});
  if (keyword) return keyword;
  // A string marker ("-") shows as a bullet.
  if (part.size() >= 2 && (part.front() == '"' || part.front() == '\'') && part.back() == part.front())
    return Value::Keyword(ListStyleType::Disc);
  return std::nullopt;
}

std::optional<Value> ListStylePositionOf(std::string_view part) {
  return KeywordOf<ListStylePosition>(
      part, {{"outside", ListStylePosition::Outside}, {"inside", ListStylePosition::Inside}});
}

std::optional<Value> OverflowOf(std::string_view part) {
  return KeywordOf<Overflow>(part, {{"visible", Overflow::Visible},
                                    {"hidden", Overflow::Hidden},
                                    {"auto", Overflow::Auto},
                                    {"scroll", Overflow::Scroll},
                                    {"clip", Overflow::Hidden},
                                    {"overlay", Overflow::Auto}});
}

std::optional<Value> BorderSpacingOf(const Parts& parts) {
  if (parts.empty() || parts.size() > 2) return std::nullopt;
  auto x = LengthOf(parts[0], kNonNegative | kUnitless);
  auto y = parts.size() == 2 ? LengthOf(parts[1], kNonNegative | kUnitless) : x;
  if (!x || !y || (parts.size() == 2 && (x->calc || y->calc))) return std::nullopt;  // calc(): one value
  x->length2 = y->length;
  return x;
}

std::optional<Value> VisibilityOf(std::string_view part) {
  return KeywordOf<Visibility>(part, {{"visible", Visibility::Visible}, {"hidden", Visibility::Hidden},
                                      {"collapse", Visibility::Hidden}});
}

std::optional<Value> WhiteSpaceOf(std::string_view part) {
  return KeywordOf<WhiteSpace>(part, {{"normal", WhiteSpace::Normal}, {"nowrap", WhiteSpace::Nowrap},
                                      {"pre", WhiteSpace::Pre}, {"pre-wrap", WhiteSpace::PreWrap},
                                      {"pre-line", WhiteSpace::PreLine},
                                      {"break-spaces", WhiteSpace::PreWrap}});
}

// Margins and the insets of positioned boxes.
std::optional<Value> OffsetOf(std::string_view part) { return LengthOf(part, kAuto | kPercent | kUnitless); }

std::optional<Value> PaddingOf(std::string_view part) {
  return LengthOf(part, kPercent | kNonNegative | kUnitless);
}

std::optional<Value> SizeOf(std::string_view part) {
  if (part == "min-content" || part == "max-content" || part == "fit-content")
    return Value::Keyword(LengthKeyword::Auto);
  return LengthOf(part, kAuto | kPercent | kNonNegative | kUnitless);
}

std::optional<Value> MinSizeOf(std::string_view part) {
  if (part == "auto") return Value::Px(0);
  return LengthOf(part, kPercent | kNonNegative | kUnitless);
}

std::optional<Value> MaxSizeOf(std::string_view part) {
  return LengthOf(part, kNone | kPercent | kNonNegative | kUnitless);
}

std::optional<Value> BoxSizingOf(std::string_view part) {
  return KeywordOf<BoxSizing>(part,
                              {{"content-box", BoxSizing::ContentBox}, {"border-box", BoxSizing::BorderBox}});
}

// Float and clear share their side keywords; clear adds "both".
template <class Enum>
std::optional<Value> SideKeywordOf(std::string_view part) {
  if constexpr (std::is_same_v<Enum, Clear>) {
    if (part == "both") return Value::Keyword(Clear::Both);
  }
  return KeywordOf<Enum>(part, {{"none", Enum::None}, {"left", Enum::Left}, {"right", Enum::Right},
                                {"inline-start", Enum::Left}, {"inline-end", Enum::Right}});
}

std::optional<Value> PositionOf(std::string_view part) {
  return KeywordOf<Position>(part, {{"static", Position::Static}, {"relative", Position::Relative},
                                    {"absolute", Position::Absolute}, {"fixed", Position::Fixed},
                                    {"sticky", Position::Relative}});
}

std::optional<Value> TextIndentOf(std::string_view part) { return LengthOf(part, kPercent | kUnitless); }

std::optional<Value> TextTransformOf(std::string_view part) {
  return KeywordOf<TextTransform>(part, {{"none", TextTransform::None},
                                         {"uppercase", TextTransform::Uppercase},
                                         {"lowercase", TextTransform::Lowercase},
                                         {"capitalize", TextTransform::Capitalize}});
}

std::optional<Value> BorderCollapseOf(std::string_view part) {
  return KeywordOf<uint8_t>(part, {{"separate", 0}, {"collapse", 1}});
}

std::optional<Value> OverflowWrapOf(std::string_view part) {
  return KeywordOf<OverflowWrap>(part, {{"normal", OverflowWrap::Normal},
                                        {"break-word", OverflowWrap::BreakWord},
                                        {"anywhere", OverflowWrap::Anywhere}});
}

// The grammars the property table names, each read from the whole value or its parts.
using Parser = std::optional<Value> (*)(std::string_view value, const Parts& parts);

// A value of exactly one component.
template <std::optional<Value> (*Of)(std::string_view)>
std::optional<Value> OnePart(std::string_view, const Parts& parts) {
  return Of(parts.size() == 1 ? parts[0] : std::string_view());
}
template <std::optional<Value> (*Of)(const Parts&)>
std::optional<Value> AllParts(std::string_view, const Parts& parts) {
  return Of(parts);
}
template <std::optional<Value> (*Of)(std::string_view)>
std::optional<Value> WholeValue(std::string_view value, const Parts&) {
  return Of(value);
}

constexpr Parser ParseDisplay = AllParts<DisplayOf>;
constexpr Parser ParseVisibility = OnePart<VisibilityOf>;
constexpr Parser ParseWhiteSpace = OnePart<WhiteSpaceOf>;
constexpr Parser ParseMargin = OnePart<OffsetOf>;
constexpr Parser ParsePadding = OnePart<PaddingOf>;
constexpr Parser ParseBorderWidth = OnePart<BorderWidthOf>;
constexpr Parser ParseBorderStyle = OnePart<BorderStyleOf>;
constexpr Parser ParseColor = OnePart<ColorOf>;
constexpr Parser ParseInset = OnePart<OffsetOf>;
constexpr Parser ParseSize = OnePart<SizeOf>;
constexpr Parser ParseMinSize = OnePart<MinSizeOf>;
constexpr Parser ParseMaxSize = OnePart<MaxSizeOf>;
constexpr Parser ParseBoxSizing = OnePart<BoxSizingOf>;
constexpr Parser ParseFloat = OnePart<SideKeywordOf<Float>>;
constexpr Parser ParseClear = OnePart<SideKeywordOf<Clear>>;
constexpr Parser ParsePosition = OnePart<PositionOf>;
constexpr Parser ParseOverflow = OnePart<OverflowOf>;
constexpr Parser ParseFontFamily = WholeValue<FontFamilyOf>;
constexpr Parser ParseFontSize = OnePart<FontSizeOf>;
constexpr Parser ParseFontWeight = OnePart<FontWeightOf>;
constexpr Parser ParseFontStyle = AllParts<FontStyleOf>;
constexpr Parser ParseLineHeight = OnePart<LineHeightOf>;
constexpr Parser ParseTextAlign = OnePart<TextAlignOf>;
constexpr Parser ParseTextIndent = OnePart<TextIndentOf>;
constexpr Parser ParseDecorationLine = AllParts<DecorationLineOf>;
constexpr Parser ParseTextTransform = OnePart<TextTransformOf>;
constexpr Parser ParseVerticalAlign = OnePart<VerticalAlignOf>;
constexpr Parser ParseListStyleType = OnePart<ListStyleTypeOf>;
constexpr Parser ParseListStylePosition = OnePart<ListStylePositionOf>;
constexpr Parser ParseBorderSpacing = AllParts<BorderSpacingOf>;
constexpr Parser ParseBorderCollapse = OnePart<BorderCollapseOf>;
constexpr Parser ParseOverflowWrap = OnePart<OverflowWrapOf>;

// The value grammar of every longhand.
std::optional<Value> LonghandValue(Property property, std::string_view value, const Parts& parts) {
  switch (property) {
#define LECTRYN_CSS_PARSE(id, name, inheritance, grammar, ...) \
  case Property::id:                                          \
    return Parse##grammar(value, parts);
    LECTRYN_CSS_PROPERTIES(LECTRYN_CSS_PARSE)
#undef LECTRYN_CSS_PARSE
    case Property::Count:
      break;
  }
  return std::nullopt;
}

enum class Shorthand : uint8_t {
  None,
  Margin,
  Padding,
  Inset,
  BorderWidth,
  BorderStyle,
  BorderColor,
  Border,
  BorderTop,
  BorderRight,
  BorderBottom,
  BorderLeft,
  Background,
  Font,
  ListStyle,
  Overflow,
  TextDecoration,
};

struct PropertyName {
  Property longhand = Property::Count;
  Shorthand shorthand = Shorthand::None;
};

const std::unordered_map<std::string_view, PropertyName>& PropertyNames() {
  static const auto* names = [] {
    // An alias and the shorthands; every longhand by its own name below.
    auto* map = new std::unordered_map<std::string_view, PropertyName>{
      {"word-wrap", {Property::OverflowWrap}},
      {"margin", {Property::Count, Shorthand::Margin}},
      {"padding", {Property::Count, Shorthand::Padding}},
      {"inset", {Property::Count, Shorthand::Inset}},
      {"border-width", {Property::Count, Shorthand::BorderWidth}},
      {"border-style", {Property::Count, Shorthand::BorderStyle}},
      {"border-color", {Property::Count, Shorthand::BorderColor}},
      {"border", {Property::Count, Shorthand::Border}},
      {"border-top", {Property::Count, Shorthand::BorderTop}},
      {"border-right", {Property::Count, Shorthand::BorderRight}},
      {"border-bottom", {Property::Count, Shorthand::BorderBottom}},
      {"border-left", {Property::Count, Shorthand::BorderLeft}},
      {"background", {Property::Count, Shorthand::Background}},
      {"font", {Property::Count, Shorthand::Font}},
      {"list-style", {Property::Count, Shorthand::ListStyle}},
      {"overflow", {Property::Count, Shorthand::Overflow}},
      {"text-decoration", {Property::Count, Shorthand::TextDecoration}},
    };
    for (size_t i = 0; i < kPropertyCount; ++i) {
      auto longhand = static_cast<Property>(i);
      map->emplace(NameOf(longhand), PropertyName{longhand});
    }
    return map;
  }();
  return *names;
}

// The longhands a shorthand sets, for "inherit" and its kin.
std::vector<Property> LonghandsOf(Shorthand shorthand) {
  auto sides = [](Property top) {
    return std::vector<Property>{top, SideOf(top, 1), SideOf(top, 2), SideOf(top, 3)};
  };
  auto borderSide = [](int side) {
    return std::vector<Property>{SideOf(Property::BorderTopWidth, side),
                                 SideOf(Property::BorderTopStyle, side),
                                 SideOf(Property::BorderTopColor, side)};
  };
  switch (shorthand) {
    case Shorthand::Margin:
      return sides(Property::MarginTop);
    case Shorthand::Padding:
      return sides(Property::PaddingTop);
    case Shorthand::Inset:
      return sides(Property::Top);
    case Shorthand::BorderWidth:
      return sides(Property::BorderTopWidth);
    case Shorthand::BorderStyle:
      return sides(Property::BorderTopStyle);
    case Shorthand::BorderColor:
      return sides(Property::BorderTopColor);
    case Shorthand::Border: {
      std::vector<Property> all;
      for (int side = 0; side < 4; ++side) {
        for (Property p : borderSide(side)) all.push_back(p);
      }
      return all;
    }
    case Shorthand::BorderTop:
      return borderSide(kTop);
    case Shorthand::BorderRight:
      return borderSide(kRight);
    case Shorthand::BorderBottom:
      return borderSide(kBottom);
    case Shorthand::BorderLeft:
      return borderSide(kLeft);
    case Shorthand::Background:
      return {Property::BackgroundColor};
    case Shorthand::Font:
      return {Property::FontStyle, Property::FontWeight, Property::FontSize, Property::LineHeight,
              Property::FontFamily};
    case Shorthand::ListStyle:
      return {Property::ListStyleType, Property::ListStylePosition};
    case Shorthand::Overflow:
      return {Property::OverflowX, Property::OverflowY};
    case Shorthand::TextDecoration:
      return {Property::TextDecorationLine, Property::TextDecorationColor};
    case Shorthand::None:
      break;
  }
  return {};
}

// The one to four values of a box shorthand ("margin: 1px 2px") for top, right, bottom, left.
bool ExpandBox(Property top, const Parts& parts, bool important, DeclarationBlock& out) {
  if (parts.empty() || parts.size() > 4) return false;
  std::optional<Value> values[4];
  for (size_t i = 0; i < parts.size(); ++i) {
    values[i] = LonghandValue(top, parts[i], {parts[i]});
    if (!values[i]) return false;
  }
  static constexpr size_t kPick[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
  for (int side = 0; side < 4; ++side)
    out.push_back({SideOf(top, side), important, *values[kPick[parts.size() - 1][side]]});
  return true;
}

// "border: 1px solid red" and its sides: width, style and colour in any order; what is left
// out is reset (medium, none, currentColor).
bool ExpandBorder(const Parts& parts, std::initializer_list<int> sides, bool important,
                  DeclarationBlock& out) {
  if (parts.empty() || parts.size() > 3) return false;
  std::optional<Value> width, style, color;
  for (std::string_view part : parts) {
    if (!width && (width = BorderWidthOf(part))) continue;
    if (!style && (style = BorderStyleOf(part))) continue;
    if (!color && (color = ColorOf(part))) continue;
    return false;
  }
  for (int side : sides) {
    out.push_back({SideOf(Property::BorderTopWidth, side), important, width.value_or(Value::Px(3))});
    out.push_back({SideOf(Property::BorderTopStyle, side), important,
                   style.value_or(Value::Keyword(BorderStyle::None))});
    out.push_back(
        {SideOf(Property::BorderTopColor, side), important, color.value_or(Value{ValueType::CurrentColor})});
  }
  return true;
}

// Only the colour of the background is ours; images, positions and sizes are read past.
bool ExpandBackground(const Parts& parts, bool important, DeclarationBlock& out) {
  std::optional<Value> color;
  size_t lastLayer = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == ",") lastLayer = i + 1;
  }
  for (size_t i = lastLayer; i < parts.size(); ++i) {
    if (auto c = ColorOf(parts[i])) {
      if (color) return false;
      color = c;
    }
  }
  if (parts.empty()) return false;
  out.push_back({Property::BackgroundColor, important, color.value_or(Value::Rgba(Color::Transparent()))});
  return true;
}

// "font: italic bold 12px/1.5 verdana, sans-serif": style, variant and weight in any order,
// then the size, an optional line height and the family list, which must be there.
bool ExpandFont(std::string_view value, const Parts& parts, bool important, DeclarationBlock& out) {
  Value style = Value::Keyword(uint8_t{0});
  Value weight = Value::Number(400);
  size_t i = 0;
  for (; i < parts.size(); ++i) {
    std::string_view part = parts[i];
    if (part == "normal" || part == "small-caps" || part.find("condensed") != std::string_view::npos ||
        part.find("expanded") != std::string_view::npos)
      continue;
    if (part == "italic" || part == "oblique") {
      style = Value::Keyword(uint8_t{1});
      continue;
    }
    if (part == "bold" || part == "bolder" || part == "lighter" ||
        (ParseNumber(part) && i + 1 < parts.size() && parts[i + 1] != "/")) {
      auto w = FontWeightOf(part);
      if (!w) return false;
      weight = *w;
      continue;
    }
    break;
  }
  if (i >= parts.size()) return false;
  auto size = FontSizeOf(parts[i++]);
  if (!size) return false;
  Value lineHeight = Value::Keyword(LineHeightKeyword::Normal);
  if (i < parts.size() && parts[i] == "/") {
    if (i + 1 >= parts.size()) return false;
    auto height = LineHeightOf(parts[i + 1]);
    if (!height) return false;
    lineHeight = *height;
    i += 2;
  }
  if (i >= parts.size()) return false;
  auto family = FontFamilyOf(value.substr(static_cast<size_t>(parts[i].data() - value.data())));
  if (!family) return false;
  out.push_back({Property::FontStyle, important, style});
  out.push_back({Property::FontWeight, important, weight});
  out.push_back({Property::FontSize, important, *size});
  out.push_back({Property::LineHeight, important, lineHeight});
  out.push_back({Property::FontFamily, important, std::move(*family)});
  return true;
}

bool ExpandListStyle(const Parts& parts, bool important, DeclarationBlock& out) {
  if (parts.empty() || parts.size() > 3) return false;
  std::optional<Value> type, position;
  int nones = 0;
  bool image = false;
  for (std::string_view part : parts) {
    if (part == "none") {
      ++nones;  // the type's or the image's, decided below
      continue;
    }
    if (!type && (type = ListStyleTypeOf(part))) continue;
    if (!position && (position = ListStylePositionOf(part))) continue;
    if (image || !part.starts_with("url(")) return false;
    image = true;
  }
  if (nones > (type ? 0 : 1) + (image ? 0 : 1)) return false;
  if (!type && nones > 0) type = Value::Keyword(ListStyleType::None);
  out.push_back({Property::ListStyleType, important, type.value_or(Value::Keyword(ListStyleType::Disc))});
  out.push_back({Property::ListStylePosition, important,
                 position.value_or(Value::Keyword(ListStylePosition::Outside))});
  return true;
}

bool ExpandTextDecoration(const Parts& parts, bool important, DeclarationBlock& out) {
  Parts lines;
  std::optional<Value> color;
  for (std::string_view part : parts) {
    if (part == "solid" || part == "double" || part == "dotted" || part == "dashed" || part == "wavy" ||
        part == "auto" || part == "from-font" || ParseDimension(part))
      continue;  // style and thickness: drawn as a solid line
    if (auto c = ColorOf(part)) {
      if (color) return false;
      color = c;
      continue;
    }
    lines.push_back(part);
  }
  auto line = lines.empty() ? Value::Keyword(kDecorationNone) : DecorationLineOf(lines);
  if (!line || parts.empty()) return false;
  out.push_back({Property::TextDecorationLine, important, *line});
  out.push_back({Property::TextDecorationColor, important, color.value_or(Value{ValueType::CurrentColor})});
  return true;
}

bool ExpandShorthand(Shorthand shorthand, std::string_view value, const Parts& parts, bool important,
                     DeclarationBlock& out) {
  switch (shorthand) {
    case Shorthand::Margin:
      return ExpandBox(Property::MarginTop, parts, important, out);
    case Shorthand::Padding:
      return ExpandBox(Property::PaddingTop, parts, important, out);
    case Shorthand::Inset:
      return ExpandBox(Property::Top, parts, important, out);
    case Shorthand::BorderWidth:
      return ExpandBox(Property::BorderTopWidth, parts, important, out);
    case Shorthand::BorderStyle:
      return ExpandBox(Property::BorderTopStyle, parts, important, out);
    case Shorthand::BorderColor:
      return ExpandBox(Property::BorderTopColor, parts, important, out);
    case Shorthand::Border:
      return ExpandBorder(parts, {kTop, kRight, kBottom, kLeft}, important, out);
    case Shorthand::BorderTop:
      return ExpandBorder(parts, {kTop}, important, out);
    case Shorthand::BorderRight:
      return ExpandBorder(parts, {kRight}, important, out);
    case Shorthand::BorderBottom:
      return ExpandBorder(parts, {kBottom}, important, out);
    case Shorthand::BorderLeft:
      return ExpandBorder(parts, {kLeft}, important, out);
    case Shorthand::Background:
      return ExpandBackground(parts, important, out);
    case Shorthand::Font:
      return ExpandFont(value, parts, important, out);
    case Shorthand::ListStyle:
      return ExpandListStyle(parts, important, out);
    case Shorthand::Overflow: {
      if (parts.empty() || parts.size() > 2) return false;
      auto x = OverflowOf(parts[0]);
      auto y = OverflowOf(parts.back());
      if (!x || !y) return false;
      out.push_back({Property::OverflowX, important, *x});
      out.push_back({Property::OverflowY, important, *y});
      return true;
    }
    case Shorthand::TextDecoration:
      return ExpandTextDecoration(parts, important, out);
    case Shorthand::None:
      break;
  }
  return false;
}

std::optional<ValueType> WideKeyword(const Parts& parts) {
  if (parts.size() != 1) return std::nullopt;
  if (parts[0] == "inherit") return ValueType::Inherit;
  if (parts[0] == "initial") return ValueType::Initial;
  if (parts[0] == "unset") return ValueType::Unset;
  return std::nullopt;
}

// The declaration ends at a ';' outside strings and brackets.
size_t DeclarationEnd(std::string_view text) {
  int depth = 0;
  return ScanOutsideStrings(text, 0, [&](char c) {
    if (c == '(' || c == '[' || c == '{') {
      ++depth;
    } else if (c == ')' || c == ']' || c == '}') {
      depth = depth > 0 ? depth - 1 : 0;
    } else {
      return c == ';' && depth == 0;
    }
    return false;
  });
}

// A value with var() in it: every longhand it sets waits, as written, for the element's custom
// properties. Only the var() syntax is checked here; the rest once substituted.
bool ParsePending(const PropertyName& name, std::string_view property, std::string_view value, bool important,
                  DeclarationBlock& out) {
  std::string lower = Lower(value);
  for (size_t at = lower.find("var("); at != std::string::npos; at = lower.find("var(", at + 4)) {
    std::string_view rest = Trim(std::string_view(lower).substr(at + 4));
    if (!rest.starts_with("--")) return false;
  }
  Value pending(ValueType::Pending);
  pending.unparsed =
      std::make_shared<const UnparsedValue>(UnparsedValue{std::string(property), std::string(value)});
  std::vector<Property> longhands =
      name.shorthand == Shorthand::None ? std::vector<Property>{name.longhand} : LonghandsOf(name.shorthand);
  for (Property p : longhands) out.push_back({p, important, pending});
  return true;
}

// "--name: anything": kept as written (case too) for var() to substitute; "--x: inherit" and
// its kin are the wide keywords still.
bool ParseCustomProperty(std::string_view name, std::string_view value, bool important,
                         DeclarationBlock& out) {
  if (name.size() <= 2) return false;
  Value custom(ValueType::Custom);
  std::string lower = Lower(Trim(value));
  if (auto wide = WideKeyword({lower})) custom.type = *wide;
  custom.unparsed =
      std::make_shared<const UnparsedValue>(UnparsedValue{std::string(name), std::string(Trim(value))});
  out.push_back({kCustomProperty, important, std::move(custom)});
  return true;
}

bool IsPropertyName(std::string_view name) {
  if (name.empty()) return false;
  if (name.starts_with("--")) {
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return IsSpace(c) || c == ':' || c == ';' || c == '{' || c == '}'; });
  }
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) return false;
  }
  return true;
}

}  // namespace

bool ParseDeclaration(std::string_view property, std::string_view value, bool important,
                      DeclarationBlock& out) {
  if (property.starts_with("--")) return ParseCustomProperty(property, value, important, out);
  const auto& names = PropertyNames();
  auto it = names.find(property);
  if (it == names.end()) return false;
  std::string lower = Lower(Trim(value));
  Parts parts = SplitComponents(lower);
  if (parts.empty()) return false;
  if (auto wide = WideKeyword(parts)) {
    std::vector<Property> longhands = it->second.shorthand == Shorthand::None
                                          ? std::vector<Property>{it->second.longhand}
                                          : LonghandsOf(it->second.shorthand);
    for (Property p : longhands) out.push_back({p, important, Value{*wide}});
    return true;
  }
  if (lower.find("var(") != std::string::npos)
    return ParsePending(it->second, property, Trim(value), important, out);
  for (std::string_view part : parts) {
    if (part.find("env(") != std::string_view::npos) return false;  // the environment is not ours
  }
  if (it->second.shorthand != Shorthand::None) {
    size_t before = out.size();
    if (ExpandShorthand(it->second.shorthand, lower, parts, important, out)) return true;
    out.resize(before);
    return false;
  }
  auto parsed = LonghandValue(it->second.longhand, lower, parts);
  if (!parsed) return false;
  out.push_back({it->second.longhand, important, std::move(*parsed)});
  return true;
}

void ParseDeclarations(std::string_view text, DeclarationBlock& out) {
  std::string stripped;
  if (text.find("/*") != std::string_view::npos) {
    stripped = StripComments(text);
    text = stripped;
  }
  while (!text.empty()) {
    size_t end = DeclarationEnd(text);
    std::string_view declaration = text.substr(0, end);
    text.remove_prefix(end < text.size() ? end + 1 : end);
    size_t colon = declaration.find(':');
    if (colon == std::string_view::npos) continue;
    std::string property(Trim(declaration.substr(0, colon)));
    if (!property.starts_with("--")) property = Lower(property);  // custom names keep their case
    if (!IsPropertyName(property)) continue;
    std::string_view value = Trim(declaration.substr(colon + 1));
    bool important = false;
    if (size_t bang = value.rfind('!'); bang != std::string_view::npos) {
      if (Lower(Trim(value.substr(bang + 1))) == "important") {
        important = true;
        value = Trim(value.substr(0, bang));
      }
    }
    ParseDeclaration(property, value, important, out);
  }
}

DeclarationBlock ParseDeclarations(std::string_view text) {
  DeclarationBlock block;
  ParseDeclarations(text, block);
  return block;
}

}  // namespace lectryn::engine::css
