#include "engine/text/TextModel.h"

#include <algorithm>
#include <optional>
#include <string>

#include "engine/dom/ControlLabel.h"
#include "engine/dom/Language.h"
#include "engine/text/CaseTransform.h"

namespace lectryn::engine::text {

using css::ComputedStyle;
using css::Display;
using css::TextTransform;
using css::Visibility;
using css::WhiteSpace;
using dom::kNoNode;
using dom::NodeId;
using dom::Tree;

// Walks the subtree once, iteratively, and lays out the units. Line breaks between blocks are
// requested lazily and emitted only when more content follows, so none stands at the start or
// the end and requests in a row collapse into one; collapsible spaces are likewise held back
// until a character follows on the same line (CSS white-space processing, simplified).
class TextModel::Builder {
 public:
  Builder(const Tree& tree, const std::vector<ComputedStyle>& styles, TextModel& model)
      : tree_(tree), styles_(styles), model_(model) {
    model_.spans_.assign(static_cast<size_t>(tree.Size()), Span{});
  }

  void Run(NodeId root, std::u16string_view pageLanguage) {
    model_.root_ = root;
    // The root's language is its own or an ancestor's.
    std::optional<std::u16string> rootLanguage;
    for (NodeId e = root; e != kNoNode && !rootLanguage; e = tree_[e].parent)
      rootLanguage = dom::DeclaredLanguage(tree_, e);
    langs_.push_back(Ascii(rootLanguage.value_or(std::u16string(pageLanguage))));
    Push(root, Box::Inline);
    NodeId node = tree_[root].firstChild;
    while (node != kNoNode) {
      if (Visit(node) && tree_[node].firstChild != kNoNode) {
        node = tree_[node].firstChild;
        continue;
      }
      if (tree_[node].IsElement() && !stack_.empty() && stack_.back() == node) Exit();
      node = Advance(node, root);
    }
    Exit();
  }

 private:
  enum class Pending { None, Tab, Break };
  enum class Last { None, Break, Tab, Other };
  // How an open element's text stands in its line: within it, apart from it, or as one inline box.
  enum class Box : uint8_t { Inline, Block, Atomic };

  // The next node after a finished one, closing the elements that end on the way up.
  NodeId Advance(NodeId node, NodeId root) {
    while (node != root) {
      if (tree_[node].nextSibling != kNoNode) return tree_[node].nextSibling;
      node = tree_[node].parent;
      if (node == root || node == kNoNode) return kNoNode;
      Exit();
    }
    return kNoNode;
  }

  int32_t Position() const { return static_cast<int32_t>(model_.units_.size()); }

  // Returns true when the element was opened and its children are to be walked.
  bool Visit(NodeId id) {
    const dom::Node& node = tree_[id];
    const ComputedStyle& style = styles_[static_cast<size_t>(id)];
    if (node.kind == dom::NodeKind::Text) {
      if (style.visibility == Visibility::Visible) Text(id, node.text, style, ToOwnOffsets::Yes);
      return false;
    }
    if (!node.IsElement()) return false;
    if (node.Has(dom::kTagNotRendered) || style.display == Display::None) {
      model_.spans_[id] = {Position(), Position()};
      return false;
    }
    bool visible = style.visibility == Visibility::Visible;
    const ObjectReading reading = ReadingOf(tree_, id);
    if (reading == ObjectReading::Caption) {
      Push(id, Box::Inline);  // closed by Run, as an element without children
      if (visible) Text(id, dom::ControlLabel(tree_, id), style, ToOwnOffsets::No);
      return false;
    }
    if (reading == ObjectReading::Object) {
      if (visible) {
        Flush(true);
        int32_t at = Position();
        model_.objects_.push_back(at);
        Append(kObjectUnit, id, -1);
        wordStart_ = true;
        model_.spans_[id] = {at, at + 1};
      } else {
        model_.spans_[id] = {Position(), Position()};
      }
      return false;
    }
    if (node.Has(dom::kTagBreak)) {
      if (visible) {
        int32_t at = HardBreak(id, -1);
        model_.spans_[id] = {at, at + 1};
      } else {
        model_.spans_[id] = {Position(), Position()};
      }
      return false;
    }
    // A paragraph stands apart whatever its display; in a ruby, blocks are laid out inline.
    bool block =
        visible && !InsideRuby(id) &&
        (style.display == Display::Block || style.display == Display::ListItem ||
         style.display == Display::Table || style.display == Display::TableCaption ||
         style.display == Display::Flex || style.display == Display::Grid || node.name == "p");
    if (block) RequestBreak(stack_.size() - 1);
    // Rows and cells are separated, with no break before the first row nor after the last: an
    // inline table runs on in its line.
    if (visible && style.display == Display::TableRow && HasRowBefore(id)) RequestBreak(stack_.size() - 1);
    if (visible && style.display == Display::TableCell && HasCellBefore(id)) RequestTab(stack_.size() - 1);
    bool atomic = visible && (style.display == Display::InlineBlock || style.display == Display::InlineTable);
    Push(id, block ? Box::Block : atomic ? Box::Atomic : Box::Inline);
    return true;
  }

