#include "accessibility/SnapshotMarkup.h"

#include <algorithm>

#include "platform/Text.h"

namespace lectryn::accessibility {
namespace {

constexpr char16_t kEmbeddedObject = 0xFFFC;
constexpr char16_t kZeroWidthNoBreak = 0xFEFF;
// Elements deeper than this make none (their text joins the element above): the engine's parser
// leaves out tags beyond its own nesting cap (512), and a tag it left out would shift the text.
constexpr int kMaxElementDepth = 400;

bool IsHighSurrogate(char16_t c) {
  return (c & 0xFC00) == 0xD800;
}
bool IsLowSurrogate(char16_t c) {
  return (c & 0xFC00) == 0xDC00;
}

bool LeftOut(const AxNode& node) {
  return node.hidden || node.isProtected || node.role == AxRole::Password;
}

bool MakesNoElement(AxRole role) {
  return role == AxRole::Other || role == AxRole::Text || role == AxRole::Document ||
         role == AxRole::Password;
}

bool IsBlank(std::u16string_view run) {
  return std::all_of(run.begin(), run.end(), [](char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == kZeroWidthNoBreak;
  });
}

// A list item's text starts with its bullet ("• "), which our own pages draw rather than read.
size_t MarkerLength(const AxNode& node) {
  if (node.role != AxRole::ListItem || node.text.size() < 2 || node.text[1] != u' ') return 0;
  static constexpr std::u16string_view kBullets =
      u"\u2022\u25E6\u25AA\u25AB\u25A0\u25A1\u25CF\u25CB\u2023\u2043";
  return kBullets.find(node.text[0]) == std::u16string_view::npos ? 0 : 2;
}

// The parts of a node in reading order: runs of its own text (with the code point offset where
// each starts) and the children that stand in it at their U+FFFC. A node without a text has its
// children as parts. Children that are not embedded repeat the text and are not parts; left-out
// children are not reported.
template <class OnText, class OnChild>
void ForEachPart(const AxNode& node, OnText&& onText, OnChild&& onChild) {
  if (!node.hasText) {
    for (const AxNode& child : node.children)
      if (!LeftOut(child)) onChild(child);
    return;
  }
  const std::u16string_view text = node.text;
  size_t runStart = MarkerLength(node);
  auto offset = static_cast<int32_t>(runStart);  // the marker is two BMP characters
  int32_t runOffset = offset;
  size_t embedded = 0;
  for (size_t i = runStart; i < text.size(); ++i) {
    if (text[i] != kEmbeddedObject) {
      if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
      ++offset;
      continue;
    }
    if (i > runStart) onText(text.substr(runStart, i - runStart), runOffset);
    int32_t index = embedded < node.embedded.size() ? node.embedded[embedded] : -1;
    ++embedded;
    if (index >= 0 && static_cast<size_t>(index) < node.children.size()) {
      const AxNode& child = node.children[static_cast<size_t>(index)];
      if (!LeftOut(child)) onChild(child);
    }
    ++offset;
    runStart = i + 1;
    runOffset = offset;
  }
  if (runStart < text.size()) onText(text.substr(runStart), runOffset);
}

// True when a node's parts, looking through nodes that make no element, are only `wanted` nodes
// (rows of a table; a row's only cells) and blank text: then the table can be written as one.
bool OnlyParts(const AxNode& node, AxRole wanted) {
  bool only = true;
  ForEachPart(
      node, [&](std::u16string_view run, int32_t) { only = only && IsBlank(run); },
      [&](const AxNode& child) {
        if (!only) return;
        if (child.role == wanted)
          only = wanted != AxRole::Row || OnlyParts(child, AxRole::Cell);
        else
          only = MakesNoElement(child.role) && OnlyParts(child, wanted);
      });
  return only;
}

class Writer {
 public:
  SnapshotMarkup Run(const AxNode& document) {
    markup_.html.reserve(document.text.size() * 2 + 4096);
    markup_.html += "<!DOCTYPE html><html";
    Language(document.language);
    markup_.html += "><head></head>";
    // The program's text is already laid out in lines and spaces: keep every character.
    Open(R"(body style="white-space: pre-wrap")", document.ref, {});
    Content(document, Context{});
    markup_.html += "</body></html>";
    return std::move(markup_);
  }

 private:
  // What is open around the node being written, so that no tag of ours makes the HTML tree
  // builder close an element early: a heading closes a heading that is the current node, a list
  // item the list item open outside any list, a link the link it is in.
  struct Context {
    bool inLink = false;
    bool inHeading = false;
    bool listItemOpen = false;  // a list item with no list, table or heading opened inside it since
    int depth = 0;
  };

  void Content(const AxNode& node, const Context& context) {
    ForEachPart(
        node, [&](std::u16string_view run, int32_t offset) { Text(run, node.ref, offset); },
        [&](const AxNode& child) { Node(child, context); });
  }

  void Node(const AxNode& node, Context context) {
    if (context.depth >= kMaxElementDepth || MakesNoElement(node.role)) return Content(node, context);
    switch (node.role) {
      case AxRole::Paragraph:
        return Paragraph(node, context);
      case AxRole::Heading: {
        context.listItemOpen = false;
        int level = node.level <= 0 ? 2 : std::min(node.level, 6);  // 0: the program did not say
        std::string tag = context.inHeading ? "div" : "h" + std::to_string(level);
        context.inHeading = true;
        return Element(tag, node, context);
      }
      case AxRole::List:
        context.listItemOpen = false;
        return Element("ul", node, context);
      case AxRole::ListItem: {
        const char* tag = context.listItemOpen ? "div" : "li";
        context.listItemOpen = true;
        return Element(tag, node, context);
      }
      case AxRole::Table:
        return Table(node, context);
      case AxRole::Link:
        if (context.inLink) return Content(node, context);
        context.inLink = true;
        return Element("a", node, context);
      default:  // sections, frames, and rows or cells outside a table that can be written as one
        return Element("div", node, context);
    }
  }

