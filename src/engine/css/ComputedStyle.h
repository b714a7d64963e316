#pragma once
// The computed style of a node: every value the text model, layout and painting read, resolved to
// CSS pixels where that does not need the containing block (em, rem, pt, keywords); percentages
// and auto stay as such for layout to resolve.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lectryn::engine::css {

enum class Display : int8_t {
  Unset = -1,
  None,
  Inline,
  Block,
  ListItem,
  InlineBlock,
  Table,
  TableRow,
  TableCell,
  Other,
  // Table parts and captions.
  InlineTable,
  TableRowGroup,
  TableHeaderGroup,
  TableFooterGroup,
  TableColumn,
  TableColumnGroup,
  TableCaption,
  Flex,
  InlineFlex,
  Grid,
  InlineGrid,
};

constexpr bool IsFlex(Display display) { return display == Display::Flex || display == Display::InlineFlex; }
constexpr bool IsGrid(Display display) { return display == Display::Grid || display == Display::InlineGrid; }
enum class Visibility : int8_t { Unset = -1, Visible, Hidden };
enum class WhiteSpace : int8_t { Unset = -1, Normal, Nowrap, Pre, PreWrap, PreLine };

// A length that mixes percentages with min(), max() or clamp() ("min(50%, 300px)"): a small tree
// kept until layout knows what the percentages are of. Leaves are px + percent.
struct LengthExpr {
  enum class Op : uint8_t { Leaf, Sum, Scale, Min, Max, Clamp };  // Clamp: args min, value, max
  Op op = Op::Leaf;
  float px = 0;       // Leaf: pixels; Scale: the factor
  float percent = 0;  // Leaf
  std::vector<LengthExpr> args;

  float Resolve(float base) const;
  bool operator==(const LengthExpr&) const = default;
};

// Calc: px + percent of the base, or `expr` when min/max/clamp need the base to pick.
enum class LengthUnit : uint8_t { Auto, Px, Percent, None, Calc };  // None: "none" of max-width/max-height
struct Length {
  LengthUnit unit = LengthUnit::Auto;
  float value = 0;    // pixels or percent
  float percent = 0;  // Calc: the percentage added to `value` pixels
  std::shared_ptr<const LengthExpr> expr;  // Calc with min/max/clamp over percentages

  Length() = default;
  Length(LengthUnit lengthUnit, float amount, float percentage = 0,
         std::shared_ptr<const LengthExpr> tree = {})
      : unit(lengthUnit), value(amount), percent(percentage), expr(std::move(tree)) {}
  static Length Px(float pixels) { return {LengthUnit::Px, pixels}; }
  static Length Percent(float percent) { return {LengthUnit::Percent, percent}; }
  bool IsAuto() const { return unit == LengthUnit::Auto; }
  bool IsNone() const { return unit == LengthUnit::None; }
  // Whether the pixels depend on the base (a percentage, or calc() with one).
  bool NeedsBase() const {
    return unit == LengthUnit::Percent || (unit == LengthUnit::Calc && (percent != 0 || expr));
  }
  // Pixels against a base (the containing block's width for widths, margins and paddings);
  // `otherwise` for auto and none.
  float Resolve(float base, float otherwise = 0) const {
    switch (unit) {
      case LengthUnit::Px: return value;
      case LengthUnit::Percent: return base * value / 100.0F;
      case LengthUnit::Calc: return expr ? expr->Resolve(base) : value + base * percent / 100.0F;
      default: return otherwise;
    }
  }
  // Pixels where the base may be unknown (a height against an auto height): nothing for auto,
  // none, and lengths that need the missing base.
  std::optional<float> ResolveIfKnown(std::optional<float> base) const {
    if (unit == LengthUnit::Auto || unit == LengthUnit::None || (NeedsBase() && !base)) return std::nullopt;
    return Resolve(base.value_or(0));
  }
  bool operator==(const Length& other) const {
    return unit == other.unit && value == other.value && percent == other.percent &&
           (expr == other.expr || (expr && other.expr && *expr == *other.expr));
  }
};

