#pragma once
// Turns the cascaded value of every property of one element into its computed style: inherit,
// initial and unset, em and rem against the font sizes, currentColor, and the adjustments CSS
// makes after the cascade (floats and absolute boxes become blocks, borders without a style
// have no width, text decorations reach the descendants).
#include <array>
#include <cstdint>

#include "engine/css/ComputedStyle.h"
#include "engine/css/Declaration.h"
#include "engine/css/MediaQuery.h"
#include "engine/css/Values.h"

namespace lectryn::engine::css {

// The winning value of each property for one element; nullptr where no declaration applies.
using CascadedValues = std::array<const Value*, kPropertyCount>;

// How an element's font size came about, which its children need: browsers size the keywords
// (and sizes derived from them) smaller when the family is exactly "monospace".
struct FontSizeOrigin {
  int8_t keyword = static_cast<int8_t>(FontSizeKeyword::Medium);  // -1: not a keyword
  bool absolute = false;   // set in absolute units somewhere on the way down
  bool monospace = false;  // the family is the generic monospace alone
};

enum class ElementRole : uint8_t { Root, Other };

class StyleBuilder {
 public:
  StyleBuilder(const ComputedStyle& parent, const FontSizeOrigin& parentFont, float rootFontSizePx,
               const MediaView& view = {})
      : parent_(parent), parentFont_(parentFont), rootFontSizePx_(rootFontSizePx), view_(view) {}

  void Build(const CascadedValues& values, ElementRole role, ComputedStyle& style, FontSizeOrigin& font);

  // A text node: its parent's inherited values and decorations, displayed inline.
  static void BuildText(const ComputedStyle& parent, ComputedStyle& style);

  // The size of a font-size keyword (xx-small to xxx-large), in pixels.
  static float KeywordSizePx(int keyword, bool monospace);

  // Whether a value built so far was in vw, vh, vmin or vmax: the style changes with the view.
  bool UsedViewportUnits() const { return viewportUnits_; }

 private:
  void Apply(Property property, const Value& value, ComputedStyle& style);
  struct Computations;  // the steps the property table names
  void ApplyFontSize(const Value* value, ComputedStyle& style, FontSizeOrigin& font) const;
  void Adjust(ElementRole role, ComputedStyle& style) const;
  float Pixels(Dimension length, const ComputedStyle& style) const;
  Length ToLength(const Value& value, const ComputedStyle& style) const;
  void Resolve(TrackSize& track, const ComputedStyle& style) const;
  std::shared_ptr<const GridTracks> ResolvedTracks(const std::shared_ptr<const GridTracks>& tracks,
                                                   const ComputedStyle& style) const;
  Length CalcLength(const CalcNode& calc, float emPx) const;
  UnitSizes Sizes(float emPx) const { return {emPx, rootFontSizePx_, view_.widthPx, view_.heightPx}; }

  const ComputedStyle& parent_;
  const FontSizeOrigin& parentFont_;
  float rootFontSizePx_;
  MediaView view_;
  mutable bool viewportUnits_ = false;
  Color decorationColor_;
  bool decorationColorSet_ = false;
};

}  // namespace lectryn::engine::css
