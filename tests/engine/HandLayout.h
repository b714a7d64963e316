#pragma once
// Layouts written by hand for geometry tests: 16px text whose characters are 8px wide, as
// FixedFontMetrics measures it.
#include <algorithm>
#include <string>

#include "engine/layout/LayoutTree.h"

namespace lectryn::engine::layout {

// Builds a LayoutTree box by box in pre-order; Finish() fills ends, overflow and indexes.
class HandLayout {
 public:
  HandLayout() { layout.fonts.push_back({"", 16, 400, false}); }

  int32_t Add(BoxKind kind, int32_t parent, dom::NodeId node, Rect border) {
    Box box;
    box.kind = kind;
    box.parent = parent;
    box.node = node;
    box.border = border;
    layout.boxes.push_back(box);
    return static_cast<int32_t>(layout.boxes.size() - 1);
  }
  // A run of 8px characters on a line box, units from `unitStart` on.
  void Run(int32_t line, int32_t unitStart, std::u16string text, float x, dom::NodeId element) {
    Box& box = layout.boxes[static_cast<size_t>(line)];
    if (box.firstRun < 0) box.firstRun = static_cast<int32_t>(layout.runs.size());
    ++box.runCount;
    TextRun run;
    run.unitStart = unitStart;
    run.unitEnd = unitStart + static_cast<int32_t>(text.size());
    run.element = element;
    run.line = line;
    run.x = x;
    run.width = 8.0F * static_cast<float>(text.size());
    run.top = box.border.y;
    run.height = 16;
    run.baseline = box.border.y + 12.8F;
    run.text = std::move(text);
    layout.runs.push_back(run);
  }
  const LayoutTree& Finish(size_t nodes) {
    auto& boxes = layout.boxes;
    layout.firstBoxOfNode.assign(nodes, -1);
    for (size_t i = 0; i < boxes.size(); ++i) {
      boxes[i].end = static_cast<int32_t>(i + 1);
      boxes[i].overflow = boxes[i].border;
      dom::NodeId node = boxes[i].node;
      if (node >= 0 && layout.firstBoxOfNode[static_cast<size_t>(node)] < 0)
        layout.firstBoxOfNode[static_cast<size_t>(node)] = static_cast<int32_t>(i);
    }
    for (size_t i = boxes.size(); i-- > 1;) {
      Box& parent = boxes[static_cast<size_t>(boxes[i].parent)];
      parent.end = std::max(parent.end, boxes[i].end);
      if (!parent.scrollContainer) parent.overflow = parent.overflow.United(boxes[i].overflow);
    }
    for (size_t r = 0; r < layout.runs.size(); ++r) {
      if (layout.runs[r].unitStart >= 0) layout.runsByUnit.push_back(static_cast<int32_t>(r));
    }
    return layout;
  }
  LayoutTree layout;
};

}  // namespace lectryn::engine::layout
