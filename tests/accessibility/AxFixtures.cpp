#include "AxFixtures.h"

#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::accessibility::testing {

AxNode Texted(AxRole role, AxRef ref, const std::string& text, std::vector<int32_t> embedded,
              std::vector<AxNode> children) {
  AxNode node;
  node.role = role;
  node.ref = ref;
  node.hasText = true;
  for (char16_t c : platform::FromUtf8(text)) node.text.push_back(c == u'*' ? u'\uFFFC' : c);
  node.embedded = std::move(embedded);
  node.children = std::move(children);
  return node;
}

AxNode Box(AxRole role, AxRef ref, std::vector<AxNode> children) {
  AxNode node;
  node.role = role;
  node.ref = ref;
  node.children = std::move(children);
  return node;
}

AxNode Hidden(AxNode node) {
  node.hidden = true;
  return node;
}

AxNode ChromiumParagraph(AxRef ref, const std::string& before, const std::string& link,
                         const std::string& after) {
  AxNode linkNode = Texted(AxRole::Link, ref + 1, link, {}, {Texted(AxRole::Text, ref + 2, link)});
  return Texted(
      AxRole::Paragraph, ref, before + "*" + after, {1},
      {Texted(AxRole::Text, ref + 3, before), std::move(linkNode), Texted(AxRole::Text, ref + 4, after)});
}

std::string Origins(const PageSnapshot& snapshot) {
  const auto& model = snapshot.Document()->Model();
  std::u16string out;
  std::optional<TextOrigin> previous;
  for (int32_t p = 0; p < model.Length(); ++p) {
    char16_t unit = model.Unit(p);
    bool pairEnd = (unit & 0xFC00) == 0xDC00;
    auto origin = snapshot.OriginOfUnit(p);
    if (origin && !pairEnd &&
        (!previous || previous->object != origin->object || previous->offset + 1 != origin->offset)) {
      out += platform::FromUtf8("<" + std::to_string(origin->object) + ":" + std::to_string(origin->offset) +
                                ">");
    }
    if (!pairEnd) previous = origin;
    out.push_back(unit == engine::text::kBreakUnit ? u'\n' : unit);
  }
  return platform::ToUtf8(out);
}

std::string Elements(const PageSnapshot& snapshot) {
  const auto& document = *snapshot.Document();
  const auto& tree = document.Tree();
  std::string out;
  auto open = [&](engine::dom::NodeId node) {
    out += tree[node].name;
    engine::dom::NodeId parent = tree[node].parent;
    AxRef ref = snapshot.RefOf(node);
    if (node == tree.Body() || ref != snapshot.RefOf(parent)) out += "#" + std::to_string(ref);
  };
  // Iterative pre-order over elements, closing brackets on the way up.
  engine::dom::NodeId body = tree.Body();
  open(body);
  std::vector<engine::dom::NodeId> stack{body};
  std::vector<bool> opened{false};
  engine::dom::NodeId node = tree[body].firstChild;
  while (!stack.empty()) {
    if (node == engine::dom::kNoNode) {
      if (opened.back()) out += ")";
      node = tree[stack.back()].nextSibling;
      stack.pop_back();
      opened.pop_back();
      continue;
    }
    if (!tree[node].IsElement()) {
      node = tree[node].nextSibling;
      continue;
    }
    out += opened.back() ? " " : "(";
    opened.back() = true;
    open(node);
    stack.push_back(node);
    opened.push_back(false);
    node = tree[node].firstChild;
  }
  return out;
}

std::vector<AxRef> FakeBridge::ObjectsAtPoint(int32_t screenX, int32_t screenY) {
  if (failing) throw platform::Failure("the browser did not answer");
  auto it = chains.find({screenX, screenY});
  return it == chains.end() ? std::vector<AxRef>{} : it->second;
}

AxExtents FakeBridge::Extents(AxRef object) {
  if (failing) throw platform::Failure("the browser did not answer");
  return extents.at(object);
}

void FakeBridge::Select(AxRef object, int32_t startOffset, int32_t endOffset) {
  if (failing) throw platform::Failure("the browser did not answer");
  selects.push_back({object, startOffset, endOffset});
}

void FakeBridge::ScrollTo(AxRef object, int32_t startOffset, int32_t endOffset) {
  if (failing) throw platform::Failure("the browser did not answer");
  scrolls.push_back({object, startOffset, endOffset});
}

bool FakeBridge::Busy() {
  if (failing) throw platform::Failure("the browser did not answer");
  return busy;
}

std::u16string FakeBridge::Url() {
  if (failing) throw platform::Failure("the browser did not answer");
  return url;
}

}  // namespace lectryn::accessibility::testing
