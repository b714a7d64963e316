#pragma once
// A small CSS reader: the declarations of style attributes and the rules of <style> sheets that
// the text model needs. Selectors: type, class, id, universal, comma groups and the descendant
// combinator; a selector with anything else is skipped (the rest of its group still applies).
// Properties: display, visibility, white-space. Everything else is read past and dropped.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/css/ComputedStyle.h"

namespace lectryn::engine::css {

// The declared values of one block; Unset where the block says nothing (or nothing we read).
struct Declarations {
  Display display = Display::Unset;
  Visibility visibility = Visibility::Unset;
  WhiteSpace whiteSpace = WhiteSpace::Unset;
  bool displayImportant = false;
  bool visibilityImportant = false;
  bool whiteSpaceImportant = false;

  bool Empty() const {
    return display == Display::Unset && visibility == Visibility::Unset && whiteSpace == WhiteSpace::Unset;
  }
};

// One compound selector: optional type, id and classes (all lower case: matching ignores case,
// as pages written for quirks mode expect).
struct Compound {
  std::string type;  // empty: any
  std::string id;
  std::vector<std::string> classes;
};

struct Selector {
  std::vector<Compound> compounds;  // left to right, joined by the descendant combinator
  uint32_t specificity = 0;         // ids, classes, types in bytes 2, 1, 0
};

struct Rule {
  Selector selector;
  Declarations declarations;
  uint32_t order = 0;  // position among all rules of the page
};

// Parses the declarations of a style attribute or rule block: "display: none; color: red".
Declarations ParseDeclarations(std::string_view text);

// Appends the rules of a style sheet; `order` numbers them on from its value.
void ParseStyleSheet(std::string_view text, std::vector<Rule>& rules, uint32_t& order);

}  // namespace lectryn::engine::css
