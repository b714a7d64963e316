#pragma once
// Computes, for every node of a tree, the few style values the text model reads: the page's
// <style> sheets and style attributes over the defaults of each tag (the hidden attribute is
// display:none). visibility and white-space inherit; display does not.
#include <vector>

#include "engine/css/StyleSheet.h"
#include "engine/dom/Tree.h"

namespace lectryn::engine::css {


// One entry per node, indexed by NodeId (text nodes carry their parent's inherited values).
std::vector<ComputedStyle> ResolveStyles(const dom::Tree& tree);

}  // namespace lectryn::engine::css
