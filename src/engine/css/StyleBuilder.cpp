#include "engine/css/StyleBuilder.h"

#include <algorithm>

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

int SideIndex(Property property, Property top) {
  return static_cast<int>(property) - static_cast<int>(top);
}

bool InRange(Property property, Property top) {
  int side = SideIndex(property, top);
  return side >= 0 && side < 4;
}

bool IsInherited(Property property) {
  switch (property) {
    case Property::Visibility:
    case Property::WhiteSpace:
    case Property::Color:
    case Property::FontFamily:
    case Property::FontSize:
    case Property::FontWeight:
    case Property::FontStyle:
    case Property::LineHeight:
    case Property::TextAlign:
    case Property::TextIndent:
    case Property::TextTransform:
    case Property::ListStyleType:
    case Property::ListStylePosition:
    case Property::BorderSpacing:
    case Property::BorderCollapse:
    case Property::OverflowWrap:
      return true;
    default:
      return false;
  }
}

void CopyInherited(const ComputedStyle& from, ComputedStyle& to) {
  to.visibility = from.visibility;
  to.whiteSpace = from.whiteSpace;
  to.color = from.color;
  to.fontFamily = from.fontFamily;
  to.fontSizePx = from.fontSizePx;
  to.fontWeight = from.fontWeight;
  to.italic = from.italic;
  to.lineHeightKind = from.lineHeightKind;
  to.lineHeight = from.lineHeight;
  to.textAlign = from.textAlign;
  to.textIndent = from.textIndent;
  to.textTransform = from.textTransform;
  to.listStyleType = from.listStyleType;
  to.listStylePosition = from.listStylePosition;
  to.borderSpacingX = from.borderSpacingX;
  to.borderSpacingY = from.borderSpacingY;
  to.borderCollapse = from.borderCollapse;
  to.overflowWrap = from.overflowWrap;
}

