#pragma once
// Matches selectors against the elements of one tree. An element's id and classes are read
// once, in lower case, when first asked for; positions among siblings are counted on the first
// :nth-* test.
#include <string>
#include <vector>

#include "engine/css/Selector.h"
#include "engine/dom/Tree.h"

namespace lectryn::engine::css {

struct ElementKeys {
  std::string id;                    // lower case; empty when there is none
  std::vector<std::string> classes;  // lower case
};

class SelectorMatcher {
 public:
  explicit SelectorMatcher(const dom::Tree& tree);

  const ElementKeys& Keys(dom::NodeId element);
  bool Matches(const Selector& selector, dom::NodeId element);

 private:
  // Right to left, with the usual shortcuts: a failed descendant or sibling search need not be
  // retried from a farther ancestor or sibling, which keeps long pages linear.
  enum class Result { Matches, FailsLocally, FailsAllSiblings, FailsCompletely };
  Result MatchFrom(const Selector& selector, size_t index, dom::NodeId element);
  bool MatchesCompound(const Compound& compound, dom::NodeId element);
  bool MatchesPseudo(const PseudoSelector& pseudo, dom::NodeId element);
  bool MatchesAttribute(const AttributeSelector& attribute, dom::NodeId element) const;

  dom::NodeId ParentElement(dom::NodeId node) const;
  dom::NodeId PreviousElement(dom::NodeId node) const;
  dom::NodeId NextElement(dom::NodeId node) const;
  // 1-based position among element siblings, from the first or from the last.
  int32_t Position(dom::NodeId element, bool fromEnd);
  int32_t PositionOfType(dom::NodeId element, bool fromEnd) const;

  const dom::Tree& tree_;
  std::vector<ElementKeys> keys_;
  std::vector<bool> keysRead_;
  std::vector<int32_t> position_, positionFromEnd_;  // filled on first use
};

}  // namespace lectryn::engine::css