inline float LengthExpr::Resolve(float base) const {
  switch (op) {
    case Op::Leaf: return px + base * percent / 100.0F;
    case Op::Sum: {
      float sum = 0;
      for (const LengthExpr& arg : args) sum += arg.Resolve(base);
      return sum;
    }
    case Op::Scale: return args.empty() ? 0 : px * args[0].Resolve(base);
    case Op::Min:
    case Op::Max: {
      float result = args.empty() ? 0 : args[0].Resolve(base);
      for (size_t i = 1; i < args.size(); ++i) {
        float next = args[i].Resolve(base);
        result = op == Op::Min ? std::min(result, next) : std::max(result, next);
      }
      return result;
    }
    case Op::Clamp:
      if (args.size() != 3) return 0;
      // The minimum wins over the maximum.
      return std::max(args[0].Resolve(base), std::min(args[1].Resolve(base), args[2].Resolve(base)));
  }
  return 0;
}

struct Color {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  static Color Transparent() { return {0, 0, 0, 0}; }
  bool IsTransparent() const { return a == 0; }
  bool operator==(const Color&) const = default;
};

enum class BorderStyle : uint8_t { None, Hidden, Solid, Dashed, Dotted, Double, Groove, Ridge, Inset, Outset };
enum class Float : uint8_t { None, Left, Right };
enum class Clear : uint8_t { None, Left, Right, Both };
enum class Position : uint8_t { Static, Relative, Absolute, Fixed };
enum class Overflow : uint8_t { Visible, Hidden, Auto, Scroll };
enum class BoxSizing : uint8_t { ContentBox, BorderBox };
enum class TextAlign : uint8_t { Left, Right, Center, Justify };
enum class TextTransform : uint8_t { None, Uppercase, Lowercase, Capitalize };
enum class VerticalAlign : uint8_t { Baseline, Sub, Super, Top, Middle, Bottom, TextTop, TextBottom };
enum class ListStyleType : uint8_t { Disc, Circle, Square, Decimal, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman, None };
enum class ListStylePosition : uint8_t { Outside, Inside };
enum class LineHeightKind : uint8_t { Normal, Number, Px };
enum class OverflowWrap : uint8_t { Normal, BreakWord, Anywhere };  // where a word wider than the line may break
enum class FlexDirection : uint8_t { Row, RowReverse, Column, ColumnReverse };
enum class FlexWrap : uint8_t { Nowrap, Wrap, WrapReverse };
// The keywords of justify-content and the align-* properties; flex-start, self-start and left
// are Start, their ends End.
enum class Align : uint8_t {
  Auto,
  Normal,
  Stretch,
  Start,
  End,
  Center,
  Baseline,
  SpaceBetween,
  SpaceAround,
  SpaceEvenly
};
// A grid track's breadth: a length, a percentage, a share of the free space (fr) or one sized by
// its items' content.
struct TrackBreadth {
  enum class Kind : uint8_t { Px, Percent, Fr, Auto, MinContent, MaxContent };
  Kind kind = Kind::Auto;
  float value = 0;
  uint8_t unit = 0;  // of a length as declared (css::Unit); 0, pixels, once computed
  bool operator==(const TrackBreadth&) const = default;
};
struct TrackSize {  // minmax(min, max); a single breadth is both
  TrackBreadth min, max;
  bool operator==(const TrackSize&) const = default;
};
// grid-template-columns or -rows: the tracks, with a repeat(auto-fill | auto-fit, ...) standing
// at `repeatAt` whose count the container's size decides.
struct GridTracks {
  std::vector<TrackSize> tracks;
  std::vector<TrackSize> repeat;
  size_t repeatAt = 0;
  bool autoFit = false;
};
// grid-template-areas: each named area's rectangle, lines counted from 0.
struct GridArea {
  std::string name;
  int rowStart = 0, rowEnd = 0, columnStart = 0, columnEnd = 0;
};
struct GridAreas {
  int rows = 0, columns = 0;
  std::vector<GridArea> areas;
};
// grid-row-start and its kin: auto, a line number (negative: from the end), a span, or an
// area's name.
struct GridLine {
  int line = 0;  // 0: none given
  int span = 0;  // 0: no span
  std::string name;
  bool IsAuto() const { return line == 0 && span == 0 && name.empty(); }
  bool operator==(const GridLine&) const = default;
};
enum GridAutoFlow : uint8_t { kFlowRow = 0, kFlowColumn = 1, kFlowDense = 2 };

// The first of an element's box shadows; spread and blur in pixels.
struct BoxShadow {
  bool present = false;
  bool inset = false;
  float x = 0, y = 0, blur = 0, spread = 0;
  Color color{0, 0, 0, 255};
  bool operator==(const BoxShadow&) const = default;
};

