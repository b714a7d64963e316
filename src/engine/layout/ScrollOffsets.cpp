#include "engine/layout/ScrollOffsets.h"

#include <algorithm>

namespace lectryn::engine::layout {

Point ScrollOffsets::Of(dom::NodeId container) const {
  auto it = offsets_.find(container);
  return it == offsets_.end() ? Point{} : it->second;
}

void ScrollOffsets::Set(dom::NodeId container, Point offset) {
  if (offset == Point{}) {
    offsets_.erase(container);
  } else {
    offsets_[container] = offset;
  }
}

void ScrollOffsets::ClampAll(const LayoutTree& layout) {
  for (auto it = offsets_.begin(); it != offsets_.end();) {
    int32_t box = layout.FirstBoxOf(it->first);
    Point clamped = box >= 0 && layout.boxes[static_cast<size_t>(box)].scrollContainer
                        ? Clamped(layout.boxes[static_cast<size_t>(box)], it->second)
                        : Point{};
    if (clamped == Point{}) {
      it = offsets_.erase(it);
    } else {
      it->second = clamped;
      ++it;
    }
  }
}

Point ScrollOffsets::ShiftOf(const LayoutTree& layout, int32_t index) const {
  Point shift;
  if (offsets_.empty() || index < 0) return shift;
  for (int32_t box = layout.boxes[static_cast<size_t>(index)].parent; box >= 0;
       box = layout.boxes[static_cast<size_t>(box)].parent) {
    const Box& ancestor = layout.boxes[static_cast<size_t>(box)];
    if (!ancestor.scrollContainer) continue;
    Point offset = Of(ancestor.node);
    shift.x += offset.x;
    shift.y += offset.y;
  }
  return shift;
}

Point ScrollOffsets::Clamped(const Box& container, Point offset) {
  Rect padding = container.PaddingBox();
  float maxX = std::max(0.0F, container.scrollWidth - padding.w);
  float maxY = std::max(0.0F, container.scrollHeight - padding.h);
  return {std::clamp(offset.x, 0.0F, maxX), std::clamp(offset.y, 0.0F, maxY)};
}

}  // namespace lectryn::engine::layout
