#pragma once
// The result of laying out one document at one viewport size: a tree of boxes (fragments) in
// pre-order, the text runs placed on their lines, and indexes from nodes and text-model units to
// both. A value: built once by the layout and only read after that. Positions are page coordinates
// as laid out; the scroll offsets of scroll containers and of the view are applied by whoever
// paints or hit-tests, never stored here.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dom/Tree.h"
#include "engine/layout/FontMetrics.h"
#include "engine/layout/Geometry.h"

namespace lectryn::engine::layout {

enum class BoxKind : uint8_t {
  Viewport,        // the root: the canvas, at least the viewport's size
  Block,           // a block-level box of an element: blocks, list items, tables, rows, cells, floats
  AnonymousBlock,  // inline content between blocks, table wrappers of stray cells
  Atomic,          // an atomic inline: inline-block, inline-table, images, controls, frames
  Inline,          // one fragment of an inline element on one line
  Line,            // a line box
};

enum class ReplacedKind : uint8_t { None, Image, Frame, Control };

struct Box {
  BoxKind kind = BoxKind::Block;
  ReplacedKind replaced = ReplacedKind::None;
  dom::NodeId node = dom::kNoNode;  // the element; kNoNode for the viewport, anonymous blocks, lines
  int32_t parent = -1;              // box index; -1 for the root
  int32_t end = 0;                  // index just past the last box of this one's subtree
  int32_t nextOfNode = -1;          // the next box of the same element (inline fragments), or -1
  Rect border;                      // the border box
  Edges borderWidths;
  Edges padding;
  Rect overflow;  // the border box united with every descendant's overflow (and text) it does not clip
  bool scrollContainer = false;  // overflow other than visible: clips, and scrolls its content
  float scrollWidth = 0;         // of a scroll container: its content's extent, at least its padding box
  float scrollHeight = 0;
  int32_t objectUnit = -1;   // the OBJECT unit of the text model that an image, control or frame stands for
  int32_t firstRun = -1;     // the text runs that stand on this line box: runs[firstRun, firstRun + runCount)
  int32_t runCount = 0;
  float baseline = 0;        // of a line box: the y of its baseline

  // The padding box and the content box, from the border box and the edges.
  Rect PaddingBox() const {
    return {border.x + borderWidths.left, border.y + borderWidths.top,
            border.w - borderWidths.left - borderWidths.right, border.h - borderWidths.top - borderWidths.bottom};
  }
  Rect ContentBox() const {
    Rect p = PaddingBox();
    return {p.x + padding.left, p.y + padding.top, p.w - padding.left - padding.right, p.h - padding.top - padding.bottom};
  }
};

// A piece of text set on one line in one font: a word, a space or a run of them. A list item's
// marker is a run too: unitStart -1, node and element the item, text "\u2022 ", "\u25E6 ", "\u25AA " or
// "3. ", standing left of the item's first line. Text under visibility:hidden has no runs (its
// line keeps the room).
struct TextRun {
  int32_t unitStart = -1;  // the text-model units it shows, [unitStart, unitEnd); -1 for text the
  int32_t unitEnd = -1;    // model does not hold (hidden text, list numbers, alt text)
  dom::NodeId node = dom::kNoNode;     // the text node, or the element of generated text
  dom::NodeId element = dom::kNoNode;  // the element whose style sets its font and colour
  int32_t line = -1;                   // the line box it stands on
  int32_t font = 0;                    // index into LayoutTree::fonts
  float x = 0;                         // pen start
  float width = 0;                     // advance
  float baseline = 0;                  // y of the baseline
  float top = 0;                       // the run's inline box: ascent above, descent below the baseline
  float height = 0;
  std::u16string text;  // what is drawn: unit for unit the model's units when unitStart >= 0
};

struct LayoutTree {
  float viewportWidth = 0;
  float viewportHeight = 0;
  std::vector<Box> boxes;                  // pre-order; boxes[0] is the viewport
  std::vector<TextRun> runs;               // in line order
  std::vector<int32_t> runsByUnit;         // indexes of runs with units, ordered by unitStart
  std::vector<int32_t> firstBoxOfNode;     // by NodeId: the element's first box, -1 when it has none
  std::vector<FontDescription> fonts;

  // The canvas extent (the viewport box's overflow): how far the view can scroll.
  Rect Canvas() const { return boxes.empty() ? Rect{} : boxes[0].overflow; }
  int32_t FirstBoxOf(dom::NodeId node) const {
    return node >= 0 && static_cast<size_t>(node) < firstBoxOfNode.size() ? firstBoxOfNode[static_cast<size_t>(node)] : -1;
  }
};

}  // namespace lectryn::engine::layout
