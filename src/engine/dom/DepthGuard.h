#pragma once
// Keeps markup from nesting deeper than the parser can handle in reasonable time. The HTML tree
// builder scans its stack of open elements for most start tags, so a page of 100 000 nested
// elements costs it quadratic time. Like other engines we cap the nesting depth: start tags
// beyond the cap (and their matching end tags) are left out, so deeper content joins the element
// at the cap. Formatting elements (b, i, font...) have a cap of their own: the tree builder
// re-opens all of them in every following paragraph, so a few hundred of them would make a small
// page of millions of nodes. Only tags are left out, never text. The depth is estimated with a
// light tag scanner; ordinary pages pass unchanged.
#include <cstddef>
#include <string>
#include <string_view>

namespace lectryn::engine::dom {

inline constexpr size_t kMaxNestingDepth = 512;
inline constexpr size_t kMaxOpenFormatting = 12;

// Returns true and fills `out` when the markup had to be changed; false when it is fine as is.
bool LimitNesting(std::string_view markup, std::string& out, size_t maxDepth = kMaxNestingDepth);

}  // namespace lectryn::engine::dom
