#include "engine/css/StyleBuilder.h"

#include <algorithm>
#include <type_traits>

#include "engine/css/Calc.h"
#include "engine/css/Values.h"

namespace lectryn::engine::css {
namespace {

// Browsers refuse larger fonts; layout would only overflow.
constexpr float kMaxFontSizePx = 10000;
constexpr float kFontSizeStep = 1.2F;  // smaller and larger
constexpr float kMonospaceScale = 13.0F / 16.0F;

const ComputedStyle& Initial() {
  static const ComputedStyle initial;
  return initial;
}

// Every inherited property's value from the parent.
void CopyInherited(const ComputedStyle& from, ComputedStyle& to) {
#define LECTRYN_CSS_INHERIT(id, name, inheritance, grammar, computation, ...) \
  if constexpr (Inheritance::inheritance == Inheritance::Inherited) __VA_ARGS__::Copy(from, to);
  LECTRYN_CSS_PROPERTIES(LECTRYN_CSS_INHERIT)
#undef LECTRYN_CSS_INHERIT
}

// One property's computed value taken from another style (the parent's, or the initial one).
void Copy(Property property, const ComputedStyle& from, ComputedStyle& to) {
  switch (property) {
#define LECTRYN_CSS_COPY(id, name, inheritance, grammar, computation, ...) \
  case Property::id:                                                       \
    __VA_ARGS__::Copy(from, to);                                           \
    break;
    LECTRYN_CSS_PROPERTIES(LECTRYN_CSS_COPY)
#undef LECTRYN_CSS_COPY
    case Property::Count:
      break;
  }
}

uint16_t Bolder(uint16_t weight) {
  if (weight < 350) return 400;
  if (weight < 550) return 700;
  return 900;
}

uint16_t Lighter(uint16_t weight) {
  if (weight < 100) return weight;
  if (weight < 550) return 100;
  if (weight < 750) return 400;
  return 700;
}

// Blocks in place of inline-level boxes, for floats, absolute boxes and the root.
Display Blockified(Display display) {
  switch (display) {
    case Display::InlineTable:
      return Display::Table;
    case Display::InlineFlex:
      return Display::Flex;
    case Display::InlineGrid:
      return Display::Grid;
    case Display::None:
    case Display::ListItem:
    case Display::Table:
    case Display::Flex:
    case Display::Grid:
      return display;
    default:
      return Display::Block;
  }
}

}  // namespace

float StyleBuilder::KeywordSizePx(int keyword, bool monospace) {
  static constexpr float kSizes[] = {9, 10, 13, 16, 18, 24, 32, 48};
  static constexpr float kMonospaceSizes[] = {9, 9, 11, 13, 15, 20, 26, 39};
  keyword = std::clamp(keyword, 0, 7);
  return monospace ? kMonospaceSizes[keyword] : kSizes[keyword];
}

void StyleBuilder::BuildText(const ComputedStyle& parent, ComputedStyle& style) {
  CopyInherited(parent, style);
  style.display = Display::Inline;
  style.decorationsInEffect = parent.decorationsInEffect;
  style.decorationColor = parent.decorationColor;
}

void StyleBuilder::Build(const CascadedValues& values, ElementRole role, ComputedStyle& style,
                         FontSizeOrigin& font) {
  CopyInherited(parent_, style);
  font = parentFont_;
  // The family first (the size depends on it), then the size (ems depend on it), then the
  // colour (currentColor depends on it).
  if (const Value* family = values[static_cast<size_t>(Property::FontFamily)])
    Apply(Property::FontFamily, *family, style);
  font.monospace = style.fontFamily == "monospace";
  ApplyFontSize(values[static_cast<size_t>(Property::FontSize)], style, font);
  if (const Value* color = values[static_cast<size_t>(Property::Color)])
    Apply(Property::Color, *color, style);
  style.borderColor.fill(style.color);
  for (size_t i = 0; i < kPropertyCount; ++i) {
    auto property = static_cast<Property>(i);
    if (values[i] == nullptr || property == Property::FontFamily || property == Property::FontSize ||
        property == Property::Color)
      continue;
    Apply(property, *values[i], style);
  }
  Adjust(role, style);
}

void StyleBuilder::ApplyFontSize(const Value* value, ComputedStyle& style, FontSizeOrigin& font) const {
  float parentSize = parent_.fontSizePx;
  float size = parentSize;
  if (value != nullptr) {
    switch (value->type) {
      case ValueType::Initial:
        font.keyword = static_cast<int8_t>(FontSizeKeyword::Medium);
        font.absolute = false;
        size = KeywordSizePx(font.keyword, font.monospace);
        break;
      case ValueType::Keyword:
        if (value->keyword == static_cast<uint8_t>(FontSizeKeyword::Smaller) ||
            value->keyword == static_cast<uint8_t>(FontSizeKeyword::Larger)) {
          bool smaller = value->keyword == static_cast<uint8_t>(FontSizeKeyword::Smaller);
          size = smaller ? parentSize / kFontSizeStep : parentSize * kFontSizeStep;
          font.keyword = -1;
        } else {
          font.keyword = static_cast<int8_t>(value->keyword);
          font.absolute = false;
          size = KeywordSizePx(font.keyword, font.monospace);
        }
        break;
      case ValueType::Length: {
        Dimension length = value->length;
        font.keyword = -1;
        if (value->calc) {
          size = CalcLength(*value->calc, parentSize).Resolve(parentSize);
        } else if (length.unit == Unit::Percent) {
          size = parentSize * length.value / 100;
        } else {
          size = ToPixels(length, Sizes(parentSize));
          if (length.unit == Unit::Px) font.absolute = true;
          viewportUnits_ = viewportUnits_ || IsViewportUnit(length.unit);
        }
        break;
      }
      default:
        break;  // inherit, unset: the parent's size as it came about
    }
  }
  // A change between monospace and the other families resizes what was not set absolutely.
  if (!font.absolute && font.monospace != parentFont_.monospace) {
    if (font.keyword >= 0)
      size = KeywordSizePx(font.keyword, font.monospace);
    else
      size = font.monospace ? size * kMonospaceScale : size / kMonospaceScale;
  }
  style.fontSizePx = std::clamp(size, 0.0F, kMaxFontSizePx);
}

float StyleBuilder::Pixels(Dimension length, const ComputedStyle& style) const {
  viewportUnits_ = viewportUnits_ || IsViewportUnit(length.unit);
  return ToPixels(length, Sizes(style.fontSizePx));
}

Length StyleBuilder::CalcLength(const CalcNode& calc, float emPx) const {
  viewportUnits_ = viewportUnits_ || UsesViewportUnits(calc);
  return ComputeCalc(calc, Sizes(emPx));
}

Length StyleBuilder::ToLength(const Value& value, const ComputedStyle& style) const {
  if (value.type == ValueType::Keyword)
    return value.keyword == static_cast<uint8_t>(LengthKeyword::None) ? Length{LengthUnit::None, 0}
                                                                      : Length{};
  if (value.calc) return CalcLength(*value.calc, style.fontSizePx);
  if (value.length.unit == Unit::Percent) return Length::Percent(value.length.value);
  return Length::Px(Pixels(value.length, style));
}

// Track lengths in ems and the like become pixels; a list without them is shared as it is.
void StyleBuilder::Resolve(TrackSize& track, const ComputedStyle& style) const {
  for (TrackBreadth* breadth : {&track.min, &track.max}) {
    if (breadth->kind != TrackBreadth::Kind::Px || breadth->unit == 0) continue;
    breadth->value = Pixels({breadth->value, static_cast<Unit>(breadth->unit)}, style);
    breadth->unit = 0;
  }
}

std::shared_ptr<const GridTracks> StyleBuilder::ResolvedTracks(const std::shared_ptr<const GridTracks>& tracks,
                                                                const ComputedStyle& style) const {
  if (!tracks) return tracks;
  auto relative = [](const TrackSize& t) { return t.min.unit != 0 || t.max.unit != 0; };
  if (std::none_of(tracks->tracks.begin(), tracks->tracks.end(), relative) &&
      std::none_of(tracks->repeat.begin(), tracks->repeat.end(), relative))
    return tracks;
  auto resolved = std::make_shared<GridTracks>(*tracks);
  for (TrackSize& track : resolved->tracks) Resolve(track, style);
  for (TrackSize& track : resolved->repeat) Resolve(track, style);
  return resolved;
}

// The computations the property table names: each stores a declared value, computed, in the
// property's field F of the style.
struct StyleBuilder::Computations {
  template <class F>
  static void SetKeyword(const StyleBuilder&, const Value& value, ComputedStyle& style) {
    auto& field = F::Of(style);
    field = static_cast<std::remove_reference_t<decltype(field)>>(value.keyword);
  }
  template <class F>
  static void SetLength(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    F::Of(style) = builder.ToLength(value, style);
  }
  template <class F>
  static void SetPixels(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    F::Of(style) = value.calc ? builder.CalcLength(*value.calc, style.fontSizePx).Resolve(0)
                              : builder.Pixels(value.length, style);
  }
  template <class F>
  static void SetColor(const StyleBuilder&, const Value& value, ComputedStyle& style) {
    F::Of(style) = value.type == ValueType::CurrentColor ? style.color : value.color;
  }
  // The colour itself: its currentColor is the parent's.
  template <class F>
  static void SetForegroundColor(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    F::Of(style) = value.type == ValueType::CurrentColor ? builder.parent_.color : value.color;
  }
  template <class F>
  static void SetFontFamily(const StyleBuilder&, const Value& value, ComputedStyle& style) {
    F::Of(style) = value.text;
  }
  // Computed in Build before the others, which depend on it.
  template <class F>
  static void SetFontSize(const StyleBuilder&, const Value&, ComputedStyle&) {}
  template <class F>
  static void SetFontWeight(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    uint16_t parentWeight = builder.parent_.fontWeight;
    if (value.type == ValueType::Number)
      F::Of(style) = static_cast<uint16_t>(value.number);
    else if (value.keyword == static_cast<uint8_t>(FontWeightKeyword::Bolder))
      F::Of(style) = Bolder(parentWeight);
    else
      F::Of(style) = Lighter(parentWeight);
  }
  template <class F>
  static void SetLineHeight(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    if (value.type == ValueType::Keyword) {
      style.lineHeightKind = LineHeightKind::Normal;
      style.lineHeight = 0;
    } else if (value.type == ValueType::Number) {
      style.lineHeightKind = LineHeightKind::Number;
      style.lineHeight = value.number;
    } else if (value.calc) {
      style.lineHeightKind = LineHeightKind::Px;
      style.lineHeight =
          std::max(0.0F, builder.CalcLength(*value.calc, style.fontSizePx).Resolve(style.fontSizePx));
    } else {
      style.lineHeightKind = LineHeightKind::Px;
      style.lineHeight = value.length.unit == Unit::Percent ? style.fontSizePx * value.length.value / 100
                                                            : builder.Pixels(value.length, style);
    }
  }
  template <class F>
  static void SetBorderSpacing(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    style.borderSpacingX = builder.Pixels(value.length, style);
    style.borderSpacingY = builder.Pixels(value.length2, style);
    if (value.calc)  // one calc() for both
      style.borderSpacingX = style.borderSpacingY =
          builder.CalcLength(*value.calc, style.fontSizePx).Resolve(0);
  }
  template <class F>
  static void SetNumber(const StyleBuilder&, const Value& value, ComputedStyle& style) {
    auto& field = F::Of(style);
    field = static_cast<std::remove_reference_t<decltype(field)>>(value.number);
  }
  template <class F>
  static void SetShadow(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    BoxShadow& shadow = F::Of(style);
    shadow = {};
    if (value.type == ValueType::Keyword) return;
    shadow.present = true;
    shadow.inset = value.shadowInset;
    shadow.x = builder.Pixels(value.shadow[0], style);
    shadow.y = builder.Pixels(value.shadow[1], style);
    shadow.blur = std::max(0.0F, builder.Pixels(value.shadow[2], style));
    shadow.spread = builder.Pixels(value.shadow[3], style);
    shadow.color = value.type == ValueType::CurrentColor ? style.color : value.color;
  }
  template <class F>
  static void SetTracks(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    F::Of(style) = builder.ResolvedTracks(value.tracks, style);
  }
  template <class F>
  static void SetAreas(const StyleBuilder&, const Value& value, ComputedStyle& style) {
    F::Of(style) = value.areas;
  }
  template <class F>
  static void SetTrack(const StyleBuilder& builder, const Value& value, ComputedStyle& style) {
    TrackSize track = value.track;
    builder.Resolve(track, style);
    F::Of(style) = track;
  }
  template <class F>
  static void SetLine(const StyleBuilder&, const Value& value, ComputedStyle& style) {
    F::Of(style) = value.line;
  }
  // Kept aside in Apply until Adjust knows whether the element draws a decoration.
  template <class F>
  static void SetDecorationColor(const StyleBuilder&, const Value&, ComputedStyle&) {}
};

void StyleBuilder::Apply(Property property, const Value& value, ComputedStyle& style) {
  bool inherit =
      value.type == ValueType::Inherit || (value.type == ValueType::Unset && IsInherited(property));
  bool initial =
      value.type == ValueType::Initial || (value.type == ValueType::Unset && !IsInherited(property));
  if (property == Property::TextDecorationColor) {
    decorationColorSet_ = !initial;
    decorationColor_ = inherit                          ? parent_.decorationColor
                       : value.type == ValueType::Color ? value.color
                                                        : style.color;
    return;
  }
  if (inherit || initial) {
    Copy(property, inherit ? parent_ : Initial(), style);
    // A border's initial colour is currentColor.
    int side = static_cast<int>(property) - static_cast<int>(Property::BorderTopColor);
    if (initial && side >= 0 && side < 4) style.borderColor[side] = style.color;
    return;
  }
  switch (property) {
#define LECTRYN_CSS_APPLY(id, name, inheritance, grammar, computation, ...) \
  case Property::id:                                                        \
    Computations::Set##computation<__VA_ARGS__>(*this, value, style);       \
    break;
    LECTRYN_CSS_PROPERTIES(LECTRYN_CSS_APPLY)
#undef LECTRYN_CSS_APPLY
    case Property::Count:
      break;
  }
}

// CSS 2.1 9.7 (display, position and float), the overflow pairing of CSS Overflow, border
// widths of styles that draw nothing, and the propagation of text decorations.
void StyleBuilder::Adjust(ElementRole role, ComputedStyle& style) const {
  bool outOfFlow = style.position == Position::Absolute || style.position == Position::Fixed;
  // The children of flex and grid containers are their items: blocks that do not float.
  const bool item = IsFlex(parent_.display) || IsGrid(parent_.display);
  if (outOfFlow || item) style.floating = Float::None;
  if (outOfFlow || item || style.floating != Float::None || role == ElementRole::Root)
    style.display = Blockified(style.display);
  if (style.overflowX == Overflow::Visible && style.overflowY != Overflow::Visible)
    style.overflowX = Overflow::Auto;
  if (style.overflowY == Overflow::Visible && style.overflowX != Overflow::Visible)
    style.overflowY = Overflow::Auto;
  for (int side = 0; side < 4; ++side) {
    if (style.borderStyle[side] == BorderStyle::None || style.borderStyle[side] == BorderStyle::Hidden)
      style.borderWidth[side] = 0;
  }
  // Decorations are not propagated into floats, absolute boxes and inline blocks.
  bool propagated = !outOfFlow && style.floating == Float::None && style.display != Display::InlineBlock &&
                    style.display != Display::InlineTable && style.display != Display::InlineFlex &&
                    style.display != Display::InlineGrid;
  uint8_t inherited = propagated ? parent_.decorationsInEffect : uint8_t{kDecorationNone};
  style.decorationsInEffect = inherited | style.textDecoration;
  if (style.textDecoration != kDecorationNone)
    style.decorationColor = decorationColorSet_ ? decorationColor_ : style.color;
  else
    style.decorationColor = inherited != kDecorationNone ? parent_.decorationColor : style.color;
}

}  // namespace lectryn::engine::css
