#pragma once
// Which element is under a point of the page.
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/dom/Tree.h"
#include "engine/layout/GeometryIndex.h"
#include "engine/layout/LayoutTree.h"
#include "engine/layout/ScrollOffsets.h"

namespace lectryn::engine::layout {

struct HitTestInput {
  const LayoutTree& layout;
  const GeometryIndex& index;
  const dom::Tree& tree;
  const std::vector<css::ComputedStyle>& styles;  // by NodeId
  const ScrollOffsets& scrolls;
};

// The innermost element whose border box, inline fragment or text (a run's width over its line)
// holds the page point, the last painted winning; kNoNode when no element's box does (the canvas
// around the root). Scroll containers clip their content and move it by their offsets; elements
// with visibility:hidden are passed through. Subtrees whose overflow misses the point are skipped.
dom::NodeId HitTest(const HitTestInput& input, Point page);

}  // namespace lectryn::engine::layout
