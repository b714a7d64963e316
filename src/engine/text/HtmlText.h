#pragma once
// The markup of a stretch of the text model: the nodes its units come from, clipped to it and
// wrapped in the inline elements around it up to the nearest block. Text is the rendered text
// (white space already collapsed), escaped; tag names are upper case.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/css/StyleResolver.h"
#include "engine/dom/Tree.h"
#include "engine/text/TextModel.h"

namespace lectryn::engine::text {

// `container` is the smallest element holding [start, end) (the range's parent element).
std::u16string HtmlText(const dom::Tree& tree, const std::vector<css::ComputedStyle>& styles,
                        const TextModel& model, int32_t start, int32_t end, dom::NodeId container);

// The markup of a node and its subtree, from the tree (source text, not collapsed).
std::u16string OuterHtml(const dom::Tree& tree, dom::NodeId node);

}  // namespace lectryn::engine::text
