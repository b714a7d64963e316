#pragma once
// The cascade: the computed style of every node of a tree, from the browser's default sheet,
// the old presentational attributes, the page's <style> sheets and style attributes, by
// origin, importance, specificity and order. Text nodes carry their parent's inherited values.
#include <vector>

#include "engine/css/ComputedStyle.h"
#include "engine/dom/Tree.h"

namespace lectryn::engine::css {

// One entry per node, indexed by NodeId.
std::vector<ComputedStyle> ResolveStyles(const dom::Tree& tree);

}  // namespace lectryn::engine::css
