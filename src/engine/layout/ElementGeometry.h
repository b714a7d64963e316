#pragma once
// The offset and client geometry of elements, from a layout. Offsets are measured between
// laid-out positions: the scroll offsets of containers in between do not change them.
#include <cstdint>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/dom/Tree.h"
#include "engine/layout/LayoutTree.h"

namespace lectryn::engine::layout {

struct OffsetGeometry {
  int32_t left = 0;  // whole CSS pixels
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

class ElementGeometry {
 public:
  ElementGeometry(const LayoutTree& layout, const dom::Tree& tree,
                  const std::vector<css::ComputedStyle>& styles)
      : layout_(layout), tree_(tree), styles_(styles) {}

  // The nearest positioned ancestor, TD, TH or TABLE, or BODY; kNoNode for BODY, HTML, fixed
  // elements and elements without boxes.
  dom::NodeId OffsetParent(dom::NodeId element) const;
  // Left and top of the first box (an inline element's first fragment) from the padding edge of the
  // offset parent, or from the page origin when that is BODY or there is none; width and height of
  // the bounding box of all the element's boxes. Zero for an element without boxes and for BODY's
  // left and top.
  OffsetGeometry Offsets(dom::NodeId element) const;
  // The left and top border widths; zero for inline elements and elements without boxes.
  int32_t ClientLeft(dom::NodeId element) const;
  int32_t ClientTop(dom::NodeId element) const;
  bool IsScrollContainer(dom::NodeId element) const;

 private:
  const Box* FirstBox(dom::NodeId element) const;
  bool IsTablePart(dom::NodeId element) const;

  const LayoutTree& layout_;
  const dom::Tree& tree_;
  const std::vector<css::ComputedStyle>& styles_;
};

// Browsers round offsets to whole pixels: each value rounded half up, and sizes snapped so that the
// far edge lands where the rounded left plus width would put it.
int32_t RoundPixels(float value);

}  // namespace lectryn::engine::layout
