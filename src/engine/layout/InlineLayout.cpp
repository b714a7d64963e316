// Inline formatting (CSS 2.1 sections 9.4.2, 10.8 and 16): the inline content of a block
// container is gathered into items, cut into pieces at the line break opportunities of UAX #14,
// set on lines greedily beside the floats, and aligned horizontally and vertically.
#include <unicode/ubrk.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/layout/AsciiLineBreaks.h"
#include "engine/layout/Layouter.h"

namespace lectryn::engine::layout {

using css::ComputedStyle;
using css::Display;
using css::WhiteSpace;
using dom::kNoNode;
using dom::NodeId;

namespace {

struct BreakIteratorCloser {
  void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// Opening a line break iterator loads its rules: one per thread, reused.
std::unique_ptr<UBreakIterator, BreakIteratorCloser> OpenIterator(UBreakIteratorType type) {
  UErrorCode status = U_ZERO_ERROR;
  UBreakIterator* opened = ubrk_open(type, "", nullptr, 0, &status);
  return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(U_SUCCESS(status) ? opened : nullptr);
}

UBreakIterator* LineIterator() {
  thread_local auto iterator = OpenIterator(UBRK_LINE);
  return iterator.get();
}

UBreakIterator* GraphemeIterator() {
  thread_local auto iterator = OpenIterator(UBRK_CHARACTER);
  return iterator.get();
}

bool Wraps(WhiteSpace ws) {
  return ws != WhiteSpace::Nowrap && ws != WhiteSpace::Pre;
}

bool CollapsesSpaces(WhiteSpace ws) {
  return ws != WhiteSpace::Pre && ws != WhiteSpace::PreWrap;
}

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

constexpr char16_t kObjectReplacement = 0xFFFC;
constexpr float kTabSpaces = 8;

}  // namespace

// Lays out (or, without a flow, only measures) one run of inline content.
class InlineFormatter {
 public:
  InlineFormatter(Layouter& layouter, NodeId container) : l_(layouter), container_(container) {}

  void Collect(NodeId first, NodeId last);
  void Cut(const Containing* cb);
  IntrinsicWidths Measure();
  void LayOut(int32_t parentBox, const Containing& cb, BlockFlow& flow, bool anonymous, bool firstLine);

 private:
  enum class Type : uint8_t { Text, Open, Close, Atomic, Break, Float, Absolute, Block };
  struct Item {
    Type type = Type::Text;
    bool hidden = false;
    WhiteSpace ws = WhiteSpace::Normal;
    NodeId node = kNoNode;
    NodeId element = kNoNode;
    int32_t font = 0;
    int32_t unitStart = -1;
    uint32_t begin = 0;  // into text_
    uint32_t end = 0;
  };
  struct Piece {
    uint32_t item = 0;
    uint32_t begin = 0;
    uint32_t end = 0;
    float width = 0;     // advance (margin box of atomics, edges of inline elements)
    float hang = 0;      // trailing collapsible spaces: do not count where the line ends
    float minWidth = 0;  // of atomics when measuring
    bool breakBefore = false;
    bool tab = false;
  };
  struct Frame {
    int32_t box = -1;
    NodeId element = kNoNode;
    float shift = 0;     // baseline offset from the line's (or its aligned group's) baseline, down positive
    int32_t group = -1;  // the vertical-align top/bottom subtree it stands in, index into aligned_
  };
  // A subtree aligned to the line box's top or bottom: placed once the rest of the line is.
  struct Aligned {
    bool bottom = false;
    int32_t firstBox = -1;
    int32_t endBox = -1;
    size_t firstRun = 0;  // into lineRuns_
    size_t endRun = 0;
    float above = 0;  // its extent around its own baseline
    float below = 0;
  };

  bool Add(NodeId node);
  void AddText(NodeId node);
  void Push(Type type, NodeId node, NodeId element, int32_t unitStart, bool hidden, WhiteSpace ws);
  void AppendText(std::u16string_view text, const ComputedStyle& style);
  bool Content(const Piece& piece) const;
  float EdgeWidth(NodeId element, bool start) const;
  float AtomicWidth(NodeId node, float* minWidth);
  float TabWidth(const Piece& piece, float x) const;
  size_t BuildLine(size_t start, float& top, float left, float right, float indent, BlockFlow& flow,
                   int32_t parentBox, const Containing& cb);
  class LineEmitter;
  size_t LastContent(size_t start, size_t end) const;  // end when the line has none
  bool EndsForced(size_t end) const;
  size_t SplitToFit(size_t index, float room, bool lineEmpty);
  void PlaceAligned(float& above, float& below) const;
  int32_t Expansions(const Piece& piece, bool lastOnLine) const;
  float Shift(NodeId element, NodeId parent, float parentShift);
  void Extent(NodeId element, float shift, float& above, float& below);
  bool HasEdges(NodeId element) const;
  FloatContext::Band Band(float top, const Containing& cb) const;
  int32_t ParentBox() const { return frames_.empty() ? line_ : frames_.back().box; }
  void PlaceFloat(NodeId node, float top);

