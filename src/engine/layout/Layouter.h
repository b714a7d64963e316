#pragma once
// The layout of one document: walks the rendered tree once, top down, and writes the boxes of a
// LayoutTree in pre-order with page coordinates as it goes. Block flow, inline formatting, tables
// and intrinsic widths call each other, so they are one class whose members live in
// BlockLayout.cpp, InlineLayout.cpp, TableLayout.cpp and IntrinsicWidths.cpp.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/layout/FloatContext.h"
#include "engine/layout/Layout.h"

namespace lectryn::engine::layout {

// Adjoining vertical margins, collapsed as they meet: the largest positive plus the most negative.
struct MarginStrut {
  float positive = 0;
  float negative = 0;
  void Add(float margin) {
    if (margin > 0)
      positive = std::max(positive, margin);
    else
      negative = std::min(negative, margin);
  }
  void Add(const MarginStrut& other) {
    positive = std::max(positive, other.positive);
    negative = std::min(negative, other.negative);
  }
  float Sum() const { return positive + negative; }
};

// The in-flow state of a sequence of block-level boxes: the bottom of the last content and the
// margins that still hang below it, unresolved until content or a border follows.
struct BlockFlow {
  float cursorY = 0;  // page y
  MarginStrut strut;
  std::optional<float> firstContentY;  // where the strut was first resolved in this flow

  float Resolve() {
    cursorY += strut.Sum();
    strut = {};
    if (!firstContentY) firstContentY = cursorY;
    return cursorY;
  }
  float Pending() const { return cursorY + strut.Sum(); }
};

// The containing block of the boxes being laid out: its content box in page coordinates.
struct Containing {
  float x = 0;
  float width = 0;
  std::optional<float> height;  // definite content height, for percentages
};

// The part of a line's leading that goes above the text: half of it, rounded down to a whole
// pixel as browsers do (on their 1/64 px grid, so that float noise does not cost a pixel).
inline float HalfLeadingAbove(float leading) {
  return std::floor(std::round(leading * 64) / 128);
}

struct IntrinsicWidths {
  float min = 0;  // min-content width of the border box
  float max = 0;  // max-content width of the border box
};

class Layouter {
 public:
  explicit Layouter(const LayoutInput& input);
  std::shared_ptr<const LayoutTree> Run();

 private:
  // Layouter.cpp: output, fonts, styles.
  const css::ComputedStyle& Style(dom::NodeId node) const { return input_.styles[static_cast<size_t>(node)]; }
  int32_t OpenBox(BoxKind kind, dom::NodeId node, int32_t parent);
  void CloseBox(int32_t box) { Out(box).end = static_cast<int32_t>(out_->boxes.size()); }
  Box& Out(int32_t box) { return out_->boxes[static_cast<size_t>(box)]; }
  void Translate(int32_t firstBox, int32_t endBox, float dx, float dy);
  int32_t FontOf(dom::NodeId element);
  const FontDescription& Font(int32_t font) const { return out_->fonts[static_cast<size_t>(font)]; }
  VerticalMetrics Vertical(int32_t font);
  float LineHeightOf(dom::NodeId element);
  float Measure(int32_t font, std::u16string_view text);
  static float Clamp(float pixels);  // finite, within +-kMaxSize
  static Edges BorderOf(const css::ComputedStyle& style);
  // An element's border widths as laid out: its own, or its share of a collapsed table border.
  Edges BordersOf(dom::NodeId node);
  static Edges PaddingOf(const css::ComputedStyle& style, float base);
  static Edges MarginOf(const css::ComputedStyle& style, float base);
  bool BlockLevel(dom::NodeId node) const;
  bool OutOfFlow(dom::NodeId node) const;
  bool Rendered(dom::NodeId node) const;
  bool Blank(dom::NodeId node) const;  // white space that shows nothing between blocks
  void Finish();

  // BlockLayout.cpp: block formatting.
  void LayOutRoot();
  // Lays out a block-level box and its content in `flow`; a formatting context root laid out by
  // its parent (float, inline-block, cell) passes its kind and border-box width.
  // A flex item passes its border-box height when its line or its container decided it.
  int32_t LayOutBlock(dom::NodeId node, int32_t parentBox, const Containing& cb, BlockFlow& flow,
                      BoxKind kind = BoxKind::Block, std::optional<float> borderBoxWidth = {},
                      std::optional<float> borderBoxHeight = {});
  void LayOutChildren(dom::NodeId node, int32_t box, const Containing& cb, BlockFlow& flow);
  float UsedWidth(const css::ComputedStyle& style, float available, const Edges& border, const Edges& padding,
                  float marginLeft, float marginRight, float* leftOut);
  std::optional<float> UsedHeight(const css::ComputedStyle& style, const Containing& cb, const Edges& border,
                                  const Edges& padding) const;
  float ClampHeight(const css::ComputedStyle& style, const Containing& cb, float height) const;
  bool EstablishesContext(dom::NodeId node) const;
  // A float or an inline-block: a formatting context root of shrink-to-fit width at (x, y).
  int32_t LayOutContextRoot(dom::NodeId node, int32_t parentBox, BoxKind kind, float x, float y,
                            const Containing& cb, float* marginBoxWidth, float* marginBoxHeight);
  float ShrinkToFitWidth(dom::NodeId node, float available);
  void LayOutFloat(dom::NodeId node, int32_t parentBox, const Containing& cb, float top);
  void LayOutAbsolute(dom::NodeId node, int32_t parentBox, const Containing& cb, float staticY);
  // Moves the absolute boxes waiting on the innermost positioned ancestor, just closed, to their offsets.
  void PlaceAbsolutes();
  void ApplyRelative(dom::NodeId node, int32_t box, const Containing& cb);
  void StartListItem(dom::NodeId node, float contentX);
  // The waiting marker's run on `line`, baseline at 0.
  TextRun MarkerRun(int32_t line);
  // A list item whose content made no line still shows its marker on a line of its own.
  void LayOutMarkerLine(dom::NodeId item, int32_t box, const Containing& cb, BlockFlow& flow);

