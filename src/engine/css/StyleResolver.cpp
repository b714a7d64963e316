#include "engine/css/StyleResolver.h"

#include <algorithm>

#include "engine/css/MediaQuery.h"
#include "engine/css/PresentationalHints.h"
#include "engine/css/RuleSet.h"
#include "engine/css/StyleBuilder.h"
#include "engine/css/UserAgentSheet.h"
#include "platform/Text.h"

namespace lectryn::engine::css {
namespace {

using dom::kNoNode;
using dom::NodeId;
using dom::Tree;

// The page's own sheets: every <style> whose media hold for the screen, in document order.
StyleSheet AuthorSheet(const Tree& tree) {
  StyleSheet sheet;
  for (NodeId id = tree.Root(); id != kNoNode; id = tree.Next(id, tree.Root())) {
    const dom::Node& node = tree[id];
    if (!node.IsElement() || !node.Has(dom::kTagStyle)) continue;
    if (const auto* media = tree.AttributeValue(id, "media");
        media != nullptr && !MatchesMedia(platform::ToUtf8(*media)))
      continue;
    std::u16string text;
    for (NodeId child = node.firstChild; child != kNoNode; child = tree[child].nextSibling) {
      if (tree[child].kind == dom::NodeKind::Text) text += tree[child].text;
    }
    ParseStyleSheet(platform::ToUtf8(text), sheet);
  }
  return sheet;
}

// Finds the winning declaration of every property of one element, lowest priority first so
// that later ones overwrite: the defaults, the presentational attributes, the page's rules and
// style attribute, then the important ones of the page and of the defaults.
class Cascade {
 public:
  Cascade(const Tree& tree, RuleSet author)
      : tree_(tree),
        author_(std::move(author)),
        defaults_(UserAgentRules()),
        quirks_(tree.Quirks() == dom::QuirksMode::Full ? &QuirksModeRules() : nullptr),
        matcher_(tree),
        hints_(tree) {}

  const CascadedValues& Run(NodeId element) {
    values_.fill(nullptr);
    Matched(defaults_, element, defaultRules_);
    if (quirks_ != nullptr) Matched(*quirks_, element, quirkRules_);
    Matched(author_, element, authorRules_);
    hintBlock_.clear();
    hints_.Collect(element, hintBlock_);
    inlineBlock_.clear();
    if (const auto* style = tree_.AttributeValue(element, "style"))
      ParseDeclarations(platform::ToUtf8(*style), inlineBlock_);

    for (const Rule* rule : defaultRules_) Take(defaults_.Block(*rule), false);
    if (quirks_ != nullptr) {
      for (const Rule* rule : quirkRules_) Take(quirks_->Block(*rule), false);
    }
    Take(hintBlock_, false);
    for (const Rule* rule : authorRules_) Take(author_.Block(*rule), false);
    Take(inlineBlock_, false);
    for (const Rule* rule : authorRules_) Take(author_.Block(*rule), true);
    Take(inlineBlock_, true);
    for (const Rule* rule : defaultRules_) Take(defaults_.Block(*rule), true);
    return values_;
  }

 private:
  void Matched(const RuleSet& rules, NodeId element, std::vector<const Rule*>& out) {
    out.clear();
    rules.Match(matcher_, tree_, element, out);
    std::sort(out.begin(), out.end(), [](const Rule* a, const Rule* b) {
      if (a->selector.specificity != b->selector.specificity)
        return a->selector.specificity < b->selector.specificity;
      return a->block < b->block;
    });
  }

  void Take(const DeclarationBlock& block, bool important) {
    for (const Declaration& declaration : block) {
      if (declaration.important == important)
        values_[static_cast<size_t>(declaration.property)] = &declaration.value;
    }
  }

  const Tree& tree_;
  RuleSet author_;
  const RuleSet& defaults_;
  const RuleSet* quirks_;  // only for pages in quirks mode
  SelectorMatcher matcher_;
  PresentationalHints hints_;
  CascadedValues values_{};
  std::vector<const Rule*> defaultRules_, quirkRules_, authorRules_;
  DeclarationBlock hintBlock_, inlineBlock_;
};

}  // namespace

std::vector<ComputedStyle> ResolveStyles(const Tree& tree) {
  std::vector<ComputedStyle> styles(static_cast<size_t>(tree.Size()));
  std::vector<FontSizeOrigin> fonts(static_cast<size_t>(tree.Size()));
  Cascade cascade(tree, RuleSet(AuthorSheet(tree)));
  float rootFontSizePx = StyleBuilder::KeywordSizePx(static_cast<int>(FontSizeKeyword::Medium), false);
  for (NodeId id = tree.Root(); id != kNoNode; id = tree.Next(id, tree.Root())) {
    const dom::Node& node = tree[id];
    if (node.parent == kNoNode) continue;  // the document keeps the initial style
    auto parent = static_cast<size_t>(node.parent);
    auto self = static_cast<size_t>(id);
    if (!node.IsElement()) {
      StyleBuilder::BuildText(styles[parent], styles[self]);
      continue;
    }
    bool root = !tree[node.parent].IsElement();
    StyleBuilder(styles[parent], fonts[parent], rootFontSizePx)
        .Build(cascade.Run(id), root ? ElementRole::Root : ElementRole::Other, styles[self], fonts[self]);
    if (root) rootFontSizePx = styles[self].fontSizePx;
  }
  return styles;
}

}  // namespace lectryn::engine::css
