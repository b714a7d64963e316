#include "engine/css/RuleSet.h"

namespace lectryn::engine::css {

RuleSet::RuleSet(StyleSheet sheet) : sheet_(std::move(sheet)) {
  for (uint32_t i = 0; i < sheet_.rules.size(); ++i) {
    const Compound& last = sheet_.rules[i].selector.compounds.back();
    if (!last.id.empty())
      byId_[last.id].push_back(i);
    else if (!last.classes.empty())
      byClass_[last.classes.front()].push_back(i);
    else if (!last.type.empty())
      byType_[last.type].push_back(i);
    else if (!last.attributes.empty())
      byAttribute_[last.attributes.front().name].push_back(i);
    else
      universal_.push_back(i);
  }
}

void RuleSet::Match(SelectorMatcher& matcher, const dom::Tree& tree, dom::NodeId element,
                    std::vector<const Rule*>& out) const {
  if (Empty()) return;
  auto consider = [&](const std::unordered_map<std::string, Bucket>& buckets, const std::string& key) {
    if (buckets.empty()) return;
    if (auto it = buckets.find(key); it != buckets.end()) Consider(it->second, matcher, element, out);
  };
  if (!byId_.empty() || !byClass_.empty()) {
    const ElementKeys& keys = matcher.Keys(element);
    if (!keys.id.empty()) consider(byId_, keys.id);
    for (const std::string& name : keys.classes) consider(byClass_, name);
  }
  consider(byType_, tree[element].name);
  if (!byAttribute_.empty()) {
    for (const dom::Attribute& attribute : tree[element].attributes) consider(byAttribute_, attribute.name);
  }
  Consider(universal_, matcher, element, out);
}

void RuleSet::Consider(const Bucket& bucket, SelectorMatcher& matcher, dom::NodeId element,
                       std::vector<const Rule*>& out) const {
  for (uint32_t index : bucket) {
    const Rule& rule = sheet_.rules[index];
    if (matcher.Matches(rule.selector, element)) out.push_back(&rule);
  }
}

}  // namespace lectryn::engine::css