  bool InsideRuby(NodeId id) const {
    NodeId parent = tree_[id].parent;
    return parent != kNoNode && tree_[parent].IsElement() && tree_[parent].name == "ruby" &&
           styles_[static_cast<size_t>(parent)].display == Display::Inline;
  }

  bool Rendered(NodeId id) const {
    return tree_[id].IsElement() && !tree_[id].Has(dom::kTagNotRendered) &&
           styles_[static_cast<size_t>(id)].display != Display::None;
  }

  bool HasRowChild(NodeId group) const {
    for (NodeId child = tree_[group].firstChild; child != kNoNode; child = tree_[child].nextSibling) {
      if (Rendered(child) && styles_[static_cast<size_t>(child)].display == Display::TableRow) return true;
    }
    return false;
  }

  // A row of the same table before this one, in its own row group or an earlier one.
  bool HasRowBefore(NodeId row) const {
    for (NodeId at = row; at != kNoNode && tree_[at].IsElement(); at = tree_[at].parent) {
      Display display = styles_[static_cast<size_t>(at)].display;
      if (display == Display::Table || display == Display::InlineTable) return false;
      for (NodeId sibling = tree_[at].prevSibling; sibling != kNoNode; sibling = tree_[sibling].prevSibling) {
        if (!Rendered(sibling)) continue;
        if (styles_[static_cast<size_t>(sibling)].display == Display::TableRow || HasRowChild(sibling))
          return true;
      }
    }
    return false;
  }

  bool HasCellBefore(NodeId id) const {
    for (NodeId sibling = tree_[id].prevSibling; sibling != kNoNode; sibling = tree_[sibling].prevSibling) {
      if (tree_[sibling].IsElement() && styles_[static_cast<size_t>(sibling)].display == Display::TableCell)
        return true;
    }
    return false;
  }

  void Push(NodeId id, Box box) {
    std::optional<std::u16string> declared = dom::DeclaredLanguage(tree_, id);
    langs_.push_back(declared ? Ascii(*declared) : langs_.back());
    stack_.push_back(id);
    boxes_.push_back(box);
  }

  // Language tags are ASCII; anything else cannot name a language ICU knows.
  static std::string Ascii(const std::u16string& tag) {
    std::string ascii;
    for (char16_t c : tag) {
      if (c >= 0x80) return {};
      ascii.push_back(static_cast<char>(c));
    }
    return ascii;
  }

  void Exit() {
    NodeId id = stack_.back();
    Box box = boxes_.back();
    stack_.pop_back();
    boxes_.pop_back();
    langs_.pop_back();
    Span& span = model_.spans_[id];
    if (span.start < 0) span.start = Position();
    span.end = Position();
    firstUnset_ = std::min(firstUnset_, stack_.size());
    if (stack_.empty()) return;
    pendingOwnerDepth_ = std::min(pendingOwnerDepth_, stack_.size() - 1);
    if (box == Box::Block) RequestBreak(stack_.size() - 1);
    // The line goes on after an inline block that ends with a block: a space after it is kept.
    if (box == Box::Atomic && pending_ == Pending::Break && pendingAskedAt_ > stack_.size())
      breakEndsAtomic_ = true;
  }

  void RequestBreak(size_t ownerDepth) {
    if (last_ == Last::None) return;
    // A space before an inline block that starts with a block stays on the line before it.
    if (pendingSpace_ && pending_ == Pending::None && AtomicOpenedSince(pendingSpaceDepth_)) Flush(true);
    pendingSpace_ = false;
    breakEndsAtomic_ = false;
    if (pending_ == Pending::Tab) return;
    if (pending_ == Pending::None) {
      if (last_ == Last::Break) return;  // a <br> or a pre line break already ends the line
      pending_ = Pending::Break;
      pendingOwnerDepth_ = ownerDepth;
      pendingAskedAt_ = stack_.size();
      return;
    }
    pendingOwnerDepth_ = std::min(pendingOwnerDepth_, ownerDepth);
  }

  void RequestTab(size_t ownerDepth) {
    if (last_ == Last::None) return;
    pendingSpace_ = false;
    breakEndsAtomic_ = false;
    pending_ = Pending::Tab;
    pendingOwnerDepth_ = ownerDepth;
  }