  Layouter& l_;
  NodeId container_;
  std::vector<Item> items_;
  std::vector<Piece> pieces_;
  std::u16string text_;
  bool lastSpace_ = true;     // collapsing our own text: the last character was a collapsible space
  bool wordStart_ = true;     // capitalising: the next letter starts a word
  std::vector<NodeId> open_;  // inline elements open at the end of the line being built
  // While laying out:
  const Containing* cb_ = nullptr;
  int32_t blockBox_ = -1;  // the box the lines go in
  int32_t line_ = -1;
  std::vector<Frame> frames_;
  std::vector<Aligned> aligned_;
  std::vector<TextRun> lineRuns_;
  std::vector<NodeId> deferredFloats_;
  std::vector<float> carets_;  // scratch: caret x positions of one text item
};

// Sets one line that BuildLine chose: aligns it in its band, opens and closes the fragments of
// inline boxes, places text runs and atomic boxes, grows the line around them, and finally
// places the line box and everything standing in it.
class InlineFormatter::LineEmitter {
 public:
  LineEmitter(InlineFormatter& formatter, size_t start, size_t end)
      : f_(formatter),
        l_(formatter.l_),
        start_(start),
        end_(end),
        lastContent_(formatter.LastContent(start, end)),
        quirky_(formatter.l_.tree_.Quirks() != dom::QuirksMode::None) {}

  void Emit(float top, FloatContext::Band band, float indent, bool lastLine, BlockFlow& flow);

 private:
  float ContentWidth() const;
  void Align(FloatContext::Band band, float indent, bool lastLine);
  void Begin();
  void Place(size_t index);
  void PlaceText(size_t index);
  void PlaceAtomic(size_t index);
  void OpenFrame(NodeId element, float boxX);
  void CloseFrame(float rightEdges);
  int32_t Group() const { return f_.frames_.empty() ? -1 : f_.frames_.back().group; }
  float& SinkAbove();
  float& SinkBelow();
  void TextExtent();
  size_t AddMarker();
  void Finish(float top, FloatContext::Band band, BlockFlow& flow);