  // InlineLayout.cpp: inline formatting of the inline-level children [first, last] of `container`.
  // In an anonymous block box when `anonymous` (inline content beside blocks), made only when the
  // content makes lines.
  void LayOutInline(dom::NodeId first, dom::NodeId last, int32_t parentBox, const Containing& cb,
                    BlockFlow& flow, bool anonymous);
  // Min- and max-content widths of inline content: the inline-level children [first, last].
  IntrinsicWidths IntrinsicOfInline(dom::NodeId first, dom::NodeId last);
  // ReplacedLayout.cpp: the size of an image, control or frame's content box.
  void ReplacedSize(dom::NodeId node, const Containing& cb, float* width, float* height);
  ReplacedKind ReplacedKindOf(dom::NodeId node) const;
  bool AltTextBox(dom::NodeId node) const;  // an image shown as its alternative text
  // The baseline of a replaced element that shows text, from the top of its border box.
  std::optional<float> ReplacedBaseline(dom::NodeId node, float borderBoxHeight);

  // FlexLayout.cpp
  // A point the layout can go back to, to lay flex items out again once their sizes are known.
  struct Checkpoint {
    size_t boxes = 0;
    size_t runs = 0;
    size_t counterLog = 0;
  };
  Checkpoint Mark() const { return {out_->boxes.size(), out_->runs.size(), counterLog_.size()}; }
  void Rollback(const Checkpoint& mark);
  bool DependsOnHeight(dom::NodeId node) const;
  // A flex or grid item made of the text [first, last]: an anonymous block at (x, top); returns its
  // height, its boxes in [*box, *boxEnd) (both -1 when it made no line).
  float LayOutAnonymousItem(dom::NodeId first, dom::NodeId last, int32_t parentBox, float x, float width, float top,
                            std::optional<float> height, int32_t* box, int32_t* boxEnd);  // a flex item that is laid out again when stretched
  void LayOutFlex(dom::NodeId node, int32_t box, const Containing& content, BlockFlow& flow);
  IntrinsicWidths IntrinsicOfFlex(dom::NodeId node);

  // GridLayout.cpp
  struct GridPlan;
  void PlanGrid(dom::NodeId node, float width, std::optional<float> height, GridPlan& plan);
  void LayOutGrid(dom::NodeId node, int32_t box, const Containing& content, BlockFlow& flow);
  IntrinsicWidths IntrinsicOfGrid(dom::NodeId node);

  // TableLayout.cpp
  void LayOutTable(dom::NodeId node, int32_t box, const Containing& content, BlockFlow& flow);

  // IntrinsicWidths.cpp
  IntrinsicWidths Intrinsic(dom::NodeId node);
  IntrinsicWidths IntrinsicOfContent(dom::NodeId node);
  IntrinsicWidths IntrinsicOfTable(dom::NodeId node);

  friend class InlineFormatter;
  friend class TableFormatter;

  const LayoutInput& input_;
  const dom::Tree& tree_;
  std::shared_ptr<LayoutTree> out_;
  std::vector<int32_t> lastBoxOfNode_;
  std::vector<int32_t> fontOfNode_;
  std::vector<std::pair<int32_t, int32_t>> unitsOfText_;  // by NodeId: a text node's units [first, end)
  std::unordered_map<dom::NodeId, IntrinsicWidths> intrinsic_;
  std::unordered_map<dom::NodeId, int32_t> listCounters_;
  std::unordered_map<dom::NodeId, Edges> collapsedBorders_;  // of the cells and tables of collapsed tables
  std::unordered_set<dom::NodeId> collapsedTables_;
  // While flex items may be laid out again: each list counter's value before it changed.
  std::vector<std::pair<dom::NodeId, std::optional<int32_t>>> counterLog_;
  int flexNesting_ = 0;
  int64_t relayoutBudget_ = 0;  // boxes that may still be laid out a second time, so nesting stays linear
  std::vector<VerticalMetrics> vertical_;  // by font
  FloatContext* floats_ = nullptr;         // of the formatting context being laid out
  bool insideModel_ = false;               // inside the text model's root: its text comes from the model
  int depth_ = 0;                          // nesting of formatting contexts, bounded
  struct Marker {
    dom::NodeId item = dom::kNoNode;
    std::u16string text;
    float contentX = 0;
  };
  std::optional<Marker> marker_;  // the list marker waiting for its item's first line
  // The positioned block boxes open now, innermost last: the containing blocks of absolute boxes
  // with offsets, which are placed once the ancestor's padding box is final.
  struct PositionedAncestor {
    int32_t box = -1;
    float paddingX = 0;  // of its padding box, known when it opens
    float paddingWidth = 0;
    std::vector<int32_t> absolutes;
  };
  std::vector<PositionedAncestor> positioned_;

 public:
  static constexpr int kMaxDepth = 600;    // beyond this, boxes are laid out without content
  static constexpr float kMaxSize = 1e7F;  // every length is clamped to this many pixels
};

}  // namespace lectryn::engine::layout