  // Emits the held-back break or tab, and the held-back space when a character follows.
  void Flush(bool withSpace) {
    if (pending_ != Pending::None) {
      size_t owner = std::min(pendingOwnerDepth_, stack_.size() - 1);
      StartOpenElements(owner + 1);
      int32_t at = Position();
      model_.units_.push_back(pending_ == Pending::Break ? kBreakUnit : u'\t');
      model_.unitNodes_.push_back(stack_[owner]);
      model_.offsets_.push_back(-1);
      if (pending_ == Pending::Break) model_.breaks_.push_back(at);
      last_ = pending_ == Pending::Break ? Last::Break : Last::Tab;
      pending_ = Pending::None;
      breakEndsAtomic_ = false;
      wordStart_ = true;
    }
    if (pendingSpace_ && withSpace) {
      // The space belongs before elements opened after it was seen.
      StartOpenElements(std::min(pendingSpaceDepth_, stack_.size()));
      model_.units_.push_back(u' ');
      model_.unitNodes_.push_back(pendingSpaceNode_);
      model_.offsets_.push_back(pendingSpaceOffset_);
      last_ = Last::Other;
    }
    pendingSpace_ = false;
  }

  bool AtomicOpenedSince(size_t depth) const {
    for (size_t i = depth; i < boxes_.size(); ++i) {
      if (boxes_[i] == Box::Atomic) return true;
    }
    return false;
  }

  // Open elements below `depth` that have no units yet start here.
  void StartOpenElements(size_t depth) {
    for (size_t i = firstUnset_; i < depth && i < stack_.size(); ++i) {
      Span& span = model_.spans_[stack_[i]];
      if (span.start < 0) span.start = Position();
    }
    firstUnset_ = std::max(firstUnset_, std::min(depth, stack_.size()));
  }

  void Append(char16_t unit, NodeId node, int32_t offset) {
    StartOpenElements(stack_.size());
    model_.units_.push_back(unit);
    model_.unitNodes_.push_back(node);
    model_.offsets_.push_back(offset);
    last_ = Last::Other;
  }

  int32_t HardBreak(NodeId node, int32_t offset) {
    Flush(false);
    StartOpenElements(stack_.size());
    int32_t at = Position();
    model_.units_.push_back(kBreakUnit);
    model_.unitNodes_.push_back(node);
    model_.offsets_.push_back(offset);
    model_.breaks_.push_back(at);
    last_ = Last::Break;
    wordStart_ = true;
    return at;
  }

  void CollapsibleSpace(NodeId node, int32_t offset) {
    wordStart_ = true;
    if ((pending_ != Pending::None && !breakEndsAtomic_) || last_ != Last::Other || pendingSpace_) return;
    pendingSpace_ = true;
    pendingSpaceNode_ = node;
    pendingSpaceOffset_ = offset;
    pendingSpaceDepth_ = stack_.size();
  }

  static bool IsCollapsible(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
  }

  // Whether a text's units point into the node's own text (a text node) or into a caption.
  enum class ToOwnOffsets { Yes, No };

