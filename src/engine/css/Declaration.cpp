#include "engine/css/Declaration.h"

#include <algorithm>
#include <cmath>
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
                                         {"flex", Display::Flex},
                                         {"grid", Display::Grid},
                                         {"flow-root", Display::Block},
                                         {"-webkit-flex", Display::Flex},
                                         {"-ms-flexbox", Display::Flex},
                                         {"inline-flex", Display::InlineFlex},
                                         {"-webkit-inline-flex", Display::InlineFlex},
                                         {"-ms-inline-flexbox", Display::InlineFlex},
                                         {"inline-grid", Display::InlineGrid},
                                         // The old box model of 2009 is not the flexbox of today.
                                         {"-webkit-box", Display::Block},
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
  if (inner == "flow-root") return Value::Keyword(block ? Display::Block : Display::InlineBlock);
  if (inner == "flex") return Value::Keyword(block ? Display::Flex : Display::InlineFlex);
  if (inner == "grid") return Value::Keyword(block ? Display::Grid : Display::InlineGrid);
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
  if (part == "min-content" || part == "max-content" || part == "fit-content")
    return Value::Keyword(LengthKeyword::Auto);
  return LengthOf(part, kAuto | kPercent | kNonNegative | kUnitless);
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

// Flexible boxes.
std::optional<Value> FlexDirectionOf(std::string_view part) {
  return KeywordOf<FlexDirection>(part, {{"row", FlexDirection::Row},
                                         {"row-reverse", FlexDirection::RowReverse},
                                         {"column", FlexDirection::Column},
                                         {"column-reverse", FlexDirection::ColumnReverse}});
}

std::optional<Value> FlexWrapOf(std::string_view part) {
  return KeywordOf<FlexWrap>(
      part, {{"nowrap", FlexWrap::Nowrap}, {"wrap", FlexWrap::Wrap}, {"wrap-reverse", FlexWrap::WrapReverse}});
}

std::optional<Value> FlexFactorOf(std::string_view part) {
  auto number = ParseNumber(part);
  if (!number || *number < 0) return std::nullopt;
  return Value::Number(std::min(*number, kMaxLength));
}

std::optional<Value> FlexBasisOf(std::string_view part) {
  if (part == "content") return Value::Keyword(LengthKeyword::None);
  return SizeOf(part);
}

std::optional<Value> IntegerOf(std::string_view part) {
  auto number = ParseNumber(part);
  if (!number || *number != std::floor(*number)) return std::nullopt;
  return Value::Number(std::clamp(*number, -1e9F, 1e9F));
}

std::optional<Value> GapOf(std::string_view part) {
  if (part == "normal") return Value::Px(0);
  return LengthOf(part, kPercent | kNonNegative);
}

// Box alignment: one keyword, or one after "safe", "unsafe", "first" or "last" (a last
// baseline is laid out as the first).
std::optional<Value> AlignmentOf(const Parts& parts, bool distributions, bool autoAllowed) {
  if (parts.empty() || parts.size() > 2) return std::nullopt;
  std::string_view word = parts.back();
  if (parts.size() == 2) {
    std::string_view prefix = parts[0];
    bool baseline = word == "baseline" && (prefix == "first" || prefix == "last");
    if (!baseline && prefix != "safe" && prefix != "unsafe") return std::nullopt;
    if (!baseline && (word == "baseline" || word == "normal" || word == "stretch" || word == "auto"))
      return std::nullopt;
  }
  if (word == "auto") return autoAllowed ? std::optional(Value::Keyword(Align::Auto)) : std::nullopt;
  if (!distributions &&
      (word == "space-between" || word == "space-around" || word == "space-evenly"))
    return std::nullopt;
  return KeywordOf<Align>(word, {{"normal", Align::Normal},
                                 {"stretch", Align::Stretch},
                                 {"start", Align::Start},
                                 {"flex-start", Align::Start},
                                 {"self-start", Align::Start},
                                 {"left", Align::Start},
                                 {"end", Align::End},
                                 {"flex-end", Align::End},
                                 {"self-end", Align::End},
                                 {"right", Align::End},
                                 {"center", Align::Center},
                                 {"baseline", Align::Baseline},
                                 {"space-between", Align::SpaceBetween},
                                 {"space-around", Align::SpaceAround},
                                 {"space-evenly", Align::SpaceEvenly}});
}
std::optional<Value> ContentAlignmentOf(const Parts& parts) { return AlignmentOf(parts, true, false); }
std::optional<Value> ItemAlignmentOf(const Parts& parts) { return AlignmentOf(parts, false, false); }
std::optional<Value> SelfAlignmentOf(const Parts& parts) { return AlignmentOf(parts, false, true); }

