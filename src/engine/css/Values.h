#pragma once
// Component values of CSS text and of old HTML attributes: splitting a value into its parts,
// numbers, lengths and colours.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/css/Declaration.h"

namespace lectryn::engine::css {

bool IsSpace(char c);
bool IsSpace(char16_t c);
std::string_view Trim(std::string_view text);
std::string Lower(std::string_view text);

// The text without its comments (strings are kept as they are).
std::string StripComments(std::string_view text);

// Splits a value at white space into its components; commas and slashes are components of
// their own, and functions ("rgb(1, 2, 3)") and strings stay whole.
std::vector<std::string_view> SplitComponents(std::string_view value);

// Lengths beyond this many pixels (or percent) are clamped: they only make layout overflow.
inline constexpr float kMaxLength = 1e7F;

std::optional<float> ParseNumber(std::string_view text);
// A number with a unit: "12px", "-1.5em", "50%", "0". Absolute units become pixels; with
// `Unitless::Px` a bare number counts as pixels, as pages written for quirks mode expect.
enum class Unitless { Invalid, Px };
std::optional<Dimension> ParseDimension(std::string_view text, Unitless unitless = Unitless::Invalid);

// What the relative units are in pixels for one element.
struct UnitSizes {
  float emPx = 16;   // the font size (the parent's, for font-size itself)
  float remPx = 16;  // the root element's font size
  float viewWidthPx = 1000, viewHeightPx = 800;
};
// Pixels of a length in any unit but percent (which stays as it is); ex and ch count half an em.
float ToPixels(Dimension length, const UnitSizes& sizes);
bool IsViewportUnit(Unit unit);

// Colours of style sheets: names, #rgb, #rgba, #rrggbb, #rrggbbaa, rgb(), rgba(), hsl(), hsla(),
// transparent. Expects lower case; currentcolor is the caller's.
std::optional<Color> ParseColor(std::string_view text);
// Colours of HTML attributes (bgcolor="ff0000"), read the lenient way browsers read them.
std::optional<Color> ParseLegacyColor(std::u16string_view text);

}  // namespace lectryn::engine::css
