#include "engine/dom/HtmlParser.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <memory>
#include <string>
#include <utility>

#include "engine/dom/DepthGuard.h"
#include "platform/Text.h"

namespace lectryn::engine::dom {
namespace {

std::string ElementName(const GumboElement& element) {
  if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
  GumboStringPiece original = element.original_tag;
  gumbo_tag_from_original_text(&original);
  std::string name(original.data == nullptr ? "" : std::string(original.data, original.length));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// Copies gumbo's subtree under `from` into `tree` under `to`, iteratively (trees can be deep).
void CopyChildren(const GumboNode* from, NodeId to, Tree& tree, std::vector<NodeId>* topLevel) {
  struct Item {
    const GumboVector* children;
    unsigned next;
    NodeId parent;
  };
  auto childrenOf = [](const GumboNode* node) -> const GumboVector* {
    if (node->type == GUMBO_NODE_DOCUMENT) return &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE)
      return &node->v.element.children;
    return nullptr;
  };
  std::vector<Item> stack;
  stack.push_back({childrenOf(from), 0, to});
  while (!stack.empty()) {
    Item& item = stack.back();
    if (item.next >= item.children->length) {
      stack.pop_back();
      continue;
    }
    const auto* child = static_cast<const GumboNode*>(item.children->data[item.next++]);
    NodeId parent = item.parent;
    bool top = stack.size() == 1 && topLevel != nullptr;
    switch (child->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA: {
        NodeId text = tree.CreateText(platform::FromUtf8(child->v.text.text));
        if (top)
          topLevel->push_back(text);
        else
          tree.AppendChild(parent, text);
        break;
      }
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE: {
        const GumboElement& source = child->v.element;
        NodeId element = tree.CreateElement(ElementName(source));
        auto& attributes = tree[element].attributes;
        attributes.reserve(source.attributes.length);
        for (unsigned k = 0; k < source.attributes.length; ++k) {
          const auto* attribute = static_cast<const GumboAttribute*>(source.attributes.data[k]);
          std::string name = attribute->name;
          for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          attributes.push_back({std::move(name), platform::FromUtf8(attribute->value)});
        }
        if (top)
          topLevel->push_back(element);
        else
          tree.AppendChild(parent, element);
        if (source.children.length > 0) stack.push_back({&source.children, 0, element});
        break;
      }
      default:
        break;  // comments and the document node
    }
  }
}

// gumbo's output, destroyed with it. gumbo frees its tree recursively; the nesting limit keeps
// that recursion shallow. The output points into the markup it read (unknown tags' original
// text), so markup rewritten by the nesting limit lives as long as the output.
struct Parsed {
  GumboOptions options = kGumboDefaultOptions;
  std::string limited;
  GumboOutput* output = nullptr;
  Parsed() = default;
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;
  ~Parsed() {
    if (output != nullptr) gumbo_destroy_output(&options, output);
  }
};

std::unique_ptr<Parsed> Parse(std::string_view utf8Html, GumboTag fragmentContext) {
  auto parsed = std::make_unique<Parsed>();
  if (LimitNesting(utf8Html, parsed->limited)) utf8Html = parsed->limited;
  parsed->options.max_errors = 0;
  parsed->options.fragment_context = fragmentContext;
  parsed->options.fragment_namespace = GUMBO_NAMESPACE_HTML;
  parsed->output = gumbo_parse_with_options(&parsed->options, utf8Html.data(), utf8Html.size());
  return parsed;
}

// The doctypes of the HTML parsing algorithm that ask for limited quirks; the parser reports
// some of them (HTML 4.01 with a system identifier) as no quirks.
bool LimitedQuirksDoctype(const GumboDocument& document) {
  if (!document.has_doctype || document.public_identifier == nullptr) return false;
  auto startsWith = [&](const char* prefix) {
    return strncasecmp(document.public_identifier, prefix, strlen(prefix)) == 0;
  };
  if (startsWith("-//W3C//DTD XHTML 1.0 Frameset//") || startsWith("-//W3C//DTD XHTML 1.0 Transitional//"))
    return true;
  const bool systemId = document.system_identifier != nullptr && document.system_identifier[0] != '\0';
  return systemId &&
         (startsWith("-//W3C//DTD HTML 4.01 Frameset//") || startsWith("-//W3C//DTD HTML 4.01 Transitional//"));
}

}  // namespace

void ParseDocument(std::string_view utf8Html, Tree& tree) {
  auto parsed = Parse(utf8Html, GUMBO_TAG_LAST);
  tree.Reserve(utf8Html.size() / 16 + 16);  // pages have about one node per 20 bytes of markup
  CopyChildren(parsed->output->document, tree.Root(), tree, nullptr);
  switch (parsed->output->document->v.document.doc_type_quirks_mode) {
    case GUMBO_DOCTYPE_QUIRKS:
      tree.SetQuirks(QuirksMode::Full);
      break;
    case GUMBO_DOCTYPE_LIMITED_QUIRKS:
      tree.SetQuirks(QuirksMode::Limited);
      break;
    default:
      tree.SetQuirks(LimitedQuirksDoctype(parsed->output->document->v.document) ? QuirksMode::Limited
                                                                                : QuirksMode::None);
      break;
  }
}

std::vector<NodeId> ParseBodyFragment(std::string_view utf8Html, Tree& tree) {
  auto parsed = Parse(utf8Html, GUMBO_TAG_BODY);
  std::vector<NodeId> topLevel;
  // A fragment parses into an html element whose children are the fragment's nodes.
  CopyChildren(parsed->output->root, kNoNode, tree, &topLevel);
  return topLevel;
}

}  // namespace lectryn::engine::dom