// Grids.
constexpr size_t kMaxTracks = 1000;  // a page's repeat(100000, ...) must not make a huge grid

std::optional<TrackBreadth> BreadthOf(std::string_view part, bool flexible) {
  using Kind = TrackBreadth::Kind;
  if (part == "auto") return TrackBreadth{Kind::Auto, 0};
  if (part == "min-content") return TrackBreadth{Kind::MinContent, 0};
  if (part == "max-content") return TrackBreadth{Kind::MaxContent, 0};
  if (part.ends_with("fr")) {
    auto number = ParseNumber(part.substr(0, part.size() - 2));
    if (!flexible || !number || *number < 0) return std::nullopt;
    return TrackBreadth{Kind::Fr, std::min(*number, kMaxLength)};
  }
  auto dimension = ParseDimension(part);
  if (!dimension || dimension->value < 0) return std::nullopt;
  if (dimension->unit == Unit::Percent) return TrackBreadth{Kind::Percent, dimension->value};
  return TrackBreadth{Kind::Px, dimension->value, static_cast<uint8_t>(dimension->unit)};
}

// The arguments of a function component: "minmax(10px, 1fr)" gives "10px" and "1fr".
std::optional<std::vector<std::string_view>> ArgumentsOf(std::string_view part, std::string_view function) {
  if (!part.starts_with(function) || part.size() < function.size() + 2 || part[function.size()] != '(' ||
      part.back() != ')')
    return std::nullopt;
  std::string_view inner = part.substr(function.size() + 1, part.size() - function.size() - 2);
  std::vector<std::string_view> arguments;
  int depth = 0;
  size_t from = 0;
  for (size_t i = 0; i <= inner.size(); ++i) {
    char c = i < inner.size() ? inner[i] : ',';
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) {
      arguments.push_back(Trim(inner.substr(from, i - from)));
      from = i + 1;
    }
  }
  return arguments;
}

std::optional<TrackSize> TrackSizeOfPart(std::string_view part) {
  if (auto arguments = ArgumentsOf(part, "minmax")) {
    if (arguments->size() != 2) return std::nullopt;
    auto min = BreadthOf((*arguments)[0], false);
    auto max = BreadthOf((*arguments)[1], true);
    if (!min || !max) return std::nullopt;
    return TrackSize{*min, *max};
  }
  if (auto arguments = ArgumentsOf(part, "fit-content")) {
    if (arguments->size() != 1) return std::nullopt;
    auto limit = BreadthOf((*arguments)[0], false);
    if (!limit || limit->kind == TrackBreadth::Kind::Auto || limit->kind == TrackBreadth::Kind::MinContent ||
        limit->kind == TrackBreadth::Kind::MaxContent)
      return std::nullopt;
    return TrackSize{{TrackBreadth::Kind::Auto, 0}, *limit};  // laid out as minmax(auto, limit)
  }
  auto breadth = BreadthOf(part, true);
  if (!breadth) return std::nullopt;
  // A flexible track's minimum is auto.
  if (breadth->kind == TrackBreadth::Kind::Fr) return TrackSize{{TrackBreadth::Kind::Auto, 0}, *breadth};
  return TrackSize{*breadth, *breadth};
}

// Line names in brackets are read past: areas name the lines we place by.
std::string WithoutLineNames(std::string_view value) {
  std::string out;
  int depth = 0;
  for (char c : value) {
    if (c == '[') ++depth;
    if (depth == 0) out.push_back(c);
    if (c == ']' && depth > 0) {
      --depth;
      out.push_back(' ');
    }
  }
  return out;
}

