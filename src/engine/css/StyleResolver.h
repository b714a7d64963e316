#pragma once
// The cascade: the computed style of every node of a tree, from the browser's default sheet,
// the old presentational attributes, the page's <style> sheets and style attributes, by
// origin, importance, specificity and order. Text nodes carry their parent's inherited values.
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/css/MediaQuery.h"
#include "engine/css/StyleSheet.h"
#include "engine/dom/Tree.h"

namespace lectryn::engine::css {

// What resolved styles took from the view: the media queries read, and whether a length was in
// viewport units.
struct ViewDependence {
  std::vector<MediaAnswer> media;
  bool viewportUnits = false;
  // Whether styles resolved for `from` may differ for `to`.
  bool Differs(const MediaView& from, const MediaView& to) const;
};

// One entry per node, indexed by NodeId, for a view of the given size; `dependence`, when given,
// learns what of the view they depend on.
std::vector<ComputedStyle> ResolveStyles(const dom::Tree& tree, const MediaView& view = {},
                                         ViewDependence* dependence = nullptr);

}  // namespace lectryn::engine::css