  void Element(std::string_view tag, const AxNode& node, Context context) {
    Open(tag, node);
    ++context.depth;
    Content(node, context);
    Close(tag);
  }

  // The tree builder closes an open <p> at the start of any block, so a paragraph that holds
  // blocks is written as a <div>: which one is known only after its content.
  void Paragraph(const AxNode& node, Context context) {
    auto index = static_cast<int32_t>(markup_.elementRefs.size());
    markup_.elementRefs.push_back(node.ref);
    blockWritten_ = false;
    std::string content;
    std::string* outer = out_;
    out_ = &content;
    ++context.depth;
    Content(node, context);
    out_ = outer;
    std::string_view tag = blockWritten_ ? "div" : "p";
    OpenIndexed(tag, index, node.language);
    out_->append(content);
    Close(tag);
    blockWritten_ = true;
  }

  // A table whose parts are rows of cells is written as one (the tree builder adds a <tbody>);
  // anything else between them would be moved out of the table, so such a table is written as
  // divisions.
  void Table(const AxNode& node, Context context) {
    if (!OnlyParts(node, AxRole::Row)) return Element("div", node, context);
    Open("table", node);
    ++context.depth;
    TableParts(node, AxRole::Row, context);
    Close("table");
  }

  void TableParts(const AxNode& node, AxRole wanted, const Context& context) {
    ForEachPart(
        node, [](std::u16string_view, int32_t) {},  // blank between rows and cells
        [&](const AxNode& child) {
          if (child.role != wanted) return TableParts(child, wanted, context);
          Context inner = context;
          ++inner.depth;
          if (wanted == AxRole::Row) {
            Open("tr", child);
            TableParts(child, AxRole::Cell, inner);
            Close("tr");
            return;
          }
          inner.inHeading = false;
          inner.listItemOpen = false;
          Open("td", child);
          Content(child, inner);
          Close("td");
        });
  }

  void Open(std::string_view tag, const AxNode& node) { Open(tag, node.ref, node.language); }

  void Open(std::string_view tag, AxRef ref, std::u16string_view language) {
    auto index = static_cast<int32_t>(markup_.elementRefs.size());
    markup_.elementRefs.push_back(ref);
    OpenIndexed(tag, index, language);
  }

  void OpenIndexed(std::string_view tag, int32_t index, std::u16string_view language) {
    if (tag != "a") blockWritten_ = true;
    out_->push_back('<');
    out_->append(tag);
    out_->push_back(' ');
    out_->append(kIndexAttribute);
    out_->push_back('=');
    out_->append(std::to_string(index));
    Language(language);
    out_->push_back('>');
  }

  // A lang attribute, so that the page's text is spoken in its language; a tag with anything
  // but letters, digits and hyphens is not one and is left out.
  void Language(std::u16string_view language) {
    bool tag = !language.empty() && std::all_of(language.begin(), language.end(), [](char16_t c) {
      return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-';
    });
    if (!tag) return;
    out_->append(R"( lang=")");
    for (char16_t c : language) out_->push_back(static_cast<char>(c));
    out_->push_back('"');
  }

  void Close(std::string_view tag) {
    out_->append("</");
    out_->append(tag);
    out_->push_back('>');
  }

  // The parser turns CR LF and CR into LF and drops NUL; U+FEFF is the program's own mark after
  // a character outside the BMP. Each is settled here, so that the text nodes hold `text`.
  void Text(std::u16string_view run, AxRef ref, int32_t offset) {
    for (size_t i = 0; i < run.size(); ++i, ++offset) {
      char16_t c = run[i];
      if (c == kZeroWidthNoBreak || c == 0) continue;
      if (c == u'\r') {
        Character(u'\n', ref, offset);
        if (i + 1 < run.size() && run[i + 1] == u'\n') {
          ++i;
          ++offset;
        }
        continue;
      }
      if (IsHighSurrogate(c) && i + 1 < run.size() && IsLowSurrogate(run[i + 1])) {
        Character(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (run[i + 1] - 0xDC00), ref, offset);
        ++i;
        continue;
      }
      Character(IsHighSurrogate(c) || IsLowSurrogate(c) ? U'\uFFFD' : c, ref, offset);
    }
  }

  void Character(char32_t c, AxRef ref, int32_t offset) {
    size_t before = markup_.text.size();
    platform::AppendUtf16(markup_.text, c);
    markup_.textOrigins.insert(markup_.textOrigins.end(), markup_.text.size() - before,
                               TextOrigin{ref, offset});
    if (c == U'&')
      out_->append("&amp;");
    else if (c == U'<')
      out_->append("&lt;");
    else
      platform::AppendUtf8(*out_, c);
  }

  SnapshotMarkup markup_;
  std::string* out_ = &markup_.html;
  bool blockWritten_ = false;  // an element other than a link was written (inside the paragraph at hand)
};

}  // namespace

SnapshotMarkup WriteSnapshotMarkup(const AxNode& document) {
  return Writer().Run(document);
}

}  // namespace lectryn::accessibility
