#pragma once
// The scroll offsets of a document's scroll containers (elements with overflow other than visible),
// kept by element so that they survive a new layout. The view's own offsets live in the document.
#include <unordered_map>

#include "engine/dom/Tree.h"
#include "engine/layout/Geometry.h"
#include "engine/layout/LayoutTree.h"

namespace lectryn::engine::layout {

class ScrollOffsets {
 public:
  Point Of(dom::NodeId container) const;  // CSS pixels; 0,0 when never scrolled
  void Set(dom::NodeId container, Point offset);
  bool Empty() const { return offsets_.empty(); }
  // Clamps every stored offset into its container's range in a (new) layout.
  void ClampAll(const LayoutTree& layout);

  // How far the content of box `index` is moved by the scroll containers around it (not by itself):
  // its page position is its laid-out position minus this.
  Point ShiftOf(const LayoutTree& layout, int32_t index) const;
  // The offset a scroll container can take: 0 to its content's extent minus its padding box.
  static Point Clamped(const Box& container, Point offset);

 private:
  std::unordered_map<dom::NodeId, Point> offsets_;
};

}  // namespace lectryn::engine::layout
