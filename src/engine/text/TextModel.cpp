#include "engine/text/TextModel.h"

#include <algorithm>

namespace lectryn::engine::text {

using css::ComputedStyle;
using css::Display;
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

  void Run(NodeId root) {
    model_.root_ = root;
    Push(root, false);
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
      if (style.visibility == Visibility::Visible) Text(id, node.text, style.whiteSpace);
      return false;
    }
    if (!node.IsElement()) return false;
    if (node.Has(dom::kTagNotRendered) || style.display == Display::None) {
      model_.spans_[id] = {Position(), Position()};
      return false;
    }
    bool visible = style.visibility == Visibility::Visible;
    if (node.Has(dom::kTagObject)) {
      if (visible) {
        Flush(true);
        int32_t at = Position();
        model_.objects_.push_back(at);
        Append(kObjectUnit, id);
        model_.spans_[id] = {at, at + 1};
      } else {
        model_.spans_[id] = {Position(), Position()};
      }
      return false;
    }
    if (node.Has(dom::kTagBreak)) {
      if (visible) {
        int32_t at = HardBreak(id);
        model_.spans_[id] = {at, at + 1};
      } else {
        model_.spans_[id] = {Position(), Position()};
      }
      return false;
    }
    bool block = visible && (style.display == Display::Block || style.display == Display::ListItem ||
                             style.display == Display::Table || style.display == Display::TableRow ||
                             style.display == Display::TableCaption || style.display == Display::Flex ||
                             style.display == Display::Grid);
    if (block) RequestBreak(stack_.size() - 1);
    if (visible && style.display == Display::TableCell && HasCellBefore(id)) RequestTab(stack_.size() - 1);
    Push(id, block);
    return true;
  }

  bool HasCellBefore(NodeId id) const {
    for (NodeId sibling = tree_[id].prevSibling; sibling != kNoNode; sibling = tree_[sibling].prevSibling) {
      if (tree_[sibling].IsElement() && styles_[static_cast<size_t>(sibling)].display == Display::TableCell)
        return true;
    }
    return false;
  }

  void Push(NodeId id, bool block) {
    stack_.push_back(id);
    blocks_.push_back(block);
  }

  void Exit() {
    NodeId id = stack_.back();
    bool block = blocks_.back();
    stack_.pop_back();
    blocks_.pop_back();
    Span& span = model_.spans_[id];
    if (span.start < 0) span.start = Position();
    span.end = Position();
    firstUnset_ = std::min(firstUnset_, stack_.size());
    if (stack_.empty()) return;
    pendingOwnerDepth_ = std::min(pendingOwnerDepth_, stack_.size() - 1);
    if (block) RequestBreak(stack_.size() - 1);
  }

  void RequestBreak(size_t ownerDepth) {
    if (last_ == Last::None) return;
    pendingSpace_ = false;
    if (pending_ == Pending::Tab) return;
    if (pending_ == Pending::None) {
      if (last_ == Last::Break) return;  // a <br> or a pre line break already ends the line
      pending_ = Pending::Break;
      pendingOwnerDepth_ = ownerDepth;
      return;
    }
    pendingOwnerDepth_ = std::min(pendingOwnerDepth_, ownerDepth);
  }

  void RequestTab(size_t ownerDepth) {
    if (last_ == Last::None) return;
    pendingSpace_ = false;
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
      if (pending_ == Pending::Break) model_.breaks_.push_back(at);
      last_ = pending_ == Pending::Break ? Last::Break : Last::Tab;
      pending_ = Pending::None;
    }
    if (pendingSpace_ && withSpace) {
      // The space belongs before elements opened after it was seen.
      StartOpenElements(std::min(pendingSpaceDepth_, stack_.size()));
      model_.units_.push_back(u' ');
      model_.unitNodes_.push_back(pendingSpaceNode_);
      last_ = Last::Other;
    }
    pendingSpace_ = false;
  }

  // Open elements below `depth` that have no units yet start here.
  void StartOpenElements(size_t depth) {
    for (size_t i = firstUnset_; i < depth && i < stack_.size(); ++i) {
      Span& span = model_.spans_[stack_[i]];
      if (span.start < 0) span.start = Position();
    }
    firstUnset_ = std::max(firstUnset_, std::min(depth, stack_.size()));
  }

  void Append(char16_t unit, NodeId node) {
    StartOpenElements(stack_.size());
    model_.units_.push_back(unit);
    model_.unitNodes_.push_back(node);
    last_ = Last::Other;
  }

  int32_t HardBreak(NodeId node) {
    Flush(false);
    StartOpenElements(stack_.size());
    int32_t at = Position();
    model_.units_.push_back(kBreakUnit);
    model_.unitNodes_.push_back(node);
    model_.breaks_.push_back(at);
    last_ = Last::Break;
    return at;
  }

  void CollapsibleSpace(NodeId node) {
    if (pending_ != Pending::None || last_ != Last::Other || pendingSpace_) return;
    pendingSpace_ = true;
    pendingSpaceNode_ = node;
    pendingSpaceDepth_ = stack_.size();
  }

  static bool IsCollapsible(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
  }

  void Text(NodeId id, const std::u16string& text, WhiteSpace whiteSpace) {
    const size_t size = text.size();
    bool preserveSpaces = whiteSpace == WhiteSpace::Pre || whiteSpace == WhiteSpace::PreWrap;
    bool preserveNewlines = preserveSpaces || whiteSpace == WhiteSpace::PreLine;
    size_t i = 0;
    while (i < size) {
      char16_t c = text[i];
      if (c == u'\n' || c == u'\r') {
        if (preserveNewlines) {
          HardBreak(id);
          i += (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') ? 2 : 1;
        } else {
          CollapsibleSpace(id);
          ++i;
        }
        continue;
      }
      if (IsCollapsible(c)) {
        if (preserveSpaces) {
          Flush(true);
          Append(c == u'\f' ? u' ' : c, id);
        } else {
          CollapsibleSpace(id);
        }
        ++i;
        continue;
      }
      // A run of ordinary characters goes in at once.
      size_t end = i + 1;
      while (end < size && !IsCollapsible(text[end])) ++end;
      Flush(true);
      StartOpenElements(stack_.size());
      size_t from = model_.units_.size();
      model_.units_.append(text, i, end - i);
      for (size_t k = from; k < model_.units_.size(); ++k) {
        if ((model_.units_[k] & 0xFFFE) == kBreakUnit) model_.units_[k] = u'\uFFFD';
      }
      model_.unitNodes_.insert(model_.unitNodes_.end(), end - i, id);
      last_ = Last::Other;
      i = end;
    }
  }

  const Tree& tree_;
  const std::vector<ComputedStyle>& styles_;
  TextModel& model_;
  std::vector<NodeId> stack_;
  std::vector<bool> blocks_;
  size_t firstUnset_ = 0;
  Pending pending_ = Pending::None;
  size_t pendingOwnerDepth_ = 0;
  bool pendingSpace_ = false;
  NodeId pendingSpaceNode_ = kNoNode;
  size_t pendingSpaceDepth_ = 0;
  Last last_ = Last::None;
};

TextModel TextModel::Build(const Tree& tree, const std::vector<ComputedStyle>& styles, NodeId root) {
  TextModel model;
  Builder(tree, styles, model).Run(root);
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
