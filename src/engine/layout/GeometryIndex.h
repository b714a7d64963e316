#pragma once
// Lookups over one layout that hit testing, painting and range geometry share, built once per
// layout in one pass: the children of boxes with many children (a body of thousands of
// paragraphs, a pre of thousands of lines) ordered by y, and the boxes of OBJECT units.
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/layout/LayoutTree.h"

namespace lectryn::engine::layout {

class GeometryIndex {
 public:
  explicit GeometryIndex(const LayoutTree& layout);

  // The first child of `box` whose subtree may reach down to `y` (laid-out coordinates) or below,
  // when its children stand in flow order (each one's overflow starting no higher than the one
  // before): every child before it lies wholly above `y`; -1 when none reaches it. When the
  // children are not indexed: box + 1, its first child.
  int32_t FirstChildReaching(int32_t box, float y) const;
  // Whether the children of `box` stand in flow order, so that a walk may stop at the first child
  // that starts below the area it looks at.
  bool ChildrenInFlowOrder(int32_t box) const;
  // The atomic box standing for an OBJECT unit of the text model, or -1.
  int32_t BoxOfObjectUnit(int32_t unit) const;
  // The OBJECT units of [start, end) with their boxes, in unit order.
  std::vector<std::pair<int32_t, int32_t>> ObjectUnitsIn(int32_t start, int32_t end) const;

 private:
  struct Children {
    std::vector<int32_t> boxes;
    std::vector<float> lowestBottom;  // the running maximum of the children's overflow bottoms
  };
  std::unordered_map<int32_t, Children> ordered_;
  std::vector<std::pair<int32_t, int32_t>> objectUnits_;  // (unit, box), by unit
};

}  // namespace lectryn::engine::layout
