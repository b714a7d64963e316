#pragma once
// Lays out a document's rendered tree at a viewport size. Pure: the same input gives the same
// tree; the document caches the result per version and viewport width.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/dom/Tree.h"
#include "engine/layout/FontMetrics.h"
#include "engine/layout/LayoutTree.h"
#include "engine/text/TextModel.h"

namespace lectryn::engine::layout {

struct LayoutInput {
  const dom::Tree& tree;
  const std::vector<css::ComputedStyle>& styles;  // by NodeId
  const text::TextModel& model;                   // of the body: text runs show its units
  FontMetrics& metrics;
  float viewportWidth = 1000;  // CSS pixels
  float viewportHeight = 800;
  // The body's topMargin and leftMargin as a page wrote them (they win over its style sheets).
  std::optional<float> bodyMarginTop;
  std::optional<float> bodyMarginLeft;
};

std::shared_ptr<const LayoutTree> LayOut(const LayoutInput& input);

// The box tree as indented text, one box or run a line, for golden tests:
//   Block <p#id> 8,16 784x18 border 0,0,0,0 padding 0,0,0,0
//     Line 8,16 784x18 baseline 30.4
//       Text "Hello" 8,16 40x16 units 0-5
std::string DumpLayout(const LayoutTree& layout, const dom::Tree& tree);

}  // namespace lectryn::engine::layout
