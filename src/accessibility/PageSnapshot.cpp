#include "accessibility/PageSnapshot.h"

#include <algorithm>
#include <climits>

namespace lectryn::accessibility {

using engine::dom::kNoNode;
using engine::dom::NodeId;

PageSnapshot PageSnapshot::Build(const AxNode& document, std::u16string url) {
  SnapshotMarkup markup = WriteSnapshotMarkup(document);
  PageSnapshot snapshot;
  snapshot.documentRef_ = document.ref;
  snapshot.document_ = engine::Document::Parse(markup.html, std::move(url));
  snapshot.MapElements(markup);
  snapshot.MapUnits(markup);
  return snapshot;
}

void PageSnapshot::MapElements(const SnapshotMarkup& markup) {
  const engine::dom::Tree& tree = document_->Tree();
  refByNode_.assign(static_cast<size_t>(tree.Size()), 0);
  for (NodeId node = 0; node < tree.Size(); ++node) {
    if (!tree[node].IsElement()) continue;
    const std::u16string* value = tree.AttributeValue(node, kIndexAttribute);
    if (value == nullptr) continue;
    size_t index = 0;
    for (char16_t c : *value) index = index * 10 + static_cast<size_t>(c - u'0');
    if (index >= markup.elementRefs.size()) continue;
    AxRef ref = markup.elementRefs[index];
    refByNode_[static_cast<size_t>(node)] = ref;
    if (ref != 0) nodeByRef_.emplace(ref, node);
  }
}

// The text nodes hold the markup's text in document order, and each unit of the model tells the
// character of its text node it came from, so a unit finds its origin even where the units are
// not the characters one for one (a collapsed space, a case change).
void PageSnapshot::MapUnits(const SnapshotMarkup& markup) {
  const engine::dom::Tree& tree = document_->Tree();
  std::vector<int32_t> textStart(static_cast<size_t>(tree.Size()), -1);
  size_t cursor = 0;
  std::u16string_view text = markup.text;
  for (NodeId node = tree.Root(); node != kNoNode; node = tree.Next(node, tree.Root())) {
    if (tree[node].kind != engine::dom::NodeKind::Text) continue;
    const std::u16string& own = tree[node].text;
    // Text the markup did not write would shift every origin after it: those get none.
    if (text.substr(cursor, own.size()) != own) break;
    textStart[static_cast<size_t>(node)] = static_cast<int32_t>(cursor);
    cursor += own.size();
  }

  const engine::text::TextModel& model = document_->Model();
  unitOrigins_.assign(static_cast<size_t>(model.Length()), TextOrigin{});
  for (int32_t position = 0; position < model.Length(); ++position) {
    NodeId node = model.NodeOfUnit(position);
    if (node < 0 || textStart[static_cast<size_t>(node)] < 0 || model.OffsetInNode(position) < 0) continue;
    auto index = static_cast<size_t>(textStart[static_cast<size_t>(node)] + model.OffsetInNode(position));
    if (index < markup.textOrigins.size())
      unitOrigins_[static_cast<size_t>(position)] = markup.textOrigins[index];
  }
}

AxRef PageSnapshot::RefOf(NodeId element) const {
  const engine::dom::Tree& tree = document_->Tree();
  for (NodeId node = element; node >= 0 && node < static_cast<NodeId>(refByNode_.size());
       node = tree[node].parent) {
    if (refByNode_[static_cast<size_t>(node)] != 0) return refByNode_[static_cast<size_t>(node)];
  }
  return documentRef_;
}

NodeId PageSnapshot::ElementOf(AxRef object) const {
  auto it = nodeByRef_.find(object);
  return it == nodeByRef_.end() ? kNoNode : it->second;
}

std::optional<TextOrigin> PageSnapshot::OriginOfUnit(int32_t position) const {
  if (position < 0 || position >= static_cast<int32_t>(unitOrigins_.size())) return std::nullopt;
  const TextOrigin& origin = unitOrigins_[static_cast<size_t>(position)];
  if (origin.object == 0) return std::nullopt;
  return origin;
}

std::optional<int32_t> PageSnapshot::PositionOf(AxRef object, int32_t offset) const {
  if (unitsByObject_.empty()) {
    for (int32_t position = 0; position < static_cast<int32_t>(unitOrigins_.size()); ++position) {
      const TextOrigin& origin = unitOrigins_[static_cast<size_t>(position)];
      if (origin.object != 0) unitsByObject_[origin.object].emplace_back(origin.offset, position);
    }
    for (auto& [ref, units] : unitsByObject_) std::stable_sort(units.begin(), units.end());
  }
  auto found = unitsByObject_.find(object);
  if (found == unitsByObject_.end()) return std::nullopt;
  const auto& units = found->second;
  auto at = std::lower_bound(units.begin(), units.end(), std::pair<int32_t, int32_t>{offset, INT32_MIN});
  // A character that made no text of its own (an embedded object's U+FFFC) stands where the text
  // after the object's character before it begins: the embedded object's own text.
  if (at != units.end() && (at->first == offset || at == units.begin())) return at->second;
  return std::prev(at)->second + 1;
}

std::pair<int32_t, int32_t> PageSnapshot::CarriedFrom(const PageSnapshot& other, int32_t start,
                                                      int32_t end) const {
  start = std::clamp(start, 0, other.Length());
  end = std::clamp(end, start, other.Length());
  auto carried = [&](int32_t position) -> std::optional<int32_t> {
    auto origin = other.OriginOfUnit(position);
    return origin ? PositionOf(origin->object, origin->offset) : std::nullopt;
  };
  // The first and last characters of the range that came from an object.
  std::optional<int32_t> from;
  for (int32_t position = start; !from && position < end; ++position) from = carried(position);
  if (from) {
    std::optional<int32_t> to;
    for (int32_t position = end - 1; !to && position >= start; --position)
      if (auto at = carried(position)) to = *at + 1;
    return {*from, std::max(*from, to.value_or(*from))};
  }
  // A range without text (a caret, a break) stands right after the character before it, else at
  // the one after it.
  for (int32_t position = start - 1; position >= 0; --position)
    if (auto at = carried(position)) return {*at + 1, *at + 1};
  for (int32_t position = end; position < other.Length(); ++position)
    if (auto at = carried(position)) return {*at, *at};
  return {0, 0};
}

std::optional<ObjectSpan> PageSnapshot::FirstObjectSpan(int32_t start, int32_t end) const {
  start = std::max(start, 0);
  end = std::min(end, static_cast<int32_t>(unitOrigins_.size()));
  int32_t first = start;
  while (first < end && unitOrigins_[static_cast<size_t>(first)].object == 0) ++first;
  if (first >= end) return std::nullopt;
  const TextOrigin& from = unitOrigins_[static_cast<size_t>(first)];
  int32_t last = end - 1;
  while (unitOrigins_[static_cast<size_t>(last)].object != from.object) --last;
  return ObjectSpan{from.object, from.offset, unitOrigins_[static_cast<size_t>(last)].offset + 1};
}

std::optional<ObjectSpan> PageSnapshot::ScrollTarget(int32_t start, int32_t end) const {
  if (auto span = FirstObjectSpan(start, end)) return span;
  const auto length = static_cast<int32_t>(unitOrigins_.size());
  auto character = [&](int32_t position) -> std::optional<ObjectSpan> {
    const TextOrigin& origin = unitOrigins_[static_cast<size_t>(position)];
    if (origin.object == 0) return std::nullopt;
    return ObjectSpan{origin.object, origin.offset, origin.offset + 1};
  };
  for (int32_t position = std::max(end, 0); position < length; ++position)
    if (auto span = character(position)) return span;
  for (int32_t position = std::min(start, length) - 1; position >= 0; --position)
    if (auto span = character(position)) return span;
  return std::nullopt;
}

}  // namespace lectryn::accessibility
