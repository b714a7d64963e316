#include "engine/css/StyleResolver.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>

#include "platform/Text.h"

namespace lectryn::engine::css {
namespace {

using dom::kNoNode;
using dom::NodeId;
using dom::Tree;

std::string LowerUtf8(const std::u16string& text) {
  std::string result = platform::ToUtf8(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

Display DefaultDisplay(const dom::Node& node) {
  if (node.Has(dom::kTagCell)) return Display::TableCell;
  if (node.Has(dom::kTagRow)) return Display::TableRow;
  if (node.Has(dom::kTagListItem)) return Display::ListItem;
  if (node.name == "table") return Display::Table;
  if (node.Has(dom::kTagBlock)) return Display::Block;
  return Display::Inline;
}

struct Keys {
  std::string id;
  std::vector<std::string> classes;
};

bool MatchesCompound(const Compound& compound, const dom::Node& node, const Keys& keys) {
  if (!compound.type.empty() && compound.type != node.name) return false;
  if (!compound.id.empty() && compound.id != keys.id) return false;
  for (const std::string& name : compound.classes) {
    if (std::find(keys.classes.begin(), keys.classes.end(), name) == keys.classes.end()) return false;
  }
  return true;
}

class Matcher {
 public:
  Matcher(const Tree& tree, std::vector<Rule> rules)
      : tree_(tree), rules_(std::move(rules)), keys_(tree.Size()) {
    for (size_t i = 0; i < rules_.size(); ++i) {
      const Compound& last = rules_[i].selector.compounds.back();
      if (!last.id.empty())
        byId_[last.id].push_back(i);
      else if (!last.classes.empty())
        byClass_[last.classes.front()].push_back(i);
      else if (!last.type.empty())
        byType_[last.type].push_back(i);
      else
        universal_.push_back(i);
    }
    for (NodeId id = 0; id < tree.Size(); ++id) {
      if (!tree[id].IsElement()) continue;
      if (const auto* value = tree.AttributeValue(id, "id")) keys_[id].id = LowerUtf8(*value);
      if (const auto* value = tree.AttributeValue(id, "class")) {
        std::string all = LowerUtf8(*value);
        size_t i = 0;
        while (i < all.size()) {
          while (i < all.size() && std::isspace(static_cast<unsigned char>(all[i])) != 0) ++i;
          size_t begin = i;
          while (i < all.size() && std::isspace(static_cast<unsigned char>(all[i])) == 0) ++i;
          if (i > begin) keys_[id].classes.push_back(all.substr(begin, i - begin));
        }
      }
    }
  }

  // Appends the rules matching the element.
  void Match(NodeId element, std::vector<const Rule*>& matched) const {
    const Keys& keys = keys_[element];
    auto consider = [&](const std::vector<size_t>& bucket) {
      for (size_t index : bucket) {
        if (Matches(rules_[index].selector, element)) matched.push_back(&rules_[index]);
      }
    };
    if (!keys.id.empty()) {
      if (auto it = byId_.find(keys.id); it != byId_.end()) consider(it->second);
    }
    for (const std::string& name : keys.classes) {
      if (auto it = byClass_.find(name); it != byClass_.end()) consider(it->second);
    }
    if (auto it = byType_.find(tree_[element].name); it != byType_.end()) consider(it->second);
    consider(universal_);
  }

 private:
  // Right to left; with only descendant combinators the nearest matching ancestor is the best.
  bool Matches(const Selector& selector, NodeId element) const {
    const auto& compounds = selector.compounds;
    if (!MatchesCompound(compounds.back(), tree_[element], keys_[element])) return false;
    NodeId node = tree_[element].parent;
    for (size_t k = compounds.size() - 1; k-- > 0;) {
      while (node != kNoNode &&
             !(tree_[node].IsElement() && MatchesCompound(compounds[k], tree_[node], keys_[node]))) {
        node = tree_[node].parent;
      }
      if (node == kNoNode) return false;
      node = tree_[node].parent;
    }
    return true;
  }

  const Tree& tree_;
  std::vector<Rule> rules_;
  std::vector<Keys> keys_;
  std::unordered_map<std::string, std::vector<size_t>> byId_, byClass_, byType_;
  std::vector<size_t> universal_;
};

std::vector<Rule> CollectRules(const Tree& tree) {
  std::vector<Rule> rules;
  uint32_t order = 0;
  for (NodeId id = tree.Root(); id != kNoNode; id = tree.Next(id, tree.Root())) {
    const dom::Node& node = tree[id];
    if (!node.IsElement() || !node.Has(dom::kTagStyle)) continue;
    if (const auto* media = tree.AttributeValue(id, "media")) {
      std::string value = LowerUtf8(*media);
      if (!value.empty() && value.find("screen") == std::string::npos &&
          value.find("all") == std::string::npos)
        continue;
    }
    std::u16string text;
    for (NodeId child = node.firstChild; child != kNoNode; child = tree[child].nextSibling) {
      if (tree[child].kind == dom::NodeKind::Text) text += tree[child].text;
    }
    ParseStyleSheet(platform::ToUtf8(text), rules, order);
  }
  return rules;
}

// Priority of a declaration: important first, then the style attribute, then specificity, order.
using Priority = std::tuple<bool, bool, uint32_t, uint32_t>;

template <class Enum>
void Cascade(Enum value, bool important, const Priority& priority, Enum& target, Priority& best) {
  if (value == Enum::Unset) return;
  Priority candidate = priority;
  std::get<0>(candidate) = important;
  if (target != Enum::Unset && candidate < best) return;
  target = value;
  best = candidate;
}

}  // namespace

std::vector<ComputedStyle> ResolveStyles(const Tree& tree) {
  std::vector<ComputedStyle> styles(static_cast<size_t>(tree.Size()));
  std::vector<Rule> rules = CollectRules(tree);
  std::unique_ptr<Matcher> matcher =
      rules.empty() ? nullptr : std::make_unique<Matcher>(tree, std::move(rules));
  std::vector<const Rule*> matched;
  for (NodeId id = tree.Root(); id != kNoNode; id = tree.Next(id, tree.Root())) {
    const dom::Node& node = tree[id];
    ComputedStyle& style = styles[id];
    if (node.parent != kNoNode) {
      style.visibility = styles[node.parent].visibility;
      style.whiteSpace = styles[node.parent].whiteSpace;
    }
    if (!node.IsElement()) {
      style.display = Display::Inline;
      continue;
    }
    Declarations declared;
    Priority displayBest, visibilityBest, whiteSpaceBest;
    auto apply = [&](const Declarations& d, const Priority& priority) {
      Cascade(d.display, d.displayImportant, priority, declared.display, displayBest);
      Cascade(d.visibility, d.visibilityImportant, priority, declared.visibility, visibilityBest);
      Cascade(d.whiteSpace, d.whiteSpaceImportant, priority, declared.whiteSpace, whiteSpaceBest);
    };
    if (matcher) {
      matched.clear();
      matcher->Match(id, matched);
      for (const Rule* rule : matched)
        apply(rule->declarations, Priority{false, false, rule->selector.specificity, rule->order});
    }
    if (const auto* inlineStyle = tree.AttributeValue(id, "style")) {
      apply(ParseDeclarations(platform::ToUtf8(*inlineStyle)), Priority{false, true, 0, 0});
    }
    style.display = declared.display != Display::Unset ? declared.display : DefaultDisplay(node);
    if (tree.AttributeValue(id, "hidden") != nullptr) style.display = Display::None;
    if (node.Has(dom::kTagInput)) {
      const auto* type = tree.AttributeValue(id, "type");
      if (type != nullptr && platform::EqualsIgnoringAsciiCase(*type, u"hidden"))
        style.display = Display::None;
    }
    if (declared.visibility != Visibility::Unset) style.visibility = declared.visibility;
    if (declared.whiteSpace != WhiteSpace::Unset)
      style.whiteSpace = declared.whiteSpace;
    else if (node.Has(dom::kTagPre))
      style.whiteSpace = WhiteSpace::Pre;
  }
  return styles;
}

}  // namespace lectryn::engine::css