bool AddTracks(std::string_view value, GridTracks& grid, bool repeatAllowed) {
  std::string text = WithoutLineNames(value);
  for (std::string_view part : SplitComponents(text)) {
    if (auto arguments = ArgumentsOf(part, "repeat")) {
      if (!repeatAllowed || arguments->size() < 2) return false;
      std::string_view count = (*arguments)[0];
      GridTracks inner;
      std::string_view list = part.substr(0, part.size() - 1);
      list = list.substr(list.find(',') + 1);
      if (!AddTracks(list, inner, false) || inner.tracks.empty()) return false;
      if (count == "auto-fill" || count == "auto-fit") {
        if (!grid.repeat.empty()) return false;  // one automatic repetition at most
        grid.repeat = std::move(inner.tracks);
        grid.repeatAt = grid.tracks.size();
        grid.autoFit = count == "auto-fit";
        continue;
      }
      auto times = ParseNumber(count);
      if (!times || *times < 1 || *times != std::floor(*times)) return false;
      for (float i = 0; i < *times && grid.tracks.size() < kMaxTracks; ++i)
        grid.tracks.insert(grid.tracks.end(), inner.tracks.begin(), inner.tracks.end());
      continue;
    }
    auto track = TrackSizeOfPart(part);
    if (!track) return false;
    if (grid.tracks.size() < kMaxTracks) grid.tracks.push_back(*track);
  }
  return true;
}

std::optional<Value> TrackListOf(std::string_view value) {
  Value v(ValueType::Keyword);  // "none": no explicit tracks
  if (Trim(value) == "none") return v;
  GridTracks grid;
  if (!AddTracks(value, grid, true) || (grid.tracks.empty() && grid.repeat.empty())) return std::nullopt;
  v.tracks = std::make_shared<const GridTracks>(std::move(grid));
  return v;
}

std::optional<Value> TrackSizeOf(std::string_view part) {
  auto track = TrackSizeOfPart(part);
  if (!track) return std::nullopt;
  Value v(ValueType::Keyword);
  v.track = *track;
  return v;
}

// "a a b" "c c b": every name a rectangle, every row as long as the first; "." cells are empty.
std::optional<Value> AreasOf(std::string_view value) {
  Value v(ValueType::Keyword);
  if (Trim(value) == "none") return v;
  GridAreas grid;
  std::vector<std::vector<std::string>> rows;
  size_t i = 0;
  while (i < value.size()) {
    if (IsSpace(value[i])) {
      ++i;
      continue;
    }
    char quote = value[i];
    if (quote != '"' && quote != '\'') return std::nullopt;
    size_t close = value.find(quote, i + 1);
    if (close == std::string_view::npos) return std::nullopt;
    std::vector<std::string> cells;
    std::string cell;
    for (size_t c = i + 1; c <= close; ++c) {
      char ch = c < close ? value[c] : ' ';
      if (IsSpace(ch)) {
        if (!cell.empty()) cells.push_back(cell.find_first_not_of('.') == std::string::npos ? "." : cell);
        cell.clear();
      } else if (ch == '.' && !cell.empty() && cell.back() != '.') {
        cells.push_back(cell);  // "a." is two cells
        cell = ".";
      } else {
        cell.push_back(ch);
      }
    }
    if (cells.empty() || (!rows.empty() && cells.size() != rows[0].size()) || rows.size() >= kMaxTracks)
      return std::nullopt;
    rows.push_back(std::move(cells));
    i = close + 1;
  }
  if (rows.empty()) return std::nullopt;
  grid.rows = static_cast<int>(rows.size());
  grid.columns = static_cast<int>(rows[0].size());
  for (int r = 0; r < grid.rows; ++r) {
    for (int c = 0; c < grid.columns; ++c) {
      const std::string& name = rows[static_cast<size_t>(r)][static_cast<size_t>(c)];
      if (name == ".") continue;
      auto found = std::find_if(grid.areas.begin(), grid.areas.end(), [&](const GridArea& a) { return a.name == name; });
      if (found == grid.areas.end()) {
        // A new name: its rectangle runs right and down from its first cell.
        GridArea area{name, r, r + 1, c, c + 1};
        while (area.columnEnd < grid.columns && rows[static_cast<size_t>(r)][static_cast<size_t>(area.columnEnd)] == name)
          ++area.columnEnd;
        while (area.rowEnd < grid.rows && rows[static_cast<size_t>(area.rowEnd)][static_cast<size_t>(c)] == name)
          ++area.rowEnd;
        grid.areas.push_back(area);
      } else if (r < found->rowStart || r >= found->rowEnd || c < found->columnStart || c >= found->columnEnd) {
        return std::nullopt;  // not a rectangle
      }
    }
  }
  // Every cell of an area's rectangle holds its name.
  for (const GridArea& area : grid.areas) {
    for (int r = area.rowStart; r < area.rowEnd; ++r)
      for (int c = area.columnStart; c < area.columnEnd; ++c)
        if (rows[static_cast<size_t>(r)][static_cast<size_t>(c)] != area.name) return std::nullopt;
  }
  v.areas = std::make_shared<const GridAreas>(std::move(grid));
  return v;
}

