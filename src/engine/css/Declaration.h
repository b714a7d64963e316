#pragma once
// Declarations as the cascade sees them: one longhand property and its declared value, parsed
// once when a sheet or style attribute is read. Shorthands are expanded into their longhands;
// a declaration we cannot read (unknown property, invalid value) is dropped whole.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/css/PropertyTable.h"

namespace lectryn::engine::css {

enum class ValueType : uint8_t {
  Keyword,
  Number,
  Length,
  Color,
  CurrentColor,
  Text,
  Inherit,
  Initial,
  Unset,
  Pending,  // holds var(): parsed once the element's custom properties are known
  Custom,   // a custom property's value (of kCustomProperty declarations)
};

// Units kept until the element's font size (or the view's size) is known; absolute units are
// pixels by then.
enum class Unit : uint8_t { Px, Em, Rem, Ex, Ch, Percent, Vw, Vh, Vmin, Vmax };

struct Dimension {
  float value = 0;
  Unit unit = Unit::Px;
  bool operator==(const Dimension&) const = default;
};

// Keywords of length properties (the properties' own enums serve the others).
enum class LengthKeyword : uint8_t { Auto, None };
enum class FontSizeKeyword : uint8_t {
  XxSmall,
  XSmall,
  Small,
  Medium,
  Large,
  XLarge,
  XxLarge,
  XxxLarge,
  Smaller,
  Larger
};
enum class FontWeightKeyword : uint8_t { Bolder, Lighter };
enum class LineHeightKeyword : uint8_t { Normal };

struct CalcNode;  // Calc.h

// A value as written, for var() substitution: the property it was declared for (a shorthand's or
// a longhand's name, or a custom property's "--name") and its text, case kept.
struct UnparsedValue {
  std::string property;
  std::string text;
};

struct Value {
  ValueType type = ValueType::Initial;
  uint8_t keyword = 0;  // Keyword: the property's enum value
  float number = 0;     // Number: font weight, line-height factor
  Dimension length;     // Length
  Dimension length2;    // Length: the vertical spacing of border-spacing
  css::Color color;     // Color
  std::string text;     // Text: a font-family list, lower case
  // Grid: a track list or the areas, shared by every element the declaration applies to; a line;
  // one track size.
  std::shared_ptr<const GridTracks> tracks;
  std::shared_ptr<const GridAreas> areas;
  GridLine line;
  TrackSize track;
  // Shadow: its offsets, blur and spread (in `shadow`, lengths as declared) and its colour.
  std::array<Dimension, 4> shadow{};
  bool shadowInset = false;
  std::shared_ptr<const CalcNode> calc;           // Length or Number: calc() and its kin when set
  std::shared_ptr<const UnparsedValue> unparsed;  // Pending and Custom

  Value() = default;
  explicit Value(ValueType valueType) : type(valueType) {}
  static Value Keyword(uint8_t keyword) {
    Value v(ValueType::Keyword);
    v.keyword = keyword;
    return v;
  }
  template <class Enum>
  static Value Keyword(Enum keyword) {
    return Keyword(static_cast<uint8_t>(keyword));
  }
  static Value Number(float number) {
    Value v(ValueType::Number);
    v.number = number;
    return v;
  }
  static Value Length(Dimension length) {
    Value v(ValueType::Length);
    v.length = v.length2 = length;
    return v;
  }
  static Value Px(float pixels) { return Length({pixels, Unit::Px}); }
  static Value Rgba(css::Color color) {
    Value v(ValueType::Color);
    v.color = color;
    return v;
  }
};

// The `property` of a custom property's declaration; its name is the value's.
inline constexpr Property kCustomProperty = Property::Count;

struct Declaration {
  Property property = Property::Display;
  bool important = false;
  Value value;
};
using DeclarationBlock = std::vector<Declaration>;

// Parses the declarations of a style attribute or a rule's block ("display: none; color: red")
// and appends them in order.
void ParseDeclarations(std::string_view text, DeclarationBlock& out);
DeclarationBlock ParseDeclarations(std::string_view text);

// Parses one declaration given as property and value (no "!important"); false when it is dropped.
bool ParseDeclaration(std::string_view property, std::string_view value, bool important,
                      DeclarationBlock& out);

}  // namespace lectryn::engine::css
