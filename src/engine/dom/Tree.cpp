#include "engine/dom/Tree.h"

#include <unordered_map>
#include <utility>

namespace lectryn::engine::dom {
namespace {

const std::unordered_map<std::string_view, uint16_t>& FlagTable() {
  static const auto* table = [] {
    auto* t = new std::unordered_map<std::string_view, uint16_t>;
    for (std::string_view name :
         {"address", "article", "aside",  "blockquote", "body",      "caption", "center",   "dd",
          "details", "dialog",  "dir",    "div",        "dl",        "dt",      "fieldset", "figcaption",
          "figure",  "footer",  "form",   "h1",         "h2",        "h3",      "h4",       "h5",
          "h6",      "header",  "hgroup", "hr",         "html",      "legend",  "listing",  "main",
          "menu",    "nav",     "ol",     "p",          "plaintext", "pre",     "search",   "section",
          "summary", "table",   "ul",     "xmp",        "li",        "tr",      "frameset"}) {
      (*t)[name] |= kTagBlock;
    }
    for (std::string_view name : {"img", "input", "textarea", "select", "button", "object", "iframe", "frame",
                                  "video", "audio", "canvas"}) {
      (*t)[name] |= kTagObject;
    }
    // Script, style and rp are hidden by the user-agent sheet only, so a page may show them; we run
    // no scripts, so noscript is shown as any other element.
    for (std::string_view name : {"head", "title", "template", "datalist", "noembed", "noframes", "area",
                                  "base", "link", "meta", "param"}) {
      (*t)[name] |= kTagNotRendered;
    }
    for (std::string_view name :
         {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source",
          "track", "wbr", "keygen", "frame", "basefont", "bgsound"}) {
      (*t)[name] |= kTagVoid;
    }
    (*t)["br"] |= kTagBreak;
    (*t)["td"] |= kTagCell;
    (*t)["th"] |= kTagCell;
    (*t)["tr"] |= kTagRow;
    (*t)["li"] |= kTagListItem;
    for (std::string_view name : {"pre", "listing", "xmp", "plaintext", "textarea"}) (*t)[name] |= kTagPre;
    (*t)["frame"] |= kTagFrame;
    (*t)["iframe"] |= kTagFrame;
    (*t)["body"] |= kTagBody;
    (*t)["frameset"] |= kTagFrameset;
    (*t)["style"] |= kTagStyle;
    (*t)["input"] |= kTagInput;
    (*t)["html"] |= kTagHtml;
    return t;
  }();
  return *table;
}

}  // namespace

uint16_t TagFlags(std::string_view lowerName) {
  const auto& table = FlagTable();
  auto it = table.find(lowerName);
  return it == table.end() ? 0 : it->second;
}

Tree::Tree() {
  nodes_.reserve(64);
  Node document;
  document.kind = NodeKind::Document;
  nodes_.push_back(std::move(document));
}

NodeId Tree::CreateElement(std::string lowerName) {
  Node node;
  node.kind = NodeKind::Element;
  node.flags = TagFlags(lowerName);
  node.name = std::move(lowerName);
  nodes_.push_back(std::move(node));
  return Size() - 1;
}

NodeId Tree::CreateText(std::u16string text) {
  Node node;
  node.kind = NodeKind::Text;
  node.text = std::move(text);
  nodes_.push_back(std::move(node));
  return Size() - 1;
}

void Tree::AppendChild(NodeId parent, NodeId child) {
  InsertBefore(parent, child, kNoNode);
}

void Tree::InsertBefore(NodeId parent, NodeId child, NodeId before) {
  Node& p = (*this)[parent];
  Node& c = (*this)[child];
  c.parent = parent;
  if (before == kNoNode) {
    c.prevSibling = p.lastChild;
    c.nextSibling = kNoNode;
    if (p.lastChild != kNoNode)
      (*this)[p.lastChild].nextSibling = child;
    else
      p.firstChild = child;
    p.lastChild = child;
    return;
  }
  Node& b = (*this)[before];
  c.prevSibling = b.prevSibling;
  c.nextSibling = before;
  if (b.prevSibling != kNoNode)
    (*this)[b.prevSibling].nextSibling = child;
  else
    p.firstChild = child;
  b.prevSibling = child;
}

const std::u16string* Tree::AttributeValue(NodeId element, std::string_view lowerName) const {
  for (const Attribute& attribute : (*this)[element].attributes) {
    if (attribute.name == lowerName) return &attribute.value;
  }
  return nullptr;
}

NodeId Tree::Next(NodeId id, NodeId scope) const {
  if ((*this)[id].firstChild != kNoNode) return (*this)[id].firstChild;
  return NextSkippingChildren(id, scope);
}

NodeId Tree::NextSkippingChildren(NodeId id, NodeId scope) const {
  while (id != scope && id != kNoNode) {
    if ((*this)[id].nextSibling != kNoNode) return (*this)[id].nextSibling;
    id = (*this)[id].parent;
  }
  return kNoNode;
}

NodeId Tree::ChildWith(NodeId parent, TagFlag flag) const {
  for (NodeId child = (*this)[parent].firstChild; child != kNoNode; child = (*this)[child].nextSibling) {
    if ((*this)[child].IsElement() && (*this)[child].Has(flag)) return child;
  }
  return kNoNode;
}

NodeId Tree::HtmlElement() const {
  return ChildWith(Root(), kTagHtml);
}

NodeId Tree::Body() const {
  NodeId html = HtmlElement();
  if (html == kNoNode) return kNoNode;
  NodeId body = ChildWith(html, kTagBody);
  return body != kNoNode ? body : ChildWith(html, kTagFrameset);
}

bool Tree::IsInclusiveAncestor(NodeId ancestor, NodeId node) const {
  for (; node != kNoNode; node = (*this)[node].parent) {
    if (node == ancestor) return true;
  }
  return false;
}

}  // namespace lectryn::engine::dom