  void Text(NodeId id, const std::u16string& text, const ComputedStyle& style, ToOwnOffsets own) {
    const size_t size = text.size();
    const WhiteSpace whiteSpace = style.whiteSpace;
    bool preserveSpaces = whiteSpace == WhiteSpace::Pre || whiteSpace == WhiteSpace::PreWrap;
    bool preserveNewlines = preserveSpaces || whiteSpace == WhiteSpace::PreLine;
    std::optional<CaseTransform> transform;
    if (style.textTransform != TextTransform::None) transform.emplace(style.textTransform, langs_.back());
    auto offset = [own](size_t i) { return own == ToOwnOffsets::Yes ? static_cast<int32_t>(i) : -1; };
    size_t i = 0;
    while (i < size) {
      char16_t c = text[i];
      if (c == u'\n' || c == u'\r') {
        if (preserveNewlines) {
          HardBreak(id, offset(i));
          i += (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') ? 2 : 1;
        } else {
          CollapsibleSpace(id, offset(i));
          ++i;
        }
        continue;
      }
      if (IsCollapsible(c)) {
        if (preserveSpaces) {
          Flush(true);
          Append(c == u'\f' ? u' ' : c, id, offset(i));
          wordStart_ = true;
        } else {
          CollapsibleSpace(id, offset(i));
        }
        ++i;
        continue;
      }
      // A run of ordinary characters goes in at once.
      size_t end = i + 1;
      while (end < size && !IsCollapsible(text[end])) ++end;
      Flush(true);
      StartOpenElements(stack_.size());
      std::u16string_view run(text.data() + i, end - i);
      size_t from = model_.units_.size();
      if (transform) {
        CasedText cased = transform->Apply(run, wordStart_);
        model_.units_.append(cased.text);
        for (int32_t source : cased.sourceOffsets)
          model_.offsets_.push_back(offset(i + static_cast<size_t>(source)));
      } else {
        model_.units_.append(run);
        for (size_t k = i; k < end; ++k) model_.offsets_.push_back(offset(k));
        wordStart_ = CaseTransform::StartsWordAfter(run);
      }
      for (size_t k = from; k < model_.units_.size(); ++k) {
        if ((model_.units_[k] & 0xFFFE) == kBreakUnit) model_.units_[k] = u'\uFFFD';
      }
      model_.unitNodes_.insert(model_.unitNodes_.end(), model_.units_.size() - from, id);
      last_ = Last::Other;
      i = end;
    }
  }

  const Tree& tree_;
  const std::vector<ComputedStyle>& styles_;
  TextModel& model_;
  std::vector<NodeId> stack_;
  std::vector<Box> boxes_;
  // The languages of the root's parent and of each open element, inherited; one longer than stack_.
  std::vector<std::string> langs_;
  size_t firstUnset_ = 0;
  Pending pending_ = Pending::None;
  size_t pendingOwnerDepth_ = 0;
  size_t pendingAskedAt_ = 0;  // the depth of the open elements when the pending break was asked for
  bool pendingSpace_ = false;
  bool breakEndsAtomic_ = false;  // the pending break was asked for inside a closed inline block
  NodeId pendingSpaceNode_ = kNoNode;
  int32_t pendingSpaceOffset_ = -1;
  size_t pendingSpaceDepth_ = 0;
  Last last_ = Last::None;
  bool wordStart_ = true;  // the next letter starts a word, for capitalize
};

ObjectReading ReadingOf(const Tree& tree, NodeId element) {
  const dom::Node& n = tree[element];
  if (!n.IsElement() || !n.Has(dom::kTagObject)) return ObjectReading::Content;
  auto hasText = [](const std::u16string& text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
      return c != u' ' && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f';
    });
  };
  if (n.name == "button")
    return hasText(dom::ControlLabel(tree, element)) ? ObjectReading::Content : ObjectReading::Object;
  if (n.name == "select") {
    for (NodeId c = tree.Next(element, element); c != kNoNode; c = tree.Next(c, element)) {
      if (tree[c].IsElement() && tree[c].name == "option") return ObjectReading::Content;
    }
    return ObjectReading::Object;
  }
  if (dom::PushButtonOf(tree, element) != dom::PushButton::Other)
    return hasText(dom::ControlLabel(tree, element)) ? ObjectReading::Caption : ObjectReading::Object;
  return ObjectReading::Object;
}

TextModel TextModel::Build(const Tree& tree, const std::vector<ComputedStyle>& styles, NodeId root,
                           std::u16string_view pageLanguage) {
  TextModel model;
  Builder(tree, styles, model).Run(root, pageLanguage);
  return model;
}

NodeId TextModel::ElementOfUnit(const Tree& tree, int32_t position) const {
  NodeId node = NodeOfUnit(position);
  return tree[node].IsElement() ? node : tree[node].parent;
}

Span TextModel::SpanOf(NodeId node) const {
  if (node < 0 || static_cast<size_t>(node) >= spans_.size()) return {};
  return spans_[static_cast<size_t>(node)];
}

std::u16string TextModel::Text(int32_t start, int32_t end) const {
  std::u16string text;
  if (end <= start) return text;
  text.reserve(static_cast<size_t>(end - start) + 16);
  for (int32_t p = start; p < end; ++p) {
    char16_t unit = units_[static_cast<size_t>(p)];
    if (unit == kBreakUnit)
      text += u"\r\n";
    else if (unit != kObjectUnit)
      text.push_back(unit);
  }
  return text;
}

int32_t TextModel::TextOffset(int32_t position) const {
  auto before = [position](const std::vector<int32_t>& sorted) {
    return static_cast<int32_t>(std::lower_bound(sorted.begin(), sorted.end(), position) - sorted.begin());
  };
  return position + before(breaks_) - before(objects_);
}

int32_t TextModel::PositionOfTextOffset(int32_t offset) const {
  int32_t low = 0;
  int32_t high = Length();
  while (low < high) {  // the last position whose offset is not beyond `offset`
    int32_t mid = low + (high - low + 1) / 2;
    if (TextOffset(mid) <= offset)
      low = mid;
    else
      high = mid - 1;
  }
  return low;
}

}  // namespace lectryn::engine::text
