#include "engine/css/SelectorMatcher.h"

#include <algorithm>

#include "engine/css/Values.h"
#include "platform/Text.h"

namespace lectryn::engine::css {
namespace {

using dom::kNoNode;
using dom::NodeId;

std::string LowerUtf8(const std::u16string& text) {
  return Lower(platform::ToUtf8(text));
}

bool Equal(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
  return ignoreCase ? platform::EqualsIgnoringAsciiCase(a, b) : a == b;
}

bool AttributeValueMatches(const AttributeSelector& selector, std::u16string_view value) {
  std::u16string_view wanted = selector.value;
  bool ignoreCase = selector.ignoreCase;
  switch (selector.op) {
    case AttributeOperator::Exists:
      return true;
    case AttributeOperator::Equals:
      return Equal(value, wanted, ignoreCase);
    case AttributeOperator::Includes: {
      if (wanted.empty() || wanted.find_first_of(u" \t\n\r\f") != std::u16string_view::npos) return false;
      size_t i = 0;
      while (i < value.size()) {
        while (i < value.size() && IsSpace(value[i])) ++i;
        size_t begin = i;
        while (i < value.size() && !IsSpace(value[i])) ++i;
        if (i > begin && Equal(value.substr(begin, i - begin), wanted, ignoreCase)) return true;
      }
      return false;
    }
    case AttributeOperator::DashMatch:
      return Equal(value, wanted, ignoreCase) ||
             (value.size() > wanted.size() && value[wanted.size()] == u'-' &&
              Equal(value.substr(0, wanted.size()), wanted, ignoreCase));
    case AttributeOperator::Prefix:
      return !wanted.empty() && value.size() >= wanted.size() &&
             Equal(value.substr(0, wanted.size()), wanted, ignoreCase);
    case AttributeOperator::Suffix:
      return !wanted.empty() && value.size() >= wanted.size() &&
             Equal(value.substr(value.size() - wanted.size()), wanted, ignoreCase);
    case AttributeOperator::Contains: {
      if (wanted.empty() || value.size() < wanted.size()) return false;
      for (size_t i = 0; i + wanted.size() <= value.size(); ++i) {
        if (Equal(value.substr(i, wanted.size()), wanted, ignoreCase)) return true;
      }
      return false;
    }
  }
  return false;
}

bool MatchesAnB(int32_t a, int32_t b, int32_t position) {
  if (a == 0) return position == b;
  // position = a*n + b for some n >= 0.
  int32_t offset = position - b;
  return offset % a == 0 && offset / a >= 0;
}

}  // namespace

SelectorMatcher::SelectorMatcher(const dom::Tree& tree)
    : tree_(tree), keys_(static_cast<size_t>(tree.Size())), keysRead_(static_cast<size_t>(tree.Size())) {}

const ElementKeys& SelectorMatcher::Keys(NodeId element) {
  auto index = static_cast<size_t>(element);
  ElementKeys& keys = keys_[index];
  if (keysRead_[index]) return keys;
  keysRead_[index] = true;
  for (const dom::Attribute& attribute : tree_[element].attributes) {
    if (attribute.name == "id") {
      keys.id = LowerUtf8(attribute.value);
    } else if (attribute.name == "class") {
      std::string all = LowerUtf8(attribute.value);
      size_t i = 0;
      while (i < all.size()) {
        while (i < all.size() && IsSpace(all[i])) ++i;
        size_t begin = i;
        while (i < all.size() && !IsSpace(all[i])) ++i;
        std::string name = all.substr(begin, i - begin);
        if (i > begin && std::find(keys.classes.begin(), keys.classes.end(), name) == keys.classes.end())
          keys.classes.push_back(std::move(name));
      }
    }
  }
  return keys;
}

bool SelectorMatcher::Matches(const Selector& selector, NodeId element) {
  return !selector.compounds.empty() &&
         MatchFrom(selector, selector.compounds.size() - 1, element) == Result::Matches;
}

SelectorMatcher::Result SelectorMatcher::MatchFrom(const Selector& selector, size_t index, NodeId element) {
  const Compound& compound = selector.compounds[index];
  if (!MatchesCompound(compound, element)) return Result::FailsLocally;
  if (index == 0) return Result::Matches;
  switch (compound.combinator) {
    case Combinator::Descendant:
      for (NodeId ancestor = ParentElement(element); ancestor != kNoNode;
           ancestor = ParentElement(ancestor)) {
        Result result = MatchFrom(selector, index - 1, ancestor);
        if (result == Result::Matches || result == Result::FailsCompletely) return result;
      }
      return Result::FailsCompletely;
    case Combinator::Child: {
      NodeId parent = ParentElement(element);
      if (parent == kNoNode) return Result::FailsCompletely;
      return MatchFrom(selector, index - 1, parent);
    }
    case Combinator::NextSibling: {
      NodeId sibling = PreviousElement(element);
      if (sibling == kNoNode) return Result::FailsAllSiblings;
      return MatchFrom(selector, index - 1, sibling);
    }
    case Combinator::SubsequentSibling:
      for (NodeId sibling = PreviousElement(element); sibling != kNoNode;
           sibling = PreviousElement(sibling)) {
        Result result = MatchFrom(selector, index - 1, sibling);
        if (result != Result::FailsLocally) return result;
      }
      return Result::FailsAllSiblings;
  }
  return Result::FailsCompletely;
}

bool SelectorMatcher::MatchesCompound(const Compound& compound, NodeId element) {
  const dom::Node& node = tree_[element];
  if (!compound.type.empty() && compound.type != node.name) return false;
  if (!compound.id.empty() || !compound.classes.empty()) {
    const ElementKeys& keys = Keys(element);
    if (!compound.id.empty() && compound.id != keys.id) return false;
    for (const std::string& name : compound.classes) {
      if (std::find(keys.classes.begin(), keys.classes.end(), name) == keys.classes.end()) return false;
    }
  }
  for (const AttributeSelector& attribute : compound.attributes) {
    if (!MatchesAttribute(attribute, element)) return false;
  }
  for (const PseudoSelector& pseudo : compound.pseudos) {
    if (!MatchesPseudo(pseudo, element)) return false;
  }
  return true;
}

bool SelectorMatcher::MatchesAttribute(const AttributeSelector& attribute, NodeId element) const {
  const std::u16string* value = tree_.AttributeValue(element, attribute.name);
  return value != nullptr && AttributeValueMatches(attribute, *value);
}

bool SelectorMatcher::MatchesPseudo(const PseudoSelector& pseudo, NodeId element) {
  const dom::Node& node = tree_[element];
  switch (pseudo.kind) {
    case PseudoClass::Never:
      return false;
    case PseudoClass::Always:
      return true;
    case PseudoClass::Link:
      return (node.name == "a" || node.name == "area" || node.name == "link") &&
             tree_.AttributeValue(element, "href") != nullptr;
    case PseudoClass::Root:
      return node.parent != kNoNode && !tree_[node.parent].IsElement();
    case PseudoClass::Empty:
      for (NodeId child = node.firstChild; child != kNoNode; child = tree_[child].nextSibling) {
        if (tree_[child].IsElement() || !tree_[child].text.empty()) return false;
      }
      return true;
    case PseudoClass::FirstChild:
      return PreviousElement(element) == kNoNode;
    case PseudoClass::LastChild:
      return NextElement(element) == kNoNode;
    case PseudoClass::OnlyChild:
      return PreviousElement(element) == kNoNode && NextElement(element) == kNoNode;
    case PseudoClass::FirstOfType:
      return PositionOfType(element, false) == 1;
    case PseudoClass::LastOfType:
      return PositionOfType(element, true) == 1;
    case PseudoClass::OnlyOfType:
      return PositionOfType(element, false) == 1 && PositionOfType(element, true) == 1;
    case PseudoClass::NthChild:
      return MatchesAnB(pseudo.a, pseudo.b, Position(element, false));
    case PseudoClass::NthLastChild:
      return MatchesAnB(pseudo.a, pseudo.b, Position(element, true));
    case PseudoClass::NthOfType:
      return MatchesAnB(pseudo.a, pseudo.b, PositionOfType(element, false));
    case PseudoClass::NthLastOfType:
      return MatchesAnB(pseudo.a, pseudo.b, PositionOfType(element, true));
    case PseudoClass::Checked:
      return tree_.AttributeValue(element, "checked") != nullptr ||
             tree_.AttributeValue(element, "selected") != nullptr;
    case PseudoClass::Disabled:
      return tree_.AttributeValue(element, "disabled") != nullptr;
    case PseudoClass::Enabled:
      return (node.name == "input" || node.name == "button" || node.name == "select" ||
              node.name == "textarea" || node.name == "option") &&
             tree_.AttributeValue(element, "disabled") == nullptr;
    case PseudoClass::Not:
      return std::none_of(pseudo.arguments.begin(), pseudo.arguments.end(),
                          [&](const Compound& compound) { return MatchesCompound(compound, element); });
    case PseudoClass::Is:
      return std::any_of(pseudo.arguments.begin(), pseudo.arguments.end(),
                         [&](const Compound& compound) { return MatchesCompound(compound, element); });
  }
  return false;
}

NodeId SelectorMatcher::ParentElement(NodeId node) const {
  NodeId parent = tree_[node].parent;
  return parent != kNoNode && tree_[parent].IsElement() ? parent : kNoNode;
}

NodeId SelectorMatcher::PreviousElement(NodeId node) const {
  for (NodeId sibling = tree_[node].prevSibling; sibling != kNoNode; sibling = tree_[sibling].prevSibling) {
    if (tree_[sibling].IsElement()) return sibling;
  }
  return kNoNode;
}

NodeId SelectorMatcher::NextElement(NodeId node) const {
  for (NodeId sibling = tree_[node].nextSibling; sibling != kNoNode; sibling = tree_[sibling].nextSibling) {
    if (tree_[sibling].IsElement()) return sibling;
  }
  return kNoNode;
}

int32_t SelectorMatcher::Position(NodeId element, bool fromEnd) {
  if (position_.empty()) {
    position_.assign(static_cast<size_t>(tree_.Size()), 0);
    positionFromEnd_.assign(static_cast<size_t>(tree_.Size()), 0);
    for (NodeId parent = 0; parent < tree_.Size(); ++parent) {
      int32_t count = 0;
      for (NodeId child = tree_[parent].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
        if (tree_[child].IsElement()) position_[static_cast<size_t>(child)] = ++count;
      }
      for (NodeId child = tree_[parent].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
        if (tree_[child].IsElement())
          positionFromEnd_[static_cast<size_t>(child)] = count - position_[static_cast<size_t>(child)] + 1;
      }
    }
  }
  return (fromEnd ? positionFromEnd_ : position_)[static_cast<size_t>(element)];
}

int32_t SelectorMatcher::PositionOfType(NodeId element, bool fromEnd) const {
  const std::string& name = tree_[element].name;
  int32_t position = 1;
  for (NodeId sibling = fromEnd ? NextElement(element) : PreviousElement(element); sibling != kNoNode;
       sibling = fromEnd ? NextElement(sibling) : PreviousElement(sibling)) {
    if (tree_[sibling].name == name) ++position;
  }
  return position;
}

}  // namespace lectryn::engine::css