bool IsIdentifier(std::string_view part) {
  if (part.empty() || (part[0] >= '0' && part[0] <= '9') || part == "auto" || part == "span") return false;
  return std::all_of(part.begin(), part.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
  });
}

std::optional<GridLine> GridLineOfParts(const Parts& parts) {
  GridLine line;
  if (parts.size() == 1 && parts[0] == "auto") return line;
  bool span = false;
  for (std::string_view part : parts) {
    if (part == "span" && !span) {
      span = true;
    } else if (auto number = ParseNumber(part); number && *number == std::floor(*number) && *number != 0 &&
                                                line.line == 0 && line.span == 0) {
      line.line = static_cast<int>(std::clamp(*number, -10000.0F, 10000.0F));
    } else if (IsIdentifier(part) && line.name.empty()) {
      line.name = part;
    } else {
      return std::nullopt;
    }
  }
  if (span) {
    if (line.line < 0) return std::nullopt;
    line.span = line.line > 0 ? line.line : 1;
    line.line = 0;
    line.name.clear();  // a span to a named line counts one track
  }
  if (parts.empty()) return std::nullopt;
  return line;
}

std::optional<Value> GridLineOf(const Parts& parts) {
  auto line = GridLineOfParts(parts);
  if (!line) return std::nullopt;
  Value v(ValueType::Keyword);
  v.line = *line;
  return v;
}

std::optional<Value> AutoFlowOf(const Parts& parts) {
  if (parts.empty() || parts.size() > 2) return std::nullopt;
  uint8_t flow = kFlowRow;
  bool direction = false, dense = false;
  for (std::string_view part : parts) {
    if ((part == "row" || part == "column") && !direction) {
      direction = true;
      if (part == "column") flow |= kFlowColumn;
    } else if (part == "dense" && !dense) {
      dense = true;
      flow |= kFlowDense;
    } else {
      return std::nullopt;
    }
  }
  return Value::Keyword(flow);
}

// justify-items: as align-items, and "legacy" with or without a side.
std::optional<Value> JustifyItemsOf(const Parts& parts) {
  Parts rest;
  for (std::string_view part : parts)
    if (part != "legacy") rest.push_back(part);
  if (rest.empty()) return parts.size() == 1 ? std::optional(Value::Keyword(Align::Normal)) : std::nullopt;
  return AlignmentOf(rest, false, false);
}

// A corner's radius: its horizontal one; an elliptical corner's vertical radius is read past.
std::optional<Value> RadiusOf(const Parts& parts) {
  if (parts.empty() || parts.size() > 2) return std::nullopt;
  auto radius = LengthOf(parts[0], kPercent | kNonNegative);
  if (!radius || (parts.size() == 2 && !LengthOf(parts[1], kPercent | kNonNegative))) return std::nullopt;
  return radius;
}

