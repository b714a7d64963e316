#pragma once
// Turns a cached layout into the display list of one area of the page: backgrounds, borders,
// text, list markers, image and control boxes, frames' pages and the selection, in painting order.
// Subtrees whose overflow misses the area are skipped, so one screenful of a long page is cheap.
#include <functional>
#include <optional>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/dom/Tree.h"
#include "engine/layout/DisplayList.h"
#include "engine/layout/FontMetrics.h"
#include "engine/layout/GeometryIndex.h"
#include "engine/layout/LayoutTree.h"
#include "engine/layout/ScrollOffsets.h"
#include "engine/text/TextModel.h"

namespace lectryn::engine::layout {

struct PaintInput {
  const LayoutTree& layout;
  const GeometryIndex& index;
  const dom::Tree& tree;
  const std::vector<css::ComputedStyle>& styles;  // by NodeId
  FontMetrics& metrics;                           // the layout's, for parts of runs
  const ScrollOffsets& scrolls;
  std::optional<text::Span> selection;  // units of the layout's text model
  SelectionColors colors;
  // Adds a frame's page, given the frame's content box and the area, both in page coordinates.
  std::function<void(dom::NodeId frame, const Rect& contentBox, const Rect& area, DisplayList& out)>
      paintFrame;
};

class DisplayListBuilder {
 public:
  explicit DisplayListBuilder(const PaintInput& input);
  DisplayList Build(const Rect& area);  // page coordinates

 private:
  void PaintBox(const Box& box, Point shift);
  void PaintBackgroundAndBorder(const Box& box, const css::ComputedStyle& style, const Rect& border);
  void PaintReplaced(const Box& box, const Rect& border, Point shift);
  void PaintControlLabel(const Box& box, const Rect& content);
  void PaintLine(const Box& line, Point shift);
  void PaintRun(const TextRun& run, Point shift);
  void PaintSelectedRun(const TextRun& run, const TextItem& item, int32_t from, int32_t to);
  bool Selected(int32_t unit) const;
  const css::ComputedStyle* StyleOf(dom::NodeId node) const;

  const PaintInput& input_;
  Rect area_;
  DisplayList list_;
  dom::NodeId canvasElement_ = dom::kNoNode;  // whose background became the canvas
  std::vector<float> carets_;
};

// An item moved by dx, dy.
DisplayItem Translated(DisplayItem item, float dx, float dy);

}  // namespace lectryn::engine::layout
