#pragma once
// The floats of one block formatting context, in page coordinates: where a new float goes, how
// much room a line has beside them, and where clearance ends.
#include <cstdint>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/layout/Geometry.h"

namespace lectryn::engine::layout {

class FloatContext {
 public:
  struct Band {
    float left = 0;  // the free interval [left, right) at some height
    float right = 0;
  };

  // The free interval of [left, right) beside the floats that overlap [top, top + height).
  Band Free(float top, float height, float left, float right) const;
  // The lowest bottom of the floats that overlap [top, top + height) and narrow [left, right), or
  // `top` when none does: where to retry when content does not fit beside them.
  float NextBottom(float top, float height, float left, float right) const;
  // Places a float's margin box of the given size no higher than `top` (CSS 2.1 9.5.1, simplified:
  // as high as it fits, then as far left or right as it fits). Returns its margin box.
  Rect Place(css::Float side, float width, float height, float top, float left, float right);
  // The y below every float of the cleared sides (`top` when lower).
  float Clear(css::Clear clear, float top) const;
  // The bottom of the lowest float (`top` when lower): a formatting context root grows to contain them.
  float Bottom(float top) const;
  bool Empty() const { return lefts_.empty() && rights_.empty(); }

 private:
  // Only the most recent floats of each side are consulted: older ones were placed higher and
  // can only matter through a lower bottom, which `bottom*` keeps. This keeps pages of a
  // hundred thousand floats linear.
  static constexpr size_t kConsulted = 64;
  std::vector<Rect> lefts_;
  std::vector<Rect> rights_;
  float lowestTop_ = -1e30F;  // floats are never placed above an earlier one
  float bottomLeft_ = -1e30F;
  float bottomRight_ = -1e30F;
};

}  // namespace lectryn::engine::layout