// "box-shadow: [inset] x y [blur [spread]] [colour], ...": the first shadow, or none.
std::optional<Value> ShadowOf(const Parts& parts) {
  Value v(ValueType::Keyword);
  if (parts.size() == 1 && parts[0] == "none") return v;
  std::vector<Dimension> lengths;
  std::optional<Value> color;
  bool inset = false;
  size_t shadows = 0;
  for (size_t i = 0; i <= parts.size(); ++i) {
    if (i == parts.size() || parts[i] == ",") {
      if (lengths.size() < 2 || lengths.size() > 4) return std::nullopt;
      if (lengths.size() >= 3 && lengths[2].value < 0) return std::nullopt;  // a blur is never negative
      if (shadows++ == 0) {
        for (size_t l = 0; l < lengths.size(); ++l) v.shadow[l] = lengths[l];
        v.shadowInset = inset;
        const bool given = color && color->type == ValueType::Color;
        v.type = given ? ValueType::Color : ValueType::CurrentColor;
        if (given) v.color = color->color;
      }
      lengths.clear();
      color.reset();
      inset = false;
      continue;
    }
    std::string_view part = parts[i];
    if (part == "inset" && !inset) {
      inset = true;
    } else if (auto length = ParseDimension(part); length && length->unit != Unit::Percent) {
      lengths.push_back(*length);
    } else if (auto c = ColorOf(part); c && !color) {
      color = c;
    } else {
      return std::nullopt;
    }
  }
  return v;
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
constexpr Parser ParseFlexDirection = OnePart<FlexDirectionOf>;
constexpr Parser ParseFlexWrap = OnePart<FlexWrapOf>;
constexpr Parser ParseFlexFactor = OnePart<FlexFactorOf>;
constexpr Parser ParseFlexBasis = OnePart<FlexBasisOf>;
constexpr Parser ParseContentAlignment = AllParts<ContentAlignmentOf>;
constexpr Parser ParseItemAlignment = AllParts<ItemAlignmentOf>;
constexpr Parser ParseSelfAlignment = AllParts<SelfAlignmentOf>;
constexpr Parser ParseGap = OnePart<GapOf>;
constexpr Parser ParseInteger = OnePart<IntegerOf>;
constexpr Parser ParseRadius = AllParts<RadiusOf>;
constexpr Parser ParseShadow = AllParts<ShadowOf>;
constexpr Parser ParseTrackList = WholeValue<TrackListOf>;
constexpr Parser ParseTrackSize = OnePart<TrackSizeOf>;
constexpr Parser ParseAreas = WholeValue<AreasOf>;
constexpr Parser ParseGridLine = AllParts<GridLineOf>;
constexpr Parser ParseAutoFlow = AllParts<AutoFlowOf>;
constexpr Parser ParseJustifyItems = AllParts<JustifyItemsOf>;

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
  Flex,
  FlexFlow,
  Gap,
  PlaceContent,
  PlaceItems,
  PlaceSelf,
  GridRow,
  GridColumn,
  GridArea,
  GridTemplate,
  BorderRadius,
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
      {"flex", {Property::Count, Shorthand::Flex}},
      {"flex-flow", {Property::Count, Shorthand::FlexFlow}},
      {"gap", {Property::Count, Shorthand::Gap}},
      {"grid-gap", {Property::Count, Shorthand::Gap}},
      {"grid-row-gap", {Property::RowGap}},
      {"grid-column-gap", {Property::ColumnGap}},
      {"place-content", {Property::Count, Shorthand::PlaceContent}},
      {"place-items", {Property::Count, Shorthand::PlaceItems}},
      {"place-self", {Property::Count, Shorthand::PlaceSelf}},
      {"grid-row", {Property::Count, Shorthand::GridRow}},
      {"grid-column", {Property::Count, Shorthand::GridColumn}},
      {"grid-area", {Property::Count, Shorthand::GridArea}},
      {"grid-template", {Property::Count, Shorthand::GridTemplate}},
      {"border-radius", {Property::Count, Shorthand::BorderRadius}},
      {"-webkit-border-radius", {Property::Count, Shorthand::BorderRadius}},
      {"-webkit-box-shadow", {Property::BoxShadow}},
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
    case Shorthand::Flex:
      return {Property::FlexGrow, Property::FlexShrink, Property::FlexBasis};
    case Shorthand::FlexFlow:
      return {Property::FlexDirection, Property::FlexWrap};
    case Shorthand::Gap:
      return {Property::RowGap, Property::ColumnGap};
    case Shorthand::PlaceContent:
      return {Property::AlignContent, Property::JustifyContent};
    case Shorthand::PlaceItems:
      return {Property::AlignItems, Property::JustifyItems};
    case Shorthand::PlaceSelf:
      return {Property::AlignSelf, Property::JustifySelf};
    case Shorthand::GridRow:
      return {Property::GridRowStart, Property::GridRowEnd};
    case Shorthand::GridColumn:
      return {Property::GridColumnStart, Property::GridColumnEnd};
    case Shorthand::GridArea:
      return {Property::GridRowStart, Property::GridColumnStart, Property::GridRowEnd, Property::GridColumnEnd};
    case Shorthand::GridTemplate:
      return {Property::GridTemplateRows, Property::GridTemplateColumns, Property::GridTemplateAreas};
    case Shorthand::BorderRadius:
      return {Property::BorderTopLeftRadius, Property::BorderTopRightRadius, Property::BorderBottomRightRadius,
              Property::BorderBottomLeftRadius};
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

// "flex: 1", "flex: 2 1 10%", "flex: none": the grow and shrink factors and the basis; a basis
// left out is 0% (unlike the longhand's initial auto).
bool ExpandFlex(const Parts& parts, bool important, DeclarationBlock& out) {
  if (parts.empty() || parts.size() > 3) return false;
  Value grow = Value::Number(1), shrink = Value::Number(1);
  Value basis = Value::Length({0, Unit::Percent});
  if (parts.size() == 1 && (parts[0] == "none" || parts[0] == "auto")) {
    if (parts[0] == "none") grow = shrink = Value::Number(0);
    basis = Value::Keyword(LengthKeyword::Auto);
  } else {
    // The factors stand together, the basis before or after them; a bare number is a basis
    // only when it is 0.
    std::vector<Value> factors;
    size_t i = 0;
    auto takeFactors = [&] {
      for (std::optional<Value> f; i < parts.size() && factors.size() < 2 && (f = FlexFactorOf(parts[i])); ++i)
        factors.push_back(*f);
    };
    auto takeBasis = [&] {
      if (i >= parts.size()) return;
      auto number = ParseNumber(parts[i]);
      auto length = number ? (*number == 0 ? std::optional(Value::Px(0)) : std::nullopt) : FlexBasisOf(parts[i]);
      if (!length) return;
      basis = *length;
      ++i;
    };
    if (FlexFactorOf(parts[0])) {
      takeFactors();
      takeBasis();
    } else {
      takeBasis();
      takeFactors();
    }
    if (i != parts.size()) return false;
    if (!factors.empty()) grow = factors[0];
    if (factors.size() == 2) shrink = factors[1];
  }
  out.push_back({Property::FlexGrow, important, grow});
  out.push_back({Property::FlexShrink, important, shrink});
  out.push_back({Property::FlexBasis, important, basis});
  return true;
}

bool ExpandFlexFlow(const Parts& parts, bool important, DeclarationBlock& out) {
  if (parts.empty() || parts.size() > 2) return false;
  std::optional<Value> direction, wrap;
  for (std::string_view part : parts) {
    if (!direction && (direction = FlexDirectionOf(part))) continue;
    if (!wrap && (wrap = FlexWrapOf(part))) continue;
    return false;
  }
  out.push_back({Property::FlexDirection, important, direction.value_or(Value::Keyword(FlexDirection::Row))});
  out.push_back({Property::FlexWrap, important, wrap.value_or(Value::Keyword(FlexWrap::Nowrap))});
  return true;
}

// Two-value shorthands whose second value defaults to the first: gap (row, column) and the
// place-* pairs (align, justify). The justify side of place-items and place-self is grid's.
bool ExpandPair(const Parts& parts, Property first, Property second, std::optional<Value> (*of)(const Parts&),
                bool important, DeclarationBlock& out) {
  // Alignment words may come in pairs of their own ("safe center"): split where both halves read.
  for (size_t split = 1; split <= parts.size(); ++split) {
    Parts head(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(split));
    Parts tail(parts.begin() + static_cast<std::ptrdiff_t>(split), parts.end());
    auto a = of(head);
    auto b = tail.empty() ? a : of(tail);
    if (!a || !b) continue;
    out.push_back({first, important, *a});
    if (second != Property::Count) out.push_back({second, important, *b});
    return true;
  }
  return false;
}

std::optional<Value> GapOfParts(const Parts& parts) {
  return parts.size() == 1 ? GapOf(parts[0]) : std::nullopt;
}

// "grid-area: a / b / c / d" and the two-line forms: lines left out are auto, or the first
// line's area name when that was a name.
bool ExpandGridLines(const Parts& parts, const std::vector<Property>& longhands, bool important,
                     DeclarationBlock& out) {
  std::vector<Parts> groups(1);
  for (std::string_view part : parts) {
    if (part == "/")
      groups.emplace_back();
    else
      groups.back().push_back(part);
  }
  if (groups.size() > longhands.size()) return false;
  std::vector<GridLine> lines;
  for (const Parts& group : groups) {
    auto line = GridLineOfParts(group);
    if (!line) return false;
    lines.push_back(*line);
  }
  // A line left out repeats the one it pairs with when that is an area's name, else it is auto:
  // the end repeats the start; in grid-area the column start the row start, the column end the
  // column start.
  static constexpr size_t kFrom[4] = {0, 0, 0, 1};
  for (size_t i = lines.size(); i < longhands.size(); ++i) {
    const GridLine& from = lines[kFrom[i]];
    lines.push_back(!from.name.empty() && from.line == 0 && from.span == 0 ? GridLine{0, 0, from.name} : GridLine{});
  }
  for (size_t i = 0; i < longhands.size(); ++i) {
    Value v(ValueType::Keyword);
    v.line = lines[i];
    out.push_back({longhands[i], important, v});
  }
  return true;
}

// "grid-template: rows / columns" or "none"; the areas' string form is read with its rows as auto.
bool ExpandGridTemplate(std::string_view value, bool important, DeclarationBlock& out) {
  value = Trim(value);
  Value none(ValueType::Keyword);
  if (value == "none") {
    out.push_back({Property::GridTemplateRows, important, none});
    out.push_back({Property::GridTemplateColumns, important, none});
    out.push_back({Property::GridTemplateAreas, important, none});
    return true;
  }
  size_t slash = value.find('/');
  std::string_view rows = Trim(value.substr(0, slash));
  std::string_view columns = slash == std::string_view::npos ? std::string_view() : Trim(value.substr(slash + 1));
  std::optional<Value> areas = none;
  std::optional<Value> rowTracks;
  if (!rows.empty() && (rows[0] == '"' || rows[0] == '\'')) {
    areas = AreasOf(rows);
    if (!areas) return false;
    Value autoRows(ValueType::Keyword);
    GridTracks tracks;
    tracks.tracks.assign(static_cast<size_t>(areas->areas->rows), TrackSize{});
    autoRows.tracks = std::make_shared<const GridTracks>(std::move(tracks));
    rowTracks = autoRows;
  } else {
    rowTracks = TrackListOf(rows);
  }
  auto columnTracks = columns.empty() ? std::optional(none) : TrackListOf(columns);
  if (!rowTracks || !columnTracks || (slash == std::string_view::npos && !areas->areas)) return false;
  out.push_back({Property::GridTemplateRows, important, *rowTracks});
  out.push_back({Property::GridTemplateColumns, important, *columnTracks});
  out.push_back({Property::GridTemplateAreas, important, *areas});
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
    case Shorthand::Flex:
      return ExpandFlex(parts, important, out);
    case Shorthand::FlexFlow:
      return ExpandFlexFlow(parts, important, out);
    case Shorthand::Gap:
      return ExpandPair(parts, Property::RowGap, Property::ColumnGap, GapOfParts, important, out);
    case Shorthand::PlaceContent:
      return ExpandPair(parts, Property::AlignContent, Property::JustifyContent, ContentAlignmentOf, important,
                        out);
    case Shorthand::PlaceItems:
      return ExpandPair(parts, Property::AlignItems, Property::JustifyItems, ItemAlignmentOf, important, out);
    case Shorthand::PlaceSelf:
      return ExpandPair(parts, Property::AlignSelf, Property::JustifySelf, SelfAlignmentOf, important, out);
    case Shorthand::GridRow:
      return ExpandGridLines(parts, {Property::GridRowStart, Property::GridRowEnd}, important, out);
    case Shorthand::GridColumn:
      return ExpandGridLines(parts, {Property::GridColumnStart, Property::GridColumnEnd}, important, out);
    case Shorthand::GridArea:
      return ExpandGridLines(parts,
                             {Property::GridRowStart, Property::GridColumnStart, Property::GridRowEnd,
                              Property::GridColumnEnd},
                             important, out);
    case Shorthand::GridTemplate:
      return ExpandGridTemplate(value, important, out);
    case Shorthand::BorderRadius: {
      // The horizontal radii, before any "/".
      Parts horizontal(parts.begin(), std::find(parts.begin(), parts.end(), std::string_view("/")));
      for (std::string_view part : parts)
        if (part != "/" && !LengthOf(part, kPercent | kNonNegative)) return false;
      return ExpandBox(Property::BorderTopLeftRadius, horizontal, important, out);
    }
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