// One property's computed value taken from another style (the parent's, or the initial one).
void Copy(Property property, const ComputedStyle& from, ComputedStyle& to) {
  if (InRange(property, Property::MarginTop)) {
    int side = SideIndex(property, Property::MarginTop);
    to.margin[side] = from.margin[side];
  } else if (InRange(property, Property::PaddingTop)) {
    int side = SideIndex(property, Property::PaddingTop);
    to.padding[side] = from.padding[side];
  } else if (InRange(property, Property::BorderTopWidth)) {
    int side = SideIndex(property, Property::BorderTopWidth);
    to.borderWidth[side] = from.borderWidth[side];
  } else if (InRange(property, Property::BorderTopStyle)) {
    int side = SideIndex(property, Property::BorderTopStyle);
    to.borderStyle[side] = from.borderStyle[side];
  } else if (InRange(property, Property::BorderTopColor)) {
    int side = SideIndex(property, Property::BorderTopColor);
    to.borderColor[side] = from.borderColor[side];
  } else if (InRange(property, Property::Top)) {
    int side = SideIndex(property, Property::Top);
    to.inset[side] = from.inset[side];
  }
  switch (property) {
    case Property::Display:
      to.display = from.display;
      break;
    case Property::Visibility:
      to.visibility = from.visibility;
      break;
    case Property::WhiteSpace:
      to.whiteSpace = from.whiteSpace;
      break;
    case Property::Width:
      to.width = from.width;
      break;
    case Property::Height:
      to.height = from.height;
      break;
    case Property::MinWidth:
      to.minWidth = from.minWidth;
      break;
    case Property::MinHeight:
      to.minHeight = from.minHeight;
      break;
    case Property::MaxWidth:
      to.maxWidth = from.maxWidth;
      break;
    case Property::MaxHeight:
      to.maxHeight = from.maxHeight;
      break;
    case Property::BoxSizing:
      to.boxSizing = from.boxSizing;
      break;
    case Property::Float:
      to.floating = from.floating;
      break;
    case Property::Clear:
      to.clear = from.clear;
      break;
    case Property::Position:
      to.position = from.position;
      break;
    case Property::OverflowX:
      to.overflowX = from.overflowX;
      break;
    case Property::OverflowY:
      to.overflowY = from.overflowY;
      break;
    case Property::Color:
      to.color = from.color;
      break;
    case Property::BackgroundColor:
      to.backgroundColor = from.backgroundColor;
      break;
    case Property::FontFamily:
      to.fontFamily = from.fontFamily;
      break;
    case Property::FontWeight:
      to.fontWeight = from.fontWeight;
      break;
    case Property::FontStyle:
      to.italic = from.italic;
      break;
    case Property::LineHeight:
      to.lineHeightKind = from.lineHeightKind;
      to.lineHeight = from.lineHeight;
      break;
    case Property::TextAlign:
      to.textAlign = from.textAlign;
      break;
    case Property::TextIndent:
      to.textIndent = from.textIndent;
      break;
    case Property::TextDecorationLine:
      to.textDecoration = from.textDecoration;
      break;
    case Property::TextTransform:
      to.textTransform = from.textTransform;
      break;
    case Property::VerticalAlign:
      to.verticalAlign = from.verticalAlign;
      break;
    case Property::ListStyleType:
      to.listStyleType = from.listStyleType;
      break;
    case Property::ListStylePosition:
      to.listStylePosition = from.listStylePosition;
      break;
    case Property::BorderSpacing:
      to.borderSpacingX = from.borderSpacingX;
      to.borderSpacingY = from.borderSpacingY;
      break;
    case Property::BorderCollapse:
      to.borderCollapse = from.borderCollapse;
      break;
    case Property::OverflowWrap:
      to.overflowWrap = from.overflowWrap;
      break;
    default:
      break;  // sides above; font size and decoration colour by the builder
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
    case Display::None:
    case Display::ListItem:
    case Display::Table:
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
        switch (length.unit) {
          case Unit::Px:
            size = length.value;
            font.absolute = true;
            break;
          case Unit::Percent:
            size = parentSize * length.value / 100;
            break;
          case Unit::Em:
            size = parentSize * length.value;
            break;
          case Unit::Ex:
          case Unit::Ch:
            size = parentSize * length.value / 2;
            break;
          case Unit::Rem:
            size = rootFontSizePx_ * length.value;
            break;
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
  float pixels = length.value;
  switch (length.unit) {
    case Unit::Em:
      pixels *= style.fontSizePx;
      break;
    case Unit::Ex:
    case Unit::Ch:
      pixels *= style.fontSizePx / 2;
      break;
    case Unit::Rem:
      pixels *= rootFontSizePx_;
      break;
    case Unit::Px:
    case Unit::Percent:
      break;
  }
  return std::clamp(pixels, -kMaxLength, kMaxLength);
}

Length StyleBuilder::ToLength(const Value& value, const ComputedStyle& style) const {
  if (value.type == ValueType::Keyword)
    return value.keyword == static_cast<uint8_t>(LengthKeyword::None) ? Length{LengthUnit::None, 0}
                                                                      : Length{};
  if (value.length.unit == Unit::Percent) return Length::Percent(value.length.value);
  return Length::Px(Pixels(value.length, style));
}

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
    if (initial && InRange(property, Property::BorderTopColor))
      style.borderColor[SideIndex(property, Property::BorderTopColor)] = style.color;
    return;
  }
  Color color = value.type == ValueType::CurrentColor ? style.color : value.color;
  if (property == Property::Color && value.type == ValueType::CurrentColor) color = parent_.color;
  auto keyword = value.keyword;
  if (InRange(property, Property::MarginTop)) {
    style.margin[SideIndex(property, Property::MarginTop)] = ToLength(value, style);
  } else if (InRange(property, Property::PaddingTop)) {
    style.padding[SideIndex(property, Property::PaddingTop)] = ToLength(value, style);
  } else if (InRange(property, Property::BorderTopWidth)) {
    style.borderWidth[SideIndex(property, Property::BorderTopWidth)] = Pixels(value.length, style);
  } else if (InRange(property, Property::BorderTopStyle)) {
    style.borderStyle[SideIndex(property, Property::BorderTopStyle)] = static_cast<BorderStyle>(keyword);
  } else if (InRange(property, Property::BorderTopColor)) {
    style.borderColor[SideIndex(property, Property::BorderTopColor)] = color;
  } else if (InRange(property, Property::Top)) {
    style.inset[SideIndex(property, Property::Top)] = ToLength(value, style);
  }
  switch (property) {
    case Property::Display:
      style.display = static_cast<Display>(keyword);
      break;
    case Property::Visibility:
      style.visibility = static_cast<Visibility>(keyword);
      break;
    case Property::WhiteSpace:
      style.whiteSpace = static_cast<WhiteSpace>(keyword);
      break;
    case Property::Width:
      style.width = ToLength(value, style);
      break;
    case Property::Height:
      style.height = ToLength(value, style);
      break;
    case Property::MinWidth:
      style.minWidth = ToLength(value, style);
      break;
    case Property::MinHeight:
      style.minHeight = ToLength(value, style);
      break;
    case Property::MaxWidth:
      style.maxWidth = ToLength(value, style);
      break;
    case Property::MaxHeight:
      style.maxHeight = ToLength(value, style);
      break;
    case Property::BoxSizing:
      style.boxSizing = static_cast<BoxSizing>(keyword);
      break;
    case Property::Float:
      style.floating = static_cast<Float>(keyword);
      break;
    case Property::Clear:
      style.clear = static_cast<Clear>(keyword);
      break;
    case Property::Position:
      style.position = static_cast<Position>(keyword);
      break;
    case Property::OverflowX:
      style.overflowX = static_cast<Overflow>(keyword);
      break;
    case Property::OverflowY:
      style.overflowY = static_cast<Overflow>(keyword);
      break;
    case Property::Color:
      style.color = color;
      break;
    case Property::BackgroundColor:
      style.backgroundColor = color;
      break;
    case Property::FontFamily:
      style.fontFamily = value.text;
      break;
    case Property::FontWeight:
      if (value.type == ValueType::Number)
        style.fontWeight = static_cast<uint16_t>(value.number);
      else
        style.fontWeight = keyword == static_cast<uint8_t>(FontWeightKeyword::Bolder)
                               ? Bolder(parent_.fontWeight)
                               : Lighter(parent_.fontWeight);
      break;
    case Property::FontStyle:
      style.italic = keyword != 0;
      break;
    case Property::LineHeight:
      if (value.type == ValueType::Keyword) {
        style.lineHeightKind = LineHeightKind::Normal;
        style.lineHeight = 0;
      } else if (value.type == ValueType::Number) {
        style.lineHeightKind = LineHeightKind::Number;
        style.lineHeight = value.number;
      } else {
        style.lineHeightKind = LineHeightKind::Px;
        style.lineHeight = value.length.unit == Unit::Percent ? style.fontSizePx * value.length.value / 100
                                                              : Pixels(value.length, style);
      }
      break;
    case Property::TextAlign:
      style.textAlign = static_cast<TextAlign>(keyword);
      break;
    case Property::TextIndent:
      style.textIndent = ToLength(value, style);
      break;
    case Property::TextDecorationLine:
      style.textDecoration = keyword;
      break;
    case Property::TextTransform:
      style.textTransform = static_cast<TextTransform>(keyword);
      break;
    case Property::VerticalAlign:
      style.verticalAlign = static_cast<VerticalAlign>(keyword);
      break;
    case Property::ListStyleType:
      style.listStyleType = static_cast<ListStyleType>(keyword);
      break;
    case Property::ListStylePosition:
      style.listStylePosition = static_cast<ListStylePosition>(keyword);
      break;
    case Property::BorderSpacing:
      style.borderSpacingX = Pixels(value.length, style);
      style.borderSpacingY = Pixels(value.length2, style);
      break;
    case Property::BorderCollapse:
      style.borderCollapse = keyword != 0;
      break;
    case Property::OverflowWrap:
      style.overflowWrap = static_cast<OverflowWrap>(keyword);
      break;
    default:
      break;
  }
}

// CSS 2.1 9.7 (display, position and float), the overflow pairing of CSS Overflow, border
// widths of styles that draw nothing, and the propagation of text decorations.
void StyleBuilder::Adjust(ElementRole role, ComputedStyle& style) const {
  bool outOfFlow = style.position == Position::Absolute || style.position == Position::Fixed;
  if (outOfFlow) style.floating = Float::None;
  if (outOfFlow || style.floating != Float::None || role == ElementRole::Root)
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
                    style.display != Display::InlineTable;
  uint8_t inherited = propagated ? parent_.decorationsInEffect : uint8_t{kDecorationNone};
  style.decorationsInEffect = inherited | style.textDecoration;
  if (style.textDecoration != kDecorationNone)
    style.decorationColor = decorationColorSet_ ? decorationColor_ : style.color;
  else
    style.decorationColor = inherited != kDecorationNone ? parent_.decorationColor : style.color;
}

}  // namespace lectryn::engine::css