  InlineFormatter& f_;
  Layouter& l_;
  const size_t start_;
  const size_t end_;
  const size_t lastContent_;  // end_ when the line has none
  // The line height quirk of old pages: the block's strut and the line height of an inline box
  // without borders or padding count only on lines where text stands directly in them.
  const bool quirky_;
  float x_ = 0;          // where the next piece goes
  float lineStart_ = 0;  // x of the line's content once aligned
  float perSpace_ = 0;   // what justification adds to each space
  float trimmed_ = 0;    // the hanging spaces once the line's last content is set: no box covers them
  float above_ = 0;      // the line's extent around its baseline
  float below_ = 0;
  bool visible_ = false;  // not a phantom line: text, an atomic, a break or an inline box with edges
};

void InlineFormatter::Collect(NodeId first, NodeId last) {
  const dom::Tree& tree = l_.tree_;
  for (NodeId root = first; root != kNoNode; root = tree[root].nextSibling) {
    NodeId node = root;
    while (true) {
      bool descend = Add(node);
      if (descend && tree[node].firstChild != kNoNode) {
        node = tree[node].firstChild;
        continue;
      }
      if (descend) Push(Type::Close, node, node, -1, false, WhiteSpace::Normal);
      while (node != root && tree[node].nextSibling == kNoNode) {
        node = tree[node].parent;
        Push(Type::Close, node, node, -1, false, WhiteSpace::Normal);
      }
      if (node == root) break;
      node = tree[node].nextSibling;
    }
    if (root == last) break;
  }
}

// Adds the item of a node; true for an inline element whose children follow.
bool InlineFormatter::Add(NodeId node) {
  const dom::Node& n = l_.tree_[node];
  if (n.kind == dom::NodeKind::Text) {
    AddText(node);
    return false;
  }
  if (!l_.Rendered(node)) return false;
  const ComputedStyle& style = l_.Style(node);
  WhiteSpace ws = style.whiteSpace;
  if (n.Has(dom::kTagBreak)) {
    lastSpace_ = true;
    Push(Type::Break, node, node, -1, false, ws);
  } else if (l_.OutOfFlow(node)) {
    Push(style.floating != css::Float::None ? Type::Float : Type::Absolute, node, node, -1, false, ws);
  } else if (l_.BlockLevel(node)) {
    lastSpace_ = true;
    Push(Type::Block, node, node, -1, false, ws);
  } else if (style.display == Display::InlineBlock || style.display == Display::InlineTable ||
             style.display == Display::InlineFlex || style.display == Display::InlineGrid ||
             l_.ReplacedKindOf(node) != ReplacedKind::None) {
    lastSpace_ = false;
    Push(Type::Atomic, node, node, l_.input_.model.SpanOf(node).start, false, ws);
  } else {
    Push(Type::Open, node, node, -1, false, ws);
    return true;
  }
  return false;
}

void InlineFormatter::Push(Type type, NodeId node, NodeId element, int32_t unitStart, bool hidden,
                           WhiteSpace ws) {
  Item item;
  item.type = type;
  item.node = node;
  item.element = element;
  item.unitStart = unitStart;
  item.hidden = hidden;
  item.ws = ws;
  item.font = l_.FontOf(element);
  item.begin = static_cast<uint32_t>(text_.size());
  if (type == Type::Atomic) text_.push_back(kObjectReplacement);
  if (type == Type::Break || type == Type::Block) text_.push_back(u'\n');
  item.end = static_cast<uint32_t>(text_.size());
  items_.push_back(item);
}

void InlineFormatter::AppendText(std::u16string_view text, const ComputedStyle& style) {
  size_t from = text_.size();
  text_.append(text);
  // Case changes one code unit for one, so runs keep showing their units one to one.
  for (size_t i = from; i < text_.size(); ++i) {
    char16_t& c = text_[i];
    bool letter = u_isalpha(c);
    switch (style.textTransform) {
      case css::TextTransform::Uppercase:
        c = static_cast<char16_t>(u_toupper(c));
        break;
      case css::TextTransform::Lowercase:
        c = static_cast<char16_t>(u_tolower(c));
        break;
      case css::TextTransform::Capitalize:
        if (letter && wordStart_) c = static_cast<char16_t>(u_totitle(c));
        break;
      default:
        break;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = text[i - from];  // leave surrogates whole
    wordStart_ = !letter && !u_isdigit(c) && c != u'\'';
  }
}

void InlineFormatter::AddText(NodeId node) {
  const dom::Tree& tree = l_.tree_;
  const ComputedStyle& style = l_.Style(node);
  const NodeId element = tree[node].parent;
  const WhiteSpace ws = style.whiteSpace;
  const bool hidden = style.visibility == css::Visibility::Hidden;
  auto [first, end] = l_.unitsOfText_[static_cast<size_t>(node)];
  if (first >= 0) {
    // The model's units are the text: a BREAK among them is a preserved line break.
    std::u16string_view units = l_.input_.model.Units();
    int32_t start = first;
    for (int32_t u = first; u <= end; ++u) {
      bool atBreak = u < end && units[static_cast<size_t>(u)] == text::kBreakUnit;
      if (u == end || atBreak) {
        if (u > start) {
          Push(Type::Text, node, element, start, false, ws);
          AppendText(units.substr(static_cast<size_t>(start), static_cast<size_t>(u - start)), style);
          items_.back().end = static_cast<uint32_t>(text_.size());
        }
        if (atBreak) Push(Type::Break, node, element, u, false, ws);
        start = u + 1;
      }
    }
    lastSpace_ = end > first && units[static_cast<size_t>(end - 1)] == u' ';
    return;
  }
  if (l_.insideModel_ && !hidden) return;  // the model collapsed it away
  // Text the model does not hold: collapse it here as the model would.
  const std::u16string& raw = tree[node].text;
  std::u16string kept;
  auto flush = [&] {
    if (kept.empty()) return;
    Push(Type::Text, node, element, -1, hidden, ws);
    AppendText(kept, style);
    items_.back().end = static_cast<uint32_t>(text_.size());
    kept.clear();
  };
  const bool collapse = CollapsesSpaces(ws);
  const bool newlines = ws != WhiteSpace::Normal && ws != WhiteSpace::Nowrap;
  for (size_t i = 0; i < raw.size(); ++i) {
    char16_t c = raw[i];
    if ((c == u'\n' || c == u'\r') && newlines) {
      if (c == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n') ++i;
      if (collapse && !kept.empty() && kept.back() == u' ') kept.pop_back();
      flush();
      Push(Type::Break, node, element, -1, hidden, ws);
      lastSpace_ = true;
      continue;
    }
    if (collapse && IsSpace(c)) {
      if (!lastSpace_) kept.push_back(u' ');
      lastSpace_ = true;
      continue;
    }
    kept.push_back(c == u'\r' || c == u'\f' ? u' ' : c);
    lastSpace_ = false;
  }
  flush();
}

float InlineFormatter::EdgeWidth(NodeId element, bool start) const {
  const ComputedStyle& style = l_.Style(element);
  float base = cb_ != nullptr ? cb_->width : 0;
  Edges margin = Layouter::MarginOf(style, base);
  Edges border = Layouter::BorderOf(style);
  Edges padding = Layouter::PaddingOf(style, base);
  return start ? margin.left + border.left + padding.left : margin.right + border.right + padding.right;
}

float InlineFormatter::AtomicWidth(NodeId node, float* minWidth) {
  const ComputedStyle& style = l_.Style(node);
  float base = cb_ != nullptr ? cb_->width : 0;
  Edges margin = Layouter::MarginOf(style, base);
  float margins = margin.left + margin.right;
  if (l_.ReplacedKindOf(node) != ReplacedKind::None) {
    Containing cb{0, base, std::nullopt};
    float width = 0;
    float height = 0;
    l_.ReplacedSize(node, cb, &width, &height);
    Edges border = Layouter::BorderOf(style);
    Edges padding = Layouter::PaddingOf(style, base);
    width += border.left + border.right + padding.left + padding.right + margins;
    *minWidth = width;
    return width;
  }
  IntrinsicWidths widths = l_.Intrinsic(node);
  *minWidth = widths.min + margins;
  if (cb_ == nullptr) return widths.max + margins;
  if (!style.width.IsAuto()) return widths.max + margins;  // a fixed width: Intrinsic says it
  return std::min(std::max(widths.min, base - margins), widths.max) + margins;
}

// Cuts the items into pieces at the opportunities of UAX #14 that the white-space allows.
void InlineFormatter::Cut(const Containing* cb) {
  cb_ = cb;
  std::vector<uint8_t> opportunity(text_.size() + 1, 0);
  UBreakIterator* iterator = LineIterator();
  UErrorCode status = U_ZERO_ERROR;
  if (iterator != nullptr && !text_.empty()) {
    ubrk_setText(iterator, reinterpret_cast<const UChar*>(text_.data()), static_cast<int32_t>(text_.size()),
                 &status);
    if (U_SUCCESS(status)) {
      for (int32_t p = ubrk_first(iterator); p != UBRK_DONE; p = ubrk_next(iterator))
        opportunity[static_cast<size_t>(p)] = 1;
    }
  }
  // Between ASCII characters browsers use their own table, and they break after any space.
  for (size_t p = 1; p < text_.size(); ++p) {
    if (!IsPrintableAscii(text_[p])) continue;
    if (text_[p - 1] == u' ')
      opportunity[p] = 1;
    else if (IsPrintableAscii(text_[p - 1]))
      opportunity[p] = AsciiBreakBetween(p >= 2 ? text_[p - 2] : 0, text_[p - 1], text_[p]) ? 1 : 0;
  }
  bool previousWraps = true;
  pieces_.reserve(items_.size() * 2);
  for (uint32_t index = 0; index < items_.size(); ++index) {
    const Item& item = items_[index];
    Piece piece;
    piece.item = index;
    piece.begin = item.begin;
    piece.end = item.end;
    switch (item.type) {
      case Type::Open:
      case Type::Close:
        piece.width = EdgeWidth(item.element, item.type == Type::Open);
        pieces_.push_back(piece);
        continue;
      case Type::Atomic:
        piece.width = AtomicWidth(item.node, &piece.minWidth);
        piece.breakBefore = previousWraps && opportunity[item.begin] != 0;
        previousWraps = Wraps(item.ws);
        pieces_.push_back(piece);
        continue;
      case Type::Text:
        break;
      default:
        pieces_.push_back(piece);
        continue;
    }
    const bool wraps = Wraps(item.ws);
    const bool tabs = !CollapsesSpaces(item.ws);
    const bool hangs = item.ws != WhiteSpace::Pre;
    // Widths come from the caret positions of the item's whole text: shaping it in one piece
    // keeps the kerning between a space and the word after it, as a browser's shaping does.
    std::u16string_view all(text_);
    l_.input_.metrics.CaretPositions(l_.Font(item.font), all.substr(item.begin, item.end - item.begin),
                                     carets_);
    auto at = [&](uint32_t p) { return carets_[p - item.begin]; };
    uint32_t start = item.begin;
    for (uint32_t p = item.begin + 1; p <= item.end; ++p) {
      bool cut =
          p == item.end || opportunity[p] != 0 || (tabs && (text_[p] == u'\t' || text_[p - 1] == u'\t'));
      if (!cut) continue;
      Piece part;
      part.item = index;
      part.begin = start;
      part.end = p;
      part.breakBefore = opportunity[start] != 0 && (start == item.begin ? previousWraps : wraps);
      part.tab = tabs && p == start + 1 && text_[start] == u'\t';
      uint32_t wordEnd = p;
      if (hangs) {
        while (wordEnd > start && text_[wordEnd - 1] == u' ') --wordEnd;
      }
      part.width = std::max(0.0F, at(p) - at(start));
      part.hang = std::max(0.0F, at(p) - at(wordEnd));
      pieces_.push_back(part);
      start = p;
    }
    previousWraps = wraps;
  }
}

bool InlineFormatter::Content(const Piece& piece) const {
  Type type = items_[piece.item].type;
  return type == Type::Text || type == Type::Atomic;
}

float InlineFormatter::TabWidth(const Piece& piece, float x) const {
  const Item& item = items_[piece.item];
  float stop = kTabSpaces * l_.Measure(item.font, u" ");
  if (stop <= 0) return 0;
  float next = (std::floor(x / stop) + 1) * stop;
  return next - x;
}

IntrinsicWidths InlineFormatter::Measure() {
  IntrinsicWidths result;
  float line = 0;     // since the last forced break
  float segment = 0;  // since the last opportunity
  for (const Piece& piece : pieces_) {
    const Item& item = items_[piece.item];
    switch (item.type) {
      case Type::Break:
        result.max = std::max(result.max, line);
        line = segment = 0;
        continue;
      case Type::Float:
      case Type::Block: {
        IntrinsicWidths inner = l_.Intrinsic(item.node);
        const ComputedStyle& style = l_.Style(item.node);
        Edges margin = Layouter::MarginOf(style, 0);
        float margins = margin.left + margin.right;
        result.min = std::max(result.min, inner.min + margins);
        if (item.type == Type::Float) {
          line += inner.max + margins;
        } else {
          result.max = std::max({result.max, line, inner.max + margins});
          line = 0;
        }
        segment = 0;
        continue;
      }
      case Type::Absolute:
        continue;
      default:
        break;
    }
    float width = piece.tab ? TabWidth(piece, line) : piece.width;
    if (piece.breakBefore) segment = 0;
    segment += item.type == Type::Atomic ? piece.minWidth : width;
    result.min = std::max(result.min, segment - piece.hang);
    line += width;
    result.max = std::max(result.max, line - piece.hang);
  }
  result.max = std::max(result.max, result.min);
  return result;
}

FloatContext::Band InlineFormatter::Band(float top, const Containing& cb) const {
  if (l_.floats_ == nullptr) return {cb.x, cb.x + cb.width};
  return l_.floats_->Free(top, l_.LineHeightOf(container_), cb.x, cb.x + cb.width);
}

void InlineFormatter::PlaceFloat(NodeId node, float top) {
  l_.LayOutFloat(node, blockBox_, *cb_, top);
}

void InlineFormatter::LayOut(int32_t parentBox, const Containing& cb, BlockFlow& flow, bool anonymous,
                             bool firstLine) {
  cb_ = &cb;
  bool any = false;
  for (const Piece& piece : pieces_) {
    Type type = items_[piece.item].type;
    if (Content(piece) || type == Type::Break || type == Type::Block ||
        (type == Type::Open && piece.width != 0)) {
      any = true;
      break;
    }
  }
  blockBox_ = parentBox;
  if (!any) {
    // Only floats and positioned boxes: they need no line.
    for (const Piece& piece : pieces_) {
      const Item& item = items_[piece.item];
      if (item.type == Type::Float) PlaceFloat(item.node, flow.Pending());
      if (item.type == Type::Absolute) l_.LayOutAbsolute(item.node, blockBox_, cb, flow.Pending());
    }
    return;
  }
  int32_t anonymousBox = -1;
  float anonymousTop = flow.Pending();
  std::optional<float> contentBefore = flow.firstContentY;
  if (any && anonymous) {
    anonymousBox = l_.OpenBox(BoxKind::AnonymousBlock, kNoNode, parentBox);
    blockBox_ = anonymousBox;
    flow.firstContentY.reset();
  }
  const ComputedStyle& style = l_.Style(container_);
  float indent = firstLine ? Layouter::Clamp(style.textIndent.Resolve(cb.width)) : 0;
  size_t start = 0;
  while (start < pieces_.size()) {
    const Item& first = items_[pieces_[start].item];
    if (first.type == Type::Block) {
      // A block inside an inline element ends the line and stands between the lines.
      l_.LayOutBlock(first.node, blockBox_, cb, flow);
      ++start;
      continue;
    }
    float top = flow.Pending();
    FloatContext::Band band = Band(top, cb);
    size_t end = BuildLine(start, top, band.left, band.right, indent, flow, blockBox_, cb);
    if (end == start) break;
    band = Band(top, cb);
    bool last = end >= pieces_.size();
    LineEmitter(*this, start, end).Emit(top, band, indent, last, flow);
    indent = 0;
    for (NodeId node : deferredFloats_) PlaceFloat(node, flow.Pending());
    deferredFloats_.clear();
    start = end;
  }
  if (anonymousBox >= 0) {
    Box& box = l_.Out(anonymousBox);
    float top = flow.firstContentY.value_or(anonymousTop);
    box.border = {cb.x, top, cb.width, std::max(0.0F, flow.cursorY - top)};
    l_.CloseBox(anonymousBox);
    if (contentBefore) flow.firstContentY = contentBefore;
  }
}

// Chooses the pieces of the line that starts at `start`: as many as fit, cut at the last
// opportunity; a piece wider than an empty line overflows it.
size_t InlineFormatter::BuildLine(size_t start, float& top, float left, float right, float indent,
                                  BlockFlow& flow, int32_t parentBox, const Containing& cb) {
  (void)flow;
  (void)parentBox;
  float available = right - left - indent;
  float used = 0;
  bool content = false;
  size_t lastBreak = 0;  // 0: none; else the piece the next line would start with
  size_t i = start;
  for (; i < pieces_.size(); ++i) {
    const Piece& piece = pieces_[i];
    const Item& item = items_[piece.item];
    if (item.type == Type::Block) return i;  // the block starts after this line
    if (item.type == Type::Break) return i + 1;
    if (item.type == Type::Float) {
      float minWidth = 0;
      float marginBox = AtomicWidth(item.node, &minWidth);
      if (!content || used + marginBox <= available) {
        PlaceFloat(item.node, top);
        FloatContext::Band band = Band(top, cb);
        available = band.right - band.left - indent;
      } else {
        deferredFloats_.push_back(item.node);
      }
      continue;
    }
    if (item.type == Type::Absolute) {
      l_.LayOutAbsolute(item.node, blockBox_, cb, top);
      continue;
    }
    if (piece.breakBefore && i > start && content) {
      size_t candidate = i;
      while (candidate > start + 1 && items_[pieces_[candidate - 1].item].type == Type::Open) --candidate;
      lastBreak = candidate;
    }
    float width = piece.tab ? TabWidth(piece, used) : piece.width;
    if (Content(piece) && used + width - piece.hang > available + 0.01F) {
      if (content && lastBreak > start) return lastBreak;
      const bool emptyLine = !content;
      if (emptyLine && l_.floats_ != nullptr) {
        // Nothing fits beside the floats: go below the ones in the way.
        float below = l_.floats_->NextBottom(top, l_.LineHeightOf(container_), cb.x, cb.x + cb.width);
        if (below > top) {
          top = below;
          FloatContext::Band band = Band(top, cb);
          available = band.right - band.left - indent;
          --i;
          continue;
        }
      }
      if (size_t lineEnd = SplitToFit(i, available - used, emptyLine); lineEnd != 0) return lineEnd;
    }
    used += width;
    if (Content(piece)) content = true;
  }
  return i;
}

float InlineFormatter::Shift(NodeId element, NodeId parent, float parentShift) {
  const ComputedStyle& style = l_.Style(element);
  const ComputedStyle& parentStyle = l_.Style(parent);
  VerticalMetrics own = l_.Vertical(l_.FontOf(element));
  VerticalMetrics outer = l_.Vertical(l_.FontOf(parent));
  float size = parentStyle.fontSizePx;
  switch (style.verticalAlign) {
    case css::VerticalAlign::Sub:
      return parentShift + size / 5 + 1;
    case css::VerticalAlign::Super:
      return parentShift - (size / 3 + 1);
    case css::VerticalAlign::TextTop:
      return parentShift - outer.ascent + own.ascent;
    case css::VerticalAlign::TextBottom:
      return parentShift + outer.descent - own.descent;
    case css::VerticalAlign::Middle:
      return parentShift - size / 4 + (own.ascent - own.descent) / 2;
    default:
      return parentShift;
  }
}

bool InlineFormatter::HasEdges(NodeId element) const {
  const ComputedStyle& style = l_.Style(element);
  Edges border = Layouter::BorderOf(style);
  Edges padding = Layouter::PaddingOf(style, cb_ != nullptr ? cb_->width : 0);
  return border.top + border.right + border.bottom + border.left + padding.top + padding.right +
             padding.bottom + padding.left >
         0;
}

// The part of the line an inline box of `element` needs above and below the line's baseline.
void InlineFormatter::Extent(NodeId element, float shift, float& above, float& below) {
  VerticalMetrics metrics = l_.Vertical(l_.FontOf(element));
  // Browsers give the half-leading above the text rounded down to a whole pixel, the rest below.
  float leading = l_.LineHeightOf(element) - (metrics.ascent + metrics.descent);
  float a = metrics.ascent + HalfLeadingAbove(leading);
  float d = metrics.descent + leading - HalfLeadingAbove(leading);
  above = std::max(above, a - shift);
  below = std::max(below, d + shift);
}

size_t InlineFormatter::LastContent(size_t start, size_t end) const {
  for (size_t i = end; i > start; --i) {
    if (Content(pieces_[i - 1])) return i - 1;
  }
  return end;
}

// overflow-wrap: a word with no opportunity that does not fit breaks between grapheme clusters.
// Splits piece `index` after as many clusters as fit in `room` (at least one on an empty line)
// and returns where the line ends; 0 when the piece may not break.
size_t InlineFormatter::SplitToFit(size_t index, float room, bool lineEmpty) {
  Piece piece = pieces_[index];
  const Item& item = items_[piece.item];
  if (item.type != Type::Text || !Wraps(item.ws) ||
      l_.Style(item.node).overflowWrap == css::OverflowWrap::Normal)
    return 0;
  UBreakIterator* graphemes = GraphemeIterator();
  if (graphemes == nullptr) return 0;
  std::u16string_view word(text_.data() + piece.begin, piece.end - piece.begin);
  UErrorCode status = U_ZERO_ERROR;
  ubrk_setText(graphemes, reinterpret_cast<const UChar*>(word.data()), static_cast<int32_t>(word.size()),
               &status);
  if (U_FAILURE(status)) return 0;
  uint32_t cut = 0;
  for (int32_t p = ubrk_following(graphemes, 0); p != UBRK_DONE && static_cast<size_t>(p) < word.size();
       p = ubrk_next(graphemes)) {
    const bool first = cut == 0 && lineEmpty;
    if (!first && l_.Measure(item.font, word.substr(0, static_cast<size_t>(p))) > room + 0.01F) break;
    cut = static_cast<uint32_t>(p);
  }
  // Nothing fits after the content before it: the rest of the word starts the next line.
  if (cut == 0) return lineEmpty ? 0 : index;
  Piece head = piece;
  head.end = piece.begin + cut;
  head.width = l_.Measure(item.font, word.substr(0, cut));
  head.hang = 0;
  Piece tail = piece;
  tail.begin = head.end;
  tail.width = std::max(0.0F, piece.width - head.width);
  tail.breakBefore = true;
  pieces_[index] = head;
  pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(index) + 1, tail);
  return index + 1;
}

bool InlineFormatter::EndsForced(size_t end) const {
  if (end == 0) return false;
  if (items_[pieces_[end - 1].item].type == Type::Break) return true;
  return end < pieces_.size() && items_[pieces_[end].item].type == Type::Block;
}

// CSS 2.1 10.8: boxes aligned to the line's top or bottom grow it, after the others, only as far
// as they are taller than it: a top-aligned one downwards, a bottom-aligned one upwards.
void InlineFormatter::PlaceAligned(float& above, float& below) const {
  for (const Aligned& g : aligned_) {
    float missing = g.above + g.below - (above + below);
    if (missing <= 0) continue;
    if (g.bottom)
      above += missing;
    else
      below += missing;
  }
}

// The spaces of a text piece that justification widens: not those that hang at the line's end.
int32_t InlineFormatter::Expansions(const Piece& piece, bool lastOnLine) const {
  const Item& item = items_[piece.item];
  if (item.type != Type::Text || piece.tab || !CollapsesSpaces(item.ws)) return 0;
  uint32_t end = piece.end;
  if (lastOnLine) {
    while (end > piece.begin && text_[end - 1] == u' ') --end;
  }
  return static_cast<int32_t>(std::count(text_.begin() + piece.begin, text_.begin() + end, u' '));
}

void InlineFormatter::LineEmitter::Emit(float top, FloatContext::Band band, float indent, bool lastLine,
                                        BlockFlow& flow) {
  Align(band, indent, lastLine);
  Begin();
  for (size_t i = start_; i < end_; ++i) Place(i);
  while (!f_.frames_.empty()) CloseFrame(0);
  Finish(top, band, flow);
}

// The width the line's content takes, without the spaces that hang at its end.
float InlineFormatter::LineEmitter::ContentWidth() const {
  float used = 0;
  float hang = 0;
  for (size_t i = start_; i < end_; ++i) {
    const Piece& piece = f_.pieces_[i];
    Type type = f_.items_[piece.item].type;
    if (type == Type::Float || type == Type::Absolute || type == Type::Break || type == Type::Block) continue;
    used += piece.tab ? f_.TabWidth(piece, used) : piece.width;
    if (f_.Content(piece)) hang = piece.hang;
  }
  return used - hang;
}

void InlineFormatter::LineEmitter::Align(FloatContext::Band band, float indent, bool lastLine) {
  const ComputedStyle& style = l_.Style(f_.container_);
  float used = ContentWidth();
  float room = band.right - band.left - indent;
  x_ = band.left + indent;
  if (style.textAlign == css::TextAlign::Right && room > used) x_ += room - used;
  if (style.textAlign == css::TextAlign::Center && room > used) x_ += (room - used) / 2;
  lineStart_ = x_;
  // Justified lines share the free room among their spaces; the last line of the block and a
  // line ended by a forced break keep their natural spacing.
  if (style.textAlign == css::TextAlign::Justify && !lastLine && room > used && !f_.EndsForced(end_)) {
    int32_t spaces = 0;
    for (size_t i = start_; i < end_; ++i) spaces += f_.Expansions(f_.pieces_[i], i == lastContent_);
    if (spaces > 0) perSpace_ = (room - used) / static_cast<float>(spaces);
  }
}

void InlineFormatter::LineEmitter::Begin() {
  f_.line_ = l_.OpenBox(BoxKind::Line, kNoNode, f_.blockBox_);
  f_.lineRuns_.clear();
  f_.frames_.clear();
  f_.aligned_.clear();
  if (!quirky_) f_.Extent(f_.container_, 0, above_, below_);
  // Inline elements that continue from the line before start a new fragment here.
  for (NodeId element : f_.open_) OpenFrame(element, x_);
}

// Extents inside a top- or bottom-aligned subtree count towards that subtree.
float& InlineFormatter::LineEmitter::SinkAbove() {
  return Group() < 0 ? above_ : f_.aligned_[static_cast<size_t>(Group())].above;
}

float& InlineFormatter::LineEmitter::SinkBelow() {
  return Group() < 0 ? below_ : f_.aligned_[static_cast<size_t>(Group())].below;
}

void InlineFormatter::LineEmitter::TextExtent() {
  if (quirky_)
    f_.Extent(f_.frames_.empty() ? f_.container_ : f_.frames_.back().element,
              f_.frames_.empty() ? 0 : f_.frames_.back().shift, SinkAbove(), SinkBelow());
}

void InlineFormatter::LineEmitter::OpenFrame(NodeId element, float boxX) {
  auto& frames = f_.frames_;
  NodeId parent = frames.empty() ? f_.container_ : frames.back().element;
  float shift = f_.Shift(element, parent, frames.empty() ? 0 : frames.back().shift);
  int32_t box = l_.OpenBox(BoxKind::Inline, element, f_.ParentBox());
  l_.Out(box).border.x = boxX;
  int32_t inGroup = Group();
  css::VerticalAlign align = l_.Style(element).verticalAlign;
  if (inGroup < 0 && (align == css::VerticalAlign::Top || align == css::VerticalAlign::Bottom)) {
    inGroup = static_cast<int32_t>(f_.aligned_.size());
    f_.aligned_.push_back({align == css::VerticalAlign::Bottom, box, -1, f_.lineRuns_.size(), 0, 0, 0});
    shift = 0;
  }
  frames.push_back({box, element, shift, inGroup});
  if (!quirky_ || f_.HasEdges(element)) f_.Extent(element, shift, SinkAbove(), SinkBelow());
}

void InlineFormatter::LineEmitter::CloseFrame(float rightEdges) {
  Frame frame = f_.frames_.back();
  f_.frames_.pop_back();
  Aligned* group = nullptr;
  if (frame.group >= 0 && f_.aligned_[static_cast<size_t>(frame.group)].firstBox == frame.box)
    group = &f_.aligned_[static_cast<size_t>(frame.group)];
  if (group != nullptr) group->endRun = f_.lineRuns_.size();
  Box& box = l_.Out(frame.box);
  const ComputedStyle& s = l_.Style(frame.element);
  VerticalMetrics metrics = l_.Vertical(l_.FontOf(frame.element));
  Edges border = Layouter::BorderOf(s);
  Edges padding = Layouter::PaddingOf(s, f_.cb_->width);
  box.borderWidths = border;
  box.padding = padding;
  box.border.y = frame.shift - metrics.ascent - padding.top - border.top;
  box.border.h = metrics.ascent + metrics.descent + padding.top + padding.bottom + border.top + border.bottom;
  box.border.w = std::max(0.0F, x_ - trimmed_ + rightEdges - box.border.x);
  l_.CloseBox(frame.box);
  if (group != nullptr) group->endBox = box.end;
}

void InlineFormatter::LineEmitter::Place(size_t index) {
  const Piece& piece = f_.pieces_[index];
  const Item& item = f_.items_[piece.item];
  switch (item.type) {
    case Type::Open: {
      Edges margin = Layouter::MarginOf(l_.Style(item.element), f_.cb_->width);
      OpenFrame(item.element, x_ + margin.left);
      f_.open_.push_back(item.element);
      if (piece.width != 0) visible_ = true;
      x_ += piece.width;
      break;
    }
    case Type::Close: {
      if (f_.frames_.empty()) break;
      Edges margin = Layouter::MarginOf(l_.Style(item.element), f_.cb_->width);
      x_ += piece.width;
      CloseFrame(-margin.right);
      if (!f_.open_.empty()) f_.open_.pop_back();
      if (piece.width != 0) visible_ = true;
      break;
    }
    case Type::Text:
      PlaceText(index);
      break;
    case Type::Atomic:
      PlaceAtomic(index);
      break;
    case Type::Break:
      visible_ = true;
      TextExtent();
      break;
    case Type::Float:
    case Type::Absolute:
    case Type::Block:
      break;  // placed while the line was chosen, or between lines
  }
}

void InlineFormatter::LineEmitter::PlaceText(size_t index) {
  const Piece& piece = f_.pieces_[index];
  const Item& item = f_.items_[piece.item];
  visible_ = true;
  TextExtent();
  float width = piece.tab ? f_.TabWidth(piece, x_ - lineStart_) : piece.width;
  width += perSpace_ * static_cast<float>(f_.Expansions(piece, index == lastContent_));
  if (index == lastContent_) trimmed_ = piece.hang;
  if (!item.hidden) {
    TextRun run;
    int32_t offset = static_cast<int32_t>(piece.begin - item.begin);
    if (item.unitStart >= 0) {
      run.unitStart = item.unitStart + offset;
      run.unitEnd = run.unitStart + static_cast<int32_t>(piece.end - piece.begin);
    }
    run.node = item.node;
    run.element = item.element;
    run.line = f_.line_;
    run.font = item.font;
    run.x = x_;
    run.width = width;
    run.baseline = f_.frames_.empty() ? 0 : f_.frames_.back().shift;
    VerticalMetrics metrics = l_.Vertical(item.font);
    run.top = run.baseline - metrics.ascent;
    run.height = metrics.ascent + metrics.descent;
    run.text = f_.text_.substr(piece.begin, piece.end - piece.begin);
    f_.lineRuns_.push_back(std::move(run));
  }
  x_ += width;
}

void InlineFormatter::LineEmitter::PlaceAtomic(size_t index) {
  const Item& item = f_.items_[f_.pieces_[index].item];
  visible_ = true;
  float width = 0;
  float height = 0;
  int32_t box =
      l_.LayOutContextRoot(item.node, f_.ParentBox(), BoxKind::Atomic, x_, 0, *f_.cb_, &width, &height);
  Box& placed = l_.Out(box);
  const ComputedStyle& s = l_.Style(item.node);
  Edges margin = Layouter::MarginOf(s, f_.cb_->width);
  // The baseline of an inline-block is that of its last line; of anything else, its bottom margin edge.
  float baseline = height;
  if (placed.replaced != ReplacedKind::None) {
    if (auto text = l_.ReplacedBaseline(item.node, placed.border.h)) baseline = margin.top + *text;
  } else if (!placed.scrollContainer) {
    for (int32_t b = placed.end - 1; b > box; --b) {
      if (l_.Out(b).kind == BoxKind::Line && l_.Out(b).border.h > 0) {
        baseline = l_.Out(b).baseline - (placed.border.y - margin.top);
        break;
      }
    }
  }
  float shift = f_.frames_.empty() ? 0 : f_.frames_.back().shift;
  css::VerticalAlign align = s.verticalAlign;
  if (align == css::VerticalAlign::Middle) {
    NodeId parent = f_.frames_.empty() ? f_.container_ : f_.frames_.back().element;
    baseline = height / 2 + l_.Vertical(l_.FontOf(parent)).ascent / 4;
  }
  if (Group() < 0 && (align == css::VerticalAlign::Top || align == css::VerticalAlign::Bottom)) {
    f_.aligned_.push_back(
        {align == css::VerticalAlign::Bottom, box, placed.end, 0, 0, baseline, height - baseline});
    shift = 0;
  } else {
    SinkAbove() = std::max(SinkAbove(), baseline - shift);
    SinkBelow() = std::max(SinkBelow(), height - baseline + shift);
  }
  l_.Translate(box, placed.end, 0, shift - baseline);
  x_ += width;
  if (index == lastContent_) trimmed_ = 0;
}

// A list item's marker hangs left of its first line; returns how many runs it put before the
// line's own.
size_t InlineFormatter::LineEmitter::AddMarker() {
  if (!l_.marker_ || !visible_) return 0;
  f_.lineRuns_.insert(f_.lineRuns_.begin(), l_.MarkerRun(f_.line_));
  l_.marker_.reset();
  return 1;
}

// Places the line box below what comes before it and moves its boxes and runs onto its baseline.
void InlineFormatter::LineEmitter::Finish(float top, FloatContext::Band band, BlockFlow& flow) {
  size_t markerRuns = AddMarker();  // the aligned subtrees' runs stand this many places later
  f_.PlaceAligned(above_, below_);
  float height = visible_ ? above_ + below_ : 0;
  if (visible_) top = std::max(top, flow.Resolve());
  const float baseline = visible_ ? top + above_ : top;
  Box& lineBox = l_.Out(f_.line_);
  lineBox.border = {band.left, top, std::max(0.0F, band.right - band.left), height};
  lineBox.baseline = baseline;
  l_.Translate(f_.line_ + 1, static_cast<int32_t>(l_.out_->boxes.size()), 0, baseline);
  for (const Aligned& g : f_.aligned_) {
    float delta = g.bottom ? below_ - g.below : g.above - above_;
    l_.Translate(g.firstBox, g.endBox, 0, delta);
    for (size_t r = g.firstRun + markerRuns; r < g.endRun + markerRuns; ++r) {
      f_.lineRuns_[r].baseline += delta;
      f_.lineRuns_[r].top += delta;
    }
  }
  auto& runs = l_.out_->runs;
  lineBox.firstRun = static_cast<int32_t>(runs.size());
  lineBox.runCount = static_cast<int32_t>(f_.lineRuns_.size());
  for (TextRun& run : f_.lineRuns_) {
    run.baseline += baseline;
    run.top += baseline;
    runs.push_back(std::move(run));
  }
  l_.CloseBox(f_.line_);
  if (visible_) flow.cursorY = top + height;
}

void Layouter::LayOutInline(NodeId first, NodeId last, int32_t parentBox, const Containing& cb,
                            BlockFlow& flow, bool anonymous) {
  NodeId container = tree_[first].parent;
  InlineFormatter formatter(*this, container);
  formatter.Collect(first, last);
  formatter.Cut(&cb);
  formatter.LayOut(parentBox, cb, flow, anonymous, first == tree_[container].firstChild);
}

IntrinsicWidths Layouter::IntrinsicOfInline(NodeId first, NodeId last) {
  NodeId container = tree_[first].parent;
  InlineFormatter formatter(*this, container);
  formatter.Collect(first, last);
  formatter.Cut(nullptr);
  return formatter.Measure();
}

}  // namespace lectryn::engine::layout
