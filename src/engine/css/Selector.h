#pragma once
// Selectors as the cascade matches them. Type, class and id are kept in lower case: matching
// ignores their case, as pages written for quirks mode expect.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lectryn::engine::css {

enum class Combinator : uint8_t { Descendant, Child, NextSibling, SubsequentSibling };

enum class AttributeOperator : uint8_t {
  Exists,     // [a]
  Equals,     // [a=v]
  Includes,   // [a~=v]: one of its space-separated words
  DashMatch,  // [a|=v]: v or v-...
  Prefix,     // [a^=v]
  Suffix,     // [a$=v]
  Contains,   // [a*=v]
};

struct AttributeSelector {
  std::string name;  // lower case
  AttributeOperator op = AttributeOperator::Exists;
  std::u16string value;
  bool ignoreCase = false;
};

enum class PseudoClass : uint8_t {
  Never,   // states we never have (:hover, :visited...) and pseudo-elements: valid, match nothing
  Always,  // :defined
  Link,    // an <a>, <area> or <link> with href
  Root,
  Empty,
  FirstChild,
  LastChild,
  OnlyChild,
  FirstOfType,
  LastOfType,
  OnlyOfType,
  NthChild,  // An+B of `a` and `b`
  NthLastChild,
  NthOfType,
  NthLastOfType,
  Checked,
  Disabled,
  Enabled,
  Not,  // none of `arguments`
  Is,   // any of `arguments` (also :where, :matches)
};

struct Compound;

struct PseudoSelector {
  PseudoClass kind = PseudoClass::Never;
  int32_t a = 0, b = 0;             // nth-*: matches index a*n + b for some n >= 0
  std::vector<Compound> arguments;  // :not and :is
};

// One compound selector, e.g. "div.note#main[title]:first-child".
struct Compound {
  std::string type;  // empty: any
  std::string id;
  std::vector<std::string> classes;
  std::vector<AttributeSelector> attributes;
  std::vector<PseudoSelector> pseudos;
  Combinator combinator = Combinator::Descendant;  // how it relates to the compound on its left
};

struct Selector {
  std::vector<Compound> compounds;  // left to right
  uint32_t specificity = 0;         // ids, classes, types in bytes 2, 1, 0
};

// Parses a selector list ("h1, div > p.note"). False when any selector of the list is invalid
// or uses something we do not read: browsers then drop the whole rule.
bool ParseSelectorList(std::string_view text, std::vector<Selector>& out);

}  // namespace lectryn::engine::css
