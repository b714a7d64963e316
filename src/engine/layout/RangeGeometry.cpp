#include "engine/layout/RangeGeometry.h"

#include <algorithm>

namespace lectryn::engine::layout {

int32_t RangeGeometry::FirstRunEndingAfter(int32_t unit) const {
  // Runs hold disjoint units, so ordered by start they are ordered by end as well.
  const auto& order = layout_.runsByUnit;
  auto it = std::partition_point(order.begin(), order.end(), [&](int32_t run) {
    return layout_.runs[static_cast<size_t>(run)].unitEnd <= unit;
  });
  return static_cast<int32_t>(it - order.begin());
}

void RangeGeometry::ForEachPiece(int32_t start, int32_t end,
                                 const std::function<void(const RangePiece&)>& visit) const {
  if (start >= end) return;
  auto objects = index_.ObjectUnitsIn(start, end);
  auto object = objects.begin();
  std::vector<float> carets;
  const auto& order = layout_.runsByUnit;
  for (auto k = static_cast<size_t>(FirstRunEndingAfter(start)); k < order.size(); ++k) {
    const TextRun& run = layout_.runs[static_cast<size_t>(order[k])];
    if (run.unitStart >= end) break;
    for (; object != objects.end() && object->first < run.unitStart; ++object) {
      visit({-1, object->second, 0, 1, layout_.boxes[static_cast<size_t>(object->second)].border});
    }
    RangePiece piece{order[k],
                     run.line,
                     std::max(start, run.unitStart) - run.unitStart,
                     std::min(end, run.unitEnd) - run.unitStart,
                     {}};
    float x0 = 0;
    float x1 = run.width;
    if (piece.from > 0 || piece.to < run.unitEnd - run.unitStart) {
      metrics_.CaretPositions(layout_.fonts[static_cast<size_t>(run.font)], run.text, carets);
      x0 = carets[static_cast<size_t>(piece.from)];
      x1 = carets[static_cast<size_t>(piece.to)];
    }
    piece.rect = {run.x + x0, run.top, x1 - x0, run.height};
    visit(piece);
  }
  for (; object != objects.end(); ++object) {
    visit({-1, object->second, 0, 1, layout_.boxes[static_cast<size_t>(object->second)].border});
  }
}

std::vector<Rect> RangeGeometry::Rects(int32_t start, int32_t end, const ScrollOffsets& scrolls) const {
  std::vector<Rect> rects;
  int32_t lastBox = -1;
  ForEachPiece(start, end, [&](const RangePiece& piece) {
    Point shift = scrolls.ShiftOf(layout_, piece.box);
    Rect rect = piece.rect.Translated(-shift.x, -shift.y);
    if (piece.box == lastBox && !rects.empty()) {
      // Runs of one line make one rectangle; a zero-width piece still widens it.
      Rect& united = rects.back();
      float left = std::min(united.x, rect.x), top = std::min(united.y, rect.y);
      float right = std::max(united.Right(), rect.Right()), bottom = std::max(united.Bottom(), rect.Bottom());
      united = {left, top, right - left, bottom - top};
    } else {
      rects.push_back(rect);
    }
    lastBox = piece.box;
  });
  return rects;
}

int32_t RangeGeometry::LineOfBox(int32_t box) const {
  for (int32_t b = box; b >= 0; b = layout_.boxes[static_cast<size_t>(b)].parent) {
    if (layout_.boxes[static_cast<size_t>(b)].kind == BoxKind::Line) return b;
  }
  return box;
}

int32_t RangeGeometry::CaretLine(int32_t position) const {
  const auto& order = layout_.runsByUnit;
  // A caret stands at the end of the run before it or in the run after it.
  auto k = static_cast<size_t>(FirstRunEndingAfter(position - 1));
  if (k < order.size()) {
    const TextRun& run = layout_.runs[static_cast<size_t>(order[k])];
    int32_t object = index_.BoxOfObjectUnit(position);
    if (object >= 0 && run.unitStart > position) return LineOfBox(object);
    return run.line;
  }
  int32_t object = index_.BoxOfObjectUnit(position - 1);
  if (object >= 0) return LineOfBox(object);
  return order.empty() ? -1 : layout_.runs[static_cast<size_t>(order.back())].line;
}

std::pair<int32_t, int32_t> RangeGeometry::Lines(int32_t start, int32_t end) const {
  if (start >= end) {
    int32_t line = CaretLine(start);
    return {line, line};
  }
  int32_t first = -1;
  int32_t last = -1;
  ForEachPiece(start, end, [&](const RangePiece& piece) {
    int32_t line = piece.run >= 0 ? piece.box : LineOfBox(piece.box);
    if (first < 0) first = line;
    last = line;
  });
  if (first < 0) return Lines(start, start);
  return {first, last};
}

Point ScrollIntoView(const LayoutTree& layout, ScrollOffsets& scrolls, int32_t target, bool alignToTop,
                     Point viewScroll, Point viewSize) {
  const Box& box = layout.boxes[static_cast<size_t>(target)];
  // The target's edge in the coordinates of the content around it, moving outwards.
  float edge = alignToTop ? box.border.y : box.border.Bottom();
  for (int32_t b = box.parent; b >= 0; b = layout.boxes[static_cast<size_t>(b)].parent) {
    const Box& container = layout.boxes[static_cast<size_t>(b)];
    if (!container.scrollContainer) continue;
    Rect port = container.PaddingBox();
    Point offset = scrolls.Of(container.node);
    offset.y = alignToTop ? edge - port.y : edge - port.Bottom();
    offset = ScrollOffsets::Clamped(container, offset);
    scrolls.Set(container.node, offset);
    edge -= offset.y;
  }
  Rect canvas = layout.Canvas();
  float y = alignToTop ? edge : edge - viewSize.y;
  return {viewScroll.x, std::clamp(y, 0.0F, std::max(0.0F, canvas.Bottom() - viewSize.y))};
}

}  // namespace lectryn::engine::layout
