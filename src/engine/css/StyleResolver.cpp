#include "engine/css/StyleResolver.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "engine/css/CustomProperties.h"
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
StyleSheet AuthorSheet(const Tree& tree, const MediaView& view) {
  StyleSheet sheet;
  for (NodeId id = tree.Root(); id != kNoNode; id = tree.Next(id, tree.Root())) {
    const dom::Node& node = tree[id];
    if (!node.IsElement() || !node.Has(dom::kTagStyle)) continue;
    if (const auto* media = tree.AttributeValue(id, "media")) {
      std::string queryList = platform::ToUtf8(*media);
      bool holds = MatchesMedia(queryList, view);
      sheet.media.push_back({std::move(queryList), holds});
      if (!holds) continue;
    }
    std::u16string text;
    for (NodeId child = node.firstChild; child != kNoNode; child = tree[child].nextSibling) {
      if (tree[child].kind == dom::NodeKind::Text) text += tree[child].text;
    }
    ParseStyleSheet(platform::ToUtf8(text), sheet, view);
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
    customs_.clear();
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

  // The winning custom property declarations of the last element run, by name.
  const std::map<std::string_view, const Value*>& Customs() const { return customs_; }

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
      if (declaration.important != important) continue;
      if (declaration.property == kCustomProperty)
        customs_[declaration.value.unparsed->property] = &declaration.value;
      else
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
  std::map<std::string_view, const Value*> customs_;
  std::vector<const Rule*> defaultRules_, quirkRules_, authorRules_;
  DeclarationBlock hintBlock_, inlineBlock_;
};

// The values holding var() of one element, substituted with its custom properties and parsed
// with their property's grammar; one that does not parse is unset.
class PendingValues {
 public:
  void Resolve(CascadedValues& values, VarSubstitution& substitution) {
    parsed_.clear();
    for (size_t i = 0; i < kPropertyCount; ++i) {
      if (values[i] == nullptr || values[i]->type != ValueType::Pending) continue;
      values[i] = Parsed(static_cast<Property>(i), *values[i]->unparsed, substitution);
    }
  }

 private:
  const Value* Parsed(Property property, const UnparsedValue& unparsed, VarSubstitution& substitution) {
    static const Value kUnset(ValueType::Unset);
    // The longhands of one shorthand share its text: substituted and parsed once.
    auto it = parsed_.find(&unparsed);
    if (it == parsed_.end()) {
      DeclarationBlock block;
      if (auto text = substitution.Substitute(unparsed.text))
        ParseDeclaration(unparsed.property, *text, false, block);
      it = parsed_.emplace(&unparsed, std::move(block)).first;
    }
    for (auto d = it->second.rbegin(); d != it->second.rend(); ++d) {
      if (d->property == property && d->value.type != ValueType::Pending) return &d->value;
    }
    return &kUnset;
  }

  std::map<const UnparsedValue*, DeclarationBlock> parsed_;
};

}  // namespace

bool ViewDependence::Differs(const MediaView& from, const MediaView& to) const {
  if (from == to) return false;
  if (viewportUnits) return true;
  return std::any_of(media.begin(), media.end(), [&](const MediaAnswer& answer) {
    return MatchesMedia(answer.queryList, to) != answer.holds;
  });
}

std::vector<ComputedStyle> ResolveStyles(const Tree& tree, const MediaView& view,
                                         ViewDependence* dependence) {
  std::vector<ComputedStyle> styles(static_cast<size_t>(tree.Size()));
  std::vector<FontSizeOrigin> fonts(static_cast<size_t>(tree.Size()));
  std::vector<CustomProperties> customs(static_cast<size_t>(tree.Size()));
  StyleSheet author = AuthorSheet(tree, view);
  if (dependence != nullptr) *dependence = {author.media, false};
  Cascade cascade(tree, RuleSet(std::move(author)));
  PendingValues pending;
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
    CascadedValues values = cascade.Run(id);
    VarSubstitution substitution(customs[parent]);
    substitution.Compute(cascade.Customs());
    customs[self] = substitution.Properties();
    pending.Resolve(values, substitution);
    StyleBuilder builder(styles[parent], fonts[parent], rootFontSizePx, view);
    builder.Build(values, root ? ElementRole::Root : ElementRole::Other, styles[self], fonts[self]);
    if (dependence != nullptr && builder.UsedViewportUnits()) dependence->viewportUnits = true;
    if (root) rootFontSizePx = styles[self].fontSizePx;
  }
  return styles;
}

}  // namespace lectryn::engine::css
