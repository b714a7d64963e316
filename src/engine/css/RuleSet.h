#pragma once
// The rules of one origin (the browser's defaults or the page's sheets), filed by the rightmost
// compound's id, class, type or attribute name, so that an element is tested only against the
// rules that can match it.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/css/SelectorMatcher.h"
#include "engine/css/StyleSheet.h"

namespace lectryn::engine::css {

class RuleSet {
 public:
  RuleSet() = default;
  explicit RuleSet(StyleSheet sheet);

  bool Empty() const { return sheet_.rules.empty(); }
  const DeclarationBlock& Block(const Rule& rule) const { return sheet_.blocks[rule.block]; }

  // Appends the rules that match the element, in no particular order.
  void Match(SelectorMatcher& matcher, const dom::Tree& tree, dom::NodeId element,
             std::vector<const Rule*>& out) const;

 private:
  using Bucket = std::vector<uint32_t>;  // indices into sheet_.rules
  void Consider(const Bucket& bucket, SelectorMatcher& matcher, dom::NodeId element,
                std::vector<const Rule*>& out) const;

  StyleSheet sheet_;
  std::unordered_map<std::string, Bucket> byId_, byClass_, byType_, byAttribute_;
  Bucket universal_;
};

}  // namespace lectryn::engine::css
