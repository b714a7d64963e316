#include "engine/layout/HitTest.h"

namespace lectryn::engine::layout {
namespace {

struct Context {
  int32_t end;  // the box index where this context's subtree ends
  Point shift;  // scroll offsets of the containers around the boxes inside
  bool inFlowOrder;
};

bool Visible(const HitTestInput& input, dom::NodeId node) {
  return node >= 0 && input.tree[node].IsElement() &&
         input.styles[static_cast<size_t>(node)].visibility != css::Visibility::Hidden;
}

// The element of the text under the point on a line, or kNoNode.
dom::NodeId HitRun(const HitTestInput& input, const Box& line, Point p) {
  dom::NodeId hit = dom::kNoNode;
  for (int32_t r = line.firstRun; r < line.firstRun + line.runCount; ++r) {
    const TextRun& run = input.layout.runs[static_cast<size_t>(r)];
    if (p.x < run.x || p.x >= run.x + run.width) continue;
    dom::NodeId element = run.element;
    if (element < 0 && run.node >= 0) element = input.tree[run.node].parent;
    if (Visible(input, element)) hit = element;
  }
  return hit;
}

}  // namespace

dom::NodeId HitTest(const HitTestInput& input, Point page) {
  const auto& boxes = input.layout.boxes;
  const auto count = static_cast<int32_t>(boxes.size());
  dom::NodeId hit = dom::kNoNode;
  std::vector<Context> stack;
  stack.push_back({count, {}, false});
  int32_t i = 0;
  while (i < count) {
    while (stack.size() > 1 && stack.back().end <= i) stack.pop_back();
    const Context& context = stack.back();
    const Box& box = boxes[static_cast<size_t>(i)];
    Point p{page.x + context.shift.x, page.y + context.shift.y};
    if (context.inFlowOrder && box.overflow.y > p.y) {
      i = context.end;  // this sibling and all later ones start below the point
      continue;
    }
    if (i > 0 && !box.overflow.Contains(p.x, p.y)) {
      i = box.end;
      continue;
    }
    if (box.border.Contains(p.x, p.y)) {
      if (box.kind == BoxKind::Line) {
        dom::NodeId element = HitRun(input, box, p);
        if (element != dom::kNoNode) hit = element;
      } else if (Visible(input, box.node)) {
        hit = box.node;
      }
    }
    if (box.end <= i + 1) {
      ++i;
      continue;
    }
    if (box.scrollContainer && !box.PaddingBox().Contains(p.x, p.y)) {
      i = box.end;  // its content is clipped away here
      continue;
    }
    Point shift = context.shift;
    if (box.scrollContainer) {
      Point offset = input.scrolls.Of(box.node);
      shift = {shift.x + offset.x, shift.y + offset.y};
    }
    bool inFlowOrder = input.index.ChildrenInFlowOrder(i);
    int32_t first = inFlowOrder ? input.index.FirstChildReaching(i, page.y + shift.y) : i + 1;
    stack.push_back({box.end, shift, inFlowOrder});
    i = first < 0 ? box.end : first;
  }
  return hit;
}

}  // namespace lectryn::engine::layout
