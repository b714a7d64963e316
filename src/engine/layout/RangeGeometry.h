#pragma once
// Where a range of text-model units stands on the page: found by binary search over the runs
// ordered by unit (and the OBJECT units' boxes), never by walking the page.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/layout/FontMetrics.h"
#include "engine/layout/GeometryIndex.h"
#include "engine/layout/LayoutTree.h"
#include "engine/layout/ScrollOffsets.h"

namespace lectryn::engine::layout {

// The part of one run (or one atomic box) that a range covers.
struct RangePiece {
  int32_t run = -1;  // index into LayoutTree::runs, or -1 for an atomic box
  int32_t box = -1;  // the line box of the run, or the atomic box
  int32_t from = 0;  // covered characters of the run's text, [from, to)
  int32_t to = 0;
  Rect rect;  // laid-out coordinates: the covered advance over the run's inline box
};

class RangeGeometry {
 public:
  RangeGeometry(const LayoutTree& layout, const GeometryIndex& index, FontMetrics& metrics)
      : layout_(layout), index_(index), metrics_(metrics) {}

  // Every run and atomic box that [start, end) covers, in unit order.
  void ForEachPiece(int32_t start, int32_t end, const std::function<void(const RangePiece&)>& visit) const;
  // One rectangle per line the range touches, in page coordinates with the scroll containers'
  // offsets applied. Nothing for an empty range.
  std::vector<Rect> Rects(int32_t start, int32_t end, const ScrollOffsets& scrolls) const;
  // The line box (or atomic box outside lines) of the first and of the last line the range touches;
  // an empty range gives its caret's line twice. -1 when the range shows nothing at all.
  std::pair<int32_t, int32_t> Lines(int32_t start, int32_t end) const;

 private:
  int32_t FirstRunEndingAfter(int32_t unit) const;  // position in runsByUnit
  int32_t CaretLine(int32_t position) const;
  int32_t LineOfBox(int32_t box) const;

  const LayoutTree& layout_;
  const GeometryIndex& index_;
  FontMetrics& metrics_;
};

// Scrolls the containers around box `target` (innermost first) and then the view so that the
// target's top reaches the top of each (alignToTop) or its bottom the bottom, clamped to what each
// can scroll; sideways nothing moves. Returns the view's new scroll offsets; updates `scrolls`.
Point ScrollIntoView(const LayoutTree& layout, ScrollOffsets& scrolls, int32_t target, bool alignToTop,
                     Point viewScroll, Point viewSize);

}  // namespace lectryn::engine::layout
