#include "engine/layout/GeometryIndex.h"

#include <algorithm>

namespace lectryn::engine::layout {
namespace {

// Below this many children a walk over them is as quick as a search.
constexpr int32_t kIndexedChildren = 16;

}  // namespace

GeometryIndex::GeometryIndex(const LayoutTree& layout) {
  const auto& boxes = layout.boxes;
  std::vector<int32_t> childCount(boxes.size(), 0);
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].parent >= 0) ++childCount[static_cast<size_t>(boxes[i].parent)];
    if (boxes[i].objectUnit >= 0) objectUnits_.emplace_back(boxes[i].objectUnit, static_cast<int32_t>(i));
  }
  std::sort(objectUnits_.begin(), objectUnits_.end());
  std::vector<bool> unordered(boxes.size(), false);
  for (size_t i = 0; i < boxes.size(); ++i) {
    int32_t parent = boxes[i].parent;
    if (parent < 0 || childCount[static_cast<size_t>(parent)] < kIndexedChildren) continue;
    if (unordered[static_cast<size_t>(parent)]) continue;
    Children& children = ordered_[parent];
    const Rect& overflow = boxes[i].overflow;
    if (!children.boxes.empty() &&
        overflow.y < boxes[static_cast<size_t>(children.boxes.back())].overflow.y) {
      unordered[static_cast<size_t>(parent)] = true;
      ordered_.erase(parent);
      continue;
    }
    float lowest = children.lowestBottom.empty() ? overflow.Bottom()
                                                 : std::max(children.lowestBottom.back(), overflow.Bottom());
    children.boxes.push_back(static_cast<int32_t>(i));
    children.lowestBottom.push_back(lowest);
  }
}

int32_t GeometryIndex::FirstChildReaching(int32_t box, float y) const {
  auto it = ordered_.find(box);
  if (it == ordered_.end()) return box + 1;
  const Children& children = it->second;
  // The running maximum never falls, so the children that end above y form a prefix.
  auto found = std::upper_bound(children.lowestBottom.begin(), children.lowestBottom.end(), y);
  if (found == children.lowestBottom.end()) return -1;
  return children.boxes[static_cast<size_t>(found - children.lowestBottom.begin())];
}

bool GeometryIndex::ChildrenInFlowOrder(int32_t box) const {
  return ordered_.count(box) != 0;
}

int32_t GeometryIndex::BoxOfObjectUnit(int32_t unit) const {
  auto it = std::lower_bound(objectUnits_.begin(), objectUnits_.end(), std::make_pair(unit, INT32_MIN));
  return it != objectUnits_.end() && it->first == unit ? it->second : -1;
}

std::vector<std::pair<int32_t, int32_t>> GeometryIndex::ObjectUnitsIn(int32_t start, int32_t end) const {
  auto first = std::lower_bound(objectUnits_.begin(), objectUnits_.end(), std::make_pair(start, INT32_MIN));
  auto last = std::lower_bound(first, objectUnits_.end(), std::make_pair(end, INT32_MIN));
  return {first, last};
}

}  // namespace lectryn::engine::layout
