#pragma once
// HTML parsing (the HTML5 parsing algorithm, by gumbo) into our own tree. Any byte sequence
// parses; invalid UTF-8 becomes U+FFFD. Comments are left out: nothing of ours reads them.
#include <string_view>
#include <vector>

#include "engine/dom/Tree.h"

namespace lectryn::engine::dom {

// Parses a whole document into `tree` under its document node.
void ParseDocument(std::string_view utf8Html, Tree& tree);

// Parses markup as the content of a body element (the HTML fragment parsing algorithm) and
// returns the new top-level nodes, created in `tree` but not yet attached.
std::vector<NodeId> ParseBodyFragment(std::string_view utf8Html, Tree& tree);

}  // namespace lectryn::engine::dom