enum TextDecoration : uint8_t { kDecorationNone = 0, kUnderline = 1, kOverline = 2, kLineThrough = 4 };

// Sides in the order top, right, bottom, left.
enum Side : uint8_t { kTop = 0, kRight = 1, kBottom = 2, kLeft = 3 };

struct ComputedStyle {
  // Read by the text model.
  Display display = Display::Inline;  // never Unset
  Visibility visibility = Visibility::Visible;
  WhiteSpace whiteSpace = WhiteSpace::Normal;

  // Box.
  std::array<Length, 4> margin{Length::Px(0), Length::Px(0), Length::Px(0), Length::Px(0)};
  std::array<Length, 4> padding{Length::Px(0), Length::Px(0), Length::Px(0), Length::Px(0)};
  std::array<float, 4> borderWidth{};  // pixels; 0 where the side's style is none or hidden
  std::array<BorderStyle, 4> borderStyle{};
  std::array<Color, 4> borderColor{};  // currentColor already resolved
  std::array<Length, 4> borderRadius{Length::Px(0), Length::Px(0), Length::Px(0), Length::Px(0)};  // top-left, clockwise
  BoxShadow boxShadow;
  Length width, height;                // auto by default
  Length minWidth, minHeight;  // auto: 0, except for flex items (their content's minimum)
  Length maxWidth{LengthUnit::None, 0}, maxHeight{LengthUnit::None, 0};
  BoxSizing boxSizing = BoxSizing::ContentBox;
  Float floating = Float::None;
  Clear clear = Clear::None;
  Position position = Position::Static;
  std::array<Length, 4> inset{};  // top, right, bottom, left of positioned boxes
  Overflow overflowX = Overflow::Visible, overflowY = Overflow::Visible;

  // Colours and text.
  Color color{0, 0, 0, 255};
  Color backgroundColor = Color::Transparent();
  std::string fontFamily;  // the declared list, lower case, as written: "verdana, arial, sans-serif"; empty: the default (serif)
  float fontSizePx = 16;
  uint16_t fontWeight = 400;
  bool italic = false;
  LineHeightKind lineHeightKind = LineHeightKind::Normal;
  float lineHeight = 0;  // a number (times the font size) or pixels, by lineHeightKind
  TextAlign textAlign = TextAlign::Left;
  Length textIndent = Length::Px(0);
  uint8_t textDecoration = kDecorationNone;  // this box's own lines (TextDecoration bits)
  uint8_t decorationsInEffect = kDecorationNone;  // with those its ancestors propagate to its text
  Color decorationColor{0, 0, 0, 255};  // the colour of the box that set the nearest decoration
  TextTransform textTransform = TextTransform::None;
  OverflowWrap overflowWrap = OverflowWrap::Normal;  // inherited
  VerticalAlign verticalAlign = VerticalAlign::Baseline;
  ListStyleType listStyleType = ListStyleType::Disc;
  ListStylePosition listStylePosition = ListStylePosition::Outside;

  // Flex containers and their items.
  FlexDirection flexDirection = FlexDirection::Row;
  FlexWrap flexWrap = FlexWrap::Nowrap;
  float flexGrow = 0, flexShrink = 1;
  Length flexBasis;  // auto; None stands for "content"
  Align justifyContent = Align::Normal, alignItems = Align::Normal, alignSelf = Align::Auto;
  Align alignContent = Align::Normal;
  Length rowGap = Length::Px(0), columnGap = Length::Px(0);
  int32_t order = 0;

  // Grid containers and their items.
  std::shared_ptr<const GridTracks> gridColumns, gridRows;  // none: no explicit tracks
  std::shared_ptr<const GridAreas> gridAreas;
  TrackSize gridAutoColumns, gridAutoRows;
  uint8_t gridAutoFlow = kFlowRow;
  GridLine gridRowStart, gridColumnStart, gridRowEnd, gridColumnEnd;
  Align justifyItems = Align::Normal, justifySelf = Align::Auto;

  // Tables: the spacing between cells (border-spacing or the table's cellspacing attribute).
  float borderSpacingX = 0, borderSpacingY = 0;
  bool borderCollapse = false;

  bool operator==(const ComputedStyle&) const = default;
};

}  // namespace lectryn::engine::css
