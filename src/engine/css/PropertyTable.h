#pragma once
// Every longhand we compute, in one table: its name, whether it inherits, the grammar its
// value is parsed with, how a declared value becomes its computed value, and where that value
// lives in ComputedStyle. The property enum, the name lookup, the parse dispatch, inheritance,
// copying and applying are all generated from it, so a property cannot be half added: a grammar
// or a computation without its function does not compile.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/css/ComputedStyle.h"

namespace lectryn::engine::css {

// Where a property's computed value lives: one or more members of ComputedStyle.
template <auto... Members>
struct Field {
  static void Copy(const ComputedStyle& from, ComputedStyle& to) { ((to.*Members = from.*Members), ...); }
};
template <auto Member>
struct Field<Member> {
  static void Copy(const ComputedStyle& from, ComputedStyle& to) { to.*Member = from.*Member; }
  static auto& Of(ComputedStyle& style) { return style.*Member; }
};
// One side (kTop, kRight, kBottom, kLeft) of a per-side member.
template <auto Member, int kSide>
struct SideField {
  static void Copy(const ComputedStyle& from, ComputedStyle& to) {
    (to.*Member)[kSide] = (from.*Member)[kSide];
  }
  static auto& Of(ComputedStyle& style) { return (style.*Member)[kSide]; }
};
// A value the builder keeps outside ComputedStyle until it adjusts the style.
struct NoField {
  static void Copy(const ComputedStyle&, ComputedStyle&) {}
};

// X(Id, name, Inheritance, Grammar, Computation, Field): Grammar names the parser
// (Parse<Grammar> in Declaration.cpp), Computation the step that stores the computed value
// (Set<Computation> in StyleBuilder.cpp).
// clang-format off
// The four longhands of a per-side property, consecutive in the order top, right, bottom, left,
// so that `SideOf(Property::MarginTop, kLeft)` is margin-left.
#define LECTRYN_CSS_SIDES(X, before, after, name, nameAfter, inheritance, grammar, computation, member) \
  X(before##Top##after, name "top" nameAfter, inheritance, grammar, computation, SideField<&ComputedStyle::member, kTop>) \
  X(before##Right##after, name "right" nameAfter, inheritance, grammar, computation, SideField<&ComputedStyle::member, kRight>) \
  X(before##Bottom##after, name "bottom" nameAfter, inheritance, grammar, computation, SideField<&ComputedStyle::member, kBottom>) \
  X(before##Left##after, name "left" nameAfter, inheritance, grammar, computation, SideField<&ComputedStyle::member, kLeft>)
#define LECTRYN_CSS_PROPERTIES(X) \
  X(Display, "display", Reset, Display, Keyword, Field<&ComputedStyle::display>) \
  X(Visibility, "visibility", Inherited, Visibility, Keyword, Field<&ComputedStyle::visibility>) \
  X(WhiteSpace, "white-space", Inherited, WhiteSpace, Keyword, Field<&ComputedStyle::whiteSpace>) \
  LECTRYN_CSS_SIDES(X, Margin, , "margin-", "", Reset, Margin, Length, margin) \
  LECTRYN_CSS_SIDES(X, Padding, , "padding-", "", Reset, Padding, Length, padding) \
  LECTRYN_CSS_SIDES(X, Border, Width, "border-", "-width", Reset, BorderWidth, Pixels, borderWidth) \
  LECTRYN_CSS_SIDES(X, Border, Style, "border-", "-style", Reset, BorderStyle, Keyword, borderStyle) \
  LECTRYN_CSS_SIDES(X, Border, Color, "border-", "-color", Reset, Color, Color, borderColor) \
  LECTRYN_CSS_SIDES(X, , , "", "", Reset, Inset, Length, inset) \
  X(Width, "width", Reset, Size, Length, Field<&ComputedStyle::width>) \
  X(Height, "height", Reset, Size, Length, Field<&ComputedStyle::height>) \
  X(MinWidth, "min-width", Reset, MinSize, Length, Field<&ComputedStyle::minWidth>) \
  X(MinHeight, "min-height", Reset, MinSize, Length, Field<&ComputedStyle::minHeight>) \
  X(MaxWidth, "max-width", Reset, MaxSize, Length, Field<&ComputedStyle::maxWidth>) \
  X(MaxHeight, "max-height", Reset, MaxSize, Length, Field<&ComputedStyle::maxHeight>) \
  X(BoxSizing, "box-sizing", Reset, BoxSizing, Keyword, Field<&ComputedStyle::boxSizing>) \
  X(Float, "float", Reset, Float, Keyword, Field<&ComputedStyle::floating>) \
  X(Clear, "clear", Reset, Clear, Keyword, Field<&ComputedStyle::clear>) \
  X(Position, "position", Reset, Position, Keyword, Field<&ComputedStyle::position>) \
  X(OverflowX, "overflow-x", Reset, Overflow, Keyword, Field<&ComputedStyle::overflowX>) \
  X(OverflowY, "overflow-y", Reset, Overflow, Keyword, Field<&ComputedStyle::overflowY>) \
  X(Color, "color", Inherited, Color, ForegroundColor, Field<&ComputedStyle::color>) \
  X(BackgroundColor, "background-color", Reset, Color, Color, Field<&ComputedStyle::backgroundColor>) \
  X(FontFamily, "font-family", Inherited, FontFamily, FontFamily, Field<&ComputedStyle::fontFamily>) \
  X(FontSize, "font-size", Inherited, FontSize, FontSize, Field<&ComputedStyle::fontSizePx>) \
  X(FontWeight, "font-weight", Inherited, FontWeight, FontWeight, Field<&ComputedStyle::fontWeight>) \
  X(FontStyle, "font-style", Inherited, FontStyle, Keyword, Field<&ComputedStyle::italic>) \
  X(LineHeight, "line-height", Inherited, LineHeight, LineHeight, Field<&ComputedStyle::lineHeightKind, &ComputedStyle::lineHeight>) \
  X(TextAlign, "text-align", Inherited, TextAlign, Keyword, Field<&ComputedStyle::textAlign>) \
  X(TextIndent, "text-indent", Inherited, TextIndent, Length, Field<&ComputedStyle::textIndent>) \
  X(TextDecorationLine, "text-decoration-line", Reset, DecorationLine, Keyword, Field<&ComputedStyle::textDecoration>) \
  X(TextDecorationColor, "text-decoration-color", Reset, Color, DecorationColor, NoField) \
  X(TextTransform, "text-transform", Inherited, TextTransform, Keyword, Field<&ComputedStyle::textTransform>) \
  X(VerticalAlign, "vertical-align", Reset, VerticalAlign, Keyword, Field<&ComputedStyle::verticalAlign>) \
  X(ListStyleType, "list-style-type", Inherited, ListStyleType, Keyword, Field<&ComputedStyle::listStyleType>) \
  X(ListStylePosition, "list-style-position", Inherited, ListStylePosition, Keyword, Field<&ComputedStyle::listStylePosition>) \
  X(BorderSpacing, "border-spacing", Inherited, BorderSpacing, BorderSpacing, Field<&ComputedStyle::borderSpacingX, &ComputedStyle::borderSpacingY>) \
  X(BorderCollapse, "border-collapse", Inherited, BorderCollapse, Keyword, Field<&ComputedStyle::borderCollapse>) \
  X(OverflowWrap, "overflow-wrap", Inherited, OverflowWrap, Keyword, Field<&ComputedStyle::overflowWrap>) \
  X(FlexDirection, "flex-direction", Reset, FlexDirection, Keyword, Field<&ComputedStyle::flexDirection>) \
  X(FlexWrap, "flex-wrap", Reset, FlexWrap, Keyword, Field<&ComputedStyle::flexWrap>) \
  X(FlexGrow, "flex-grow", Reset, FlexFactor, Number, Field<&ComputedStyle::flexGrow>) \
  X(FlexShrink, "flex-shrink", Reset, FlexFactor, Number, Field<&ComputedStyle::flexShrink>) \
  X(FlexBasis, "flex-basis", Reset, FlexBasis, Length, Field<&ComputedStyle::flexBasis>) \
  X(JustifyContent, "justify-content", Reset, ContentAlignment, Keyword, Field<&ComputedStyle::justifyContent>) \
  X(AlignContent, "align-content", Reset, ContentAlignment, Keyword, Field<&ComputedStyle::alignContent>) \
  X(AlignItems, "align-items", Reset, ItemAlignment, Keyword, Field<&ComputedStyle::alignItems>) \
  X(AlignSelf, "align-self", Reset, SelfAlignment, Keyword, Field<&ComputedStyle::alignSelf>) \
  X(RowGap, "row-gap", Reset, Gap, Length, Field<&ComputedStyle::rowGap>) \
  X(ColumnGap, "column-gap", Reset, Gap, Length, Field<&ComputedStyle::columnGap>) \
  X(Order, "order", Reset, Integer, Number, Field<&ComputedStyle::order>) \
  X(GridTemplateColumns, "grid-template-columns", Reset, TrackList, Tracks, Field<&ComputedStyle::gridColumns>) \
  X(GridTemplateRows, "grid-template-rows", Reset, TrackList, Tracks, Field<&ComputedStyle::gridRows>) \
  X(GridTemplateAreas, "grid-template-areas", Reset, Areas, Areas, Field<&ComputedStyle::gridAreas>) \
  X(GridAutoColumns, "grid-auto-columns", Reset, TrackSize, Track, Field<&ComputedStyle::gridAutoColumns>) \
  X(GridAutoRows, "grid-auto-rows", Reset, TrackSize, Track, Field<&ComputedStyle::gridAutoRows>) \
  X(GridAutoFlow, "grid-auto-flow", Reset, AutoFlow, Keyword, Field<&ComputedStyle::gridAutoFlow>) \
  X(GridRowStart, "grid-row-start", Reset, GridLine, Line, Field<&ComputedStyle::gridRowStart>) \
  X(GridColumnStart, "grid-column-start", Reset, GridLine, Line, Field<&ComputedStyle::gridColumnStart>) \
  X(GridRowEnd, "grid-row-end", Reset, GridLine, Line, Field<&ComputedStyle::gridRowEnd>) \
  X(GridColumnEnd, "grid-column-end", Reset, GridLine, Line, Field<&ComputedStyle::gridColumnEnd>) \
  X(JustifyItems, "justify-items", Reset, JustifyItems, Keyword, Field<&ComputedStyle::justifyItems>) \
  X(JustifySelf, "justify-self", Reset, SelfAlignment, Keyword, Field<&ComputedStyle::justifySelf>) \
  X(BorderTopLeftRadius, "border-top-left-radius", Reset, Radius, Length, SideField<&ComputedStyle::borderRadius, 0>) \
  X(BorderTopRightRadius, "border-top-right-radius", Reset, Radius, Length, SideField<&ComputedStyle::borderRadius, 1>) \
  X(BorderBottomRightRadius, "border-bottom-right-radius", Reset, Radius, Length, SideField<&ComputedStyle::borderRadius, 2>) \
  X(BorderBottomLeftRadius, "border-bottom-left-radius", Reset, Radius, Length, SideField<&ComputedStyle::borderRadius, 3>) \
  X(BoxShadow, "box-shadow", Reset, Shadow, Shadow, Field<&ComputedStyle::boxShadow>)
// clang-format on

enum class Property : uint8_t {
#define LECTRYN_CSS_ENUM(id, ...) id,
  LECTRYN_CSS_PROPERTIES(LECTRYN_CSS_ENUM)
#undef LECTRYN_CSS_ENUM
  Count
};
inline constexpr size_t kPropertyCount = static_cast<size_t>(Property::Count);

enum class Inheritance : uint8_t { Reset, Inherited };

namespace detail {
inline constexpr std::string_view kPropertyNames[] = {
#define LECTRYN_CSS_NAME(id, name, ...) name,
    LECTRYN_CSS_PROPERTIES(LECTRYN_CSS_NAME)
#undef LECTRYN_CSS_NAME
};
inline constexpr Inheritance kInheritance[] = {
#define LECTRYN_CSS_INHERITANCE(id, name, inheritance, ...) Inheritance::inheritance,
    LECTRYN_CSS_PROPERTIES(LECTRYN_CSS_INHERITANCE)
#undef LECTRYN_CSS_INHERITANCE
};
}  // namespace detail

// The longhand's own name ("margin-top"); the names of shorthands and aliases are Declaration's.
constexpr std::string_view NameOf(Property property) {
  return detail::kPropertyNames[static_cast<size_t>(property)];
}

constexpr bool IsInherited(Property property) {
  return detail::kInheritance[static_cast<size_t>(property)] == Inheritance::Inherited;
}

constexpr Property SideOf(Property top, int side) {
  return static_cast<Property>(static_cast<int>(top) + side);
}

}  // namespace lectryn::engine::css
