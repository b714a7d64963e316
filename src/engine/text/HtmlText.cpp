#include "engine/text/HtmlText.h"

#include <algorithm>

namespace lectryn::engine::text {
namespace {

using dom::kNoNode;
using dom::NodeId;

void AppendEscaped(std::u16string& out, char16_t c, bool attribute) {
  switch (c) {
    case u'&':
      out += u"&amp;";
      break;
    case u'<':
      out += u"&lt;";
      break;
    case u'>':
      out += u"&gt;";
      break;
    case 0xA0:
      out += u"&nbsp;";
      break;
    case u'"':
      if (attribute)
        out += u"&quot;";
      else
        out.push_back(c);
      break;
    default:
      out.push_back(c);
  }
}

void AppendName(std::u16string& out, const std::string& name) {
  for (char c : name)
    out.push_back(
        static_cast<char16_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : static_cast<unsigned char>(c)));
}

void StartTag(std::u16string& out, const dom::Node& node) {
  out.push_back(u'<');
  AppendName(out, node.name);
  for (const dom::Attribute& attribute : node.attributes) {
    out.push_back(u' ');
    for (char c : attribute.name) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    out += u"=\"";
    for (char16_t c : attribute.value) AppendEscaped(out, c, true);
    out.push_back(u'"');
  }
  out.push_back(u'>');
}

void EndTag(std::u16string& out, const dom::Node& node) {
  if (node.Has(dom::kTagVoid)) return;
  out += u"</";
  AppendName(out, node.name);
  out.push_back(u'>');
}

bool IsInline(const css::ComputedStyle& style) {
  return style.display == css::Display::Inline || style.display == css::Display::InlineBlock ||
         style.display == css::Display::InlineTable || style.display == css::Display::InlineFlex ||
         style.display == css::Display::InlineGrid;
}

}  // namespace

std::u16string OuterHtml(const dom::Tree& tree, NodeId node) {
  std::u16string out;
  NodeId current = node;
  while (current != kNoNode) {
    const dom::Node& n = tree[current];
    if (n.kind == dom::NodeKind::Text) {
      for (char16_t c : n.text) AppendEscaped(out, c, false);
    } else if (n.IsElement()) {
      StartTag(out, n);
    }
    if (n.IsElement() && n.firstChild != kNoNode) {
      current = n.firstChild;
      continue;
    }
    // Close finished elements on the way to the next node.
    if (n.IsElement()) EndTag(out, n);
    while (current != node && tree[current].nextSibling == kNoNode) {
      current = tree[current].parent;
      EndTag(out, tree[current]);
    }
    current = current == node ? kNoNode : tree[current].nextSibling;
  }
  return out;
}

std::u16string HtmlText(const dom::Tree& tree, const std::vector<css::ComputedStyle>& styles,
                        const TextModel& model, int32_t start, int32_t end, NodeId container) {
  std::u16string out;
  if (start >= end) return out;
  // A range that holds only an object, or only some of the caption an object stands for.
  NodeId first = model.NodeOfUnit(start);
  if (tree[first].IsElement() && tree[first].Has(dom::kTagObject) && model.NodeOfUnit(end - 1) == first)
    return OuterHtml(tree, first);
  std::vector<NodeId> open;   // elements below the container whose tags are open in `out`
  std::vector<NodeId> chain;  // ancestors of the current run below the container, outermost first
  for (int32_t p = start; p < end;) {
    NodeId node = model.NodeOfUnit(p);
    int32_t runEnd = p + 1;
    while (runEnd < end && model.NodeOfUnit(runEnd) == node) ++runEnd;
    const dom::Node& n = tree[node];
    bool own = n.kind == dom::NodeKind::Text || n.Has(dom::kTagBreak) || n.Has(dom::kTagObject);
    chain.clear();
    for (NodeId e = own ? n.parent : node; e != kNoNode && e != container; e = tree[e].parent)
      chain.push_back(e);
    std::reverse(chain.begin(), chain.end());
    size_t common = 0;
    while (common < open.size() && common < chain.size() && open[common] == chain[common]) ++common;
    while (open.size() > common) {
      EndTag(out, tree[open.back()]);
      open.pop_back();
    }
    for (size_t k = common; k < chain.size(); ++k) {
      StartTag(out, tree[chain[k]]);
      open.push_back(chain[k]);
    }
    if (n.kind == dom::NodeKind::Text) {
      for (int32_t k = p; k < runEnd; ++k) {
        char16_t unit = model.Unit(k);
        if (unit == kBreakUnit)
          out.push_back(u'\n');
        else
          AppendEscaped(out, unit, false);
      }
    } else if (n.Has(dom::kTagBreak) || n.Has(dom::kTagObject)) {
      out += OuterHtml(tree, node);  // once for all units of its caption
    }
    // A BREAK between blocks or a TAB between cells has no markup of its own: the tags say it.
    p = runEnd;
  }
  while (!open.empty()) {
    EndTag(out, tree[open.back()]);
    open.pop_back();
  }
  for (NodeId e = container; e != kNoNode && tree[e].IsElement() &&
                             IsInline(styles[static_cast<size_t>(e)]) && !tree[e].Has(dom::kTagBody);
       e = tree[e].parent) {
    std::u16string wrapped;
    StartTag(wrapped, tree[e]);
    wrapped += out;
    EndTag(wrapped, tree[e]);
    out = std::move(wrapped);
  }
  return out;
}

}  // namespace lectryn::engine::text
