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
  void EmitLine(size_t start, size_t end, float top, FloatContext::Band band, float indent, bool lastLine,
                BlockFlow& flow);
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
    EmitLine(start, end, top, band, indent, last, flow);
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

void InlineFormatter::EmitLine(size_t start, size_t end, float top, FloatContext::Band band, float indent,
                               bool lastLine, BlockFlow& flow) {
  const dom::Tree& tree = l_.tree_;
  const ComputedStyle& style = l_.Style(container_);
  // The width the line's content takes, without the spaces that hang at its end.
  float used = 0;
  float hang = 0;
  for (size_t i = start; i < end; ++i) {
    const Piece& piece = pieces_[i];
    Type type = items_[piece.item].type;
    if (type == Type::Float || type == Type::Absolute || type == Type::Break || type == Type::Block) continue;
    used += piece.tab ? TabWidth(piece, used) : piece.width;
    if (Content(piece)) hang = piece.hang;
  }
  used -= hang;
  float room = band.right - band.left - indent;
  float x = band.left + indent;
  if (style.textAlign == css::TextAlign::Right && room > used) x += room - used;
  if (style.textAlign == css::TextAlign::Center && room > used) x += (room - used) / 2;
  const float lineStart = x;
  const size_t lastContent = LastContent(start, end);
  // Justified lines share the free room among their spaces; the last line of the block and a
  // line ended by a forced break keep their natural spacing.
  float perSpace = 0;
  if (style.textAlign == css::TextAlign::Justify && !lastLine && room > used && !EndsForced(end)) {
    int32_t spaces = 0;
    for (size_t i = start; i < end; ++i) spaces += Expansions(pieces_[i], i == lastContent);
    if (spaces > 0) perSpace = (room - used) / static_cast<float>(spaces);
  }
  float trimmed = 0;  // the hanging spaces once the line's last content is set: no box covers them

  line_ = l_.OpenBox(BoxKind::Line, kNoNode, blockBox_);
  lineRuns_.clear();
  frames_.clear();
  float above = 0;
  float below = 0;
  bool visible = false;  // not a phantom line: text, an atomic, a break or an inline box with edges
  // The line height quirk of old pages: the block's strut and the line height of an inline box
  // without borders or padding count only on lines where text stands directly in them.
  const bool quirky = l_.tree_.Quirks() != dom::QuirksMode::None;
  aligned_.clear();
  // Extents inside a top- or bottom-aligned subtree count towards that subtree.
  auto group = [&] { return frames_.empty() ? -1 : frames_.back().group; };
  auto sinkAbove = [&]() -> float& {
    return group() < 0 ? above : aligned_[static_cast<size_t>(group())].above;
  };
  auto sinkBelow = [&]() -> float& {
    return group() < 0 ? below : aligned_[static_cast<size_t>(group())].below;
  };
  auto boxExtent = [&](NodeId element, float shift) {
    if (!quirky || HasEdges(element)) Extent(element, shift, sinkAbove(), sinkBelow());
  };
  auto textExtent = [&] {
    if (quirky)
      Extent(frames_.empty() ? container_ : frames_.back().element,
             frames_.empty() ? 0 : frames_.back().shift, sinkAbove(), sinkBelow());
  };
  if (!quirky) Extent(container_, 0, above, below);
  auto openFrame = [&](NodeId element, float boxX) {
    NodeId parent = frames_.empty() ? container_ : frames_.back().element;
    float shift = Shift(element, parent, frames_.empty() ? 0 : frames_.back().shift);
    int32_t box = l_.OpenBox(BoxKind::Inline, element, ParentBox());
    l_.Out(box).border.x = boxX;
    int32_t inGroup = group();
    css::VerticalAlign align = l_.Style(element).verticalAlign;
    if (inGroup < 0 && (align == css::VerticalAlign::Top || align == css::VerticalAlign::Bottom)) {
      inGroup = static_cast<int32_t>(aligned_.size());
      aligned_.push_back({align == css::VerticalAlign::Bottom, box, -1, lineRuns_.size(), 0, 0, 0});
      shift = 0;
    }
    frames_.push_back({box, element, shift, inGroup});
    boxExtent(element, shift);
  };
  // Inline elements that continue from the line before start a new fragment here.
  for (NodeId element : open_) openFrame(element, x);
  auto closeFrame = [&](float rightEdges) {
    Frame frame = frames_.back();
    frames_.pop_back();
    if (frame.group >= 0 && aligned_[static_cast<size_t>(frame.group)].firstBox == frame.box)
      aligned_[static_cast<size_t>(frame.group)].endRun = lineRuns_.size();
    Box& box = l_.Out(frame.box);
    const ComputedStyle& s = l_.Style(frame.element);
    VerticalMetrics metrics = l_.Vertical(l_.FontOf(frame.element));
    Edges border = Layouter::BorderOf(s);
    Edges padding = Layouter::PaddingOf(s, cb_->width);
    box.borderWidths = border;
    box.padding = padding;
    float boxTop = frame.shift - metrics.ascent - padding.top - border.top;
    box.border.y = boxTop;
    box.border.h =
        metrics.ascent + metrics.descent + padding.top + padding.bottom + border.top + border.bottom;
    box.border.w = std::max(0.0F, x - trimmed + rightEdges - box.border.x);
    l_.CloseBox(frame.box);
    if (frame.group >= 0 && aligned_[static_cast<size_t>(frame.group)].firstBox == frame.box)
      aligned_[static_cast<size_t>(frame.group)].endBox = box.end;
  };

  for (size_t i = start; i < end; ++i) {
    const Piece& piece = pieces_[i];
    const Item& item = items_[piece.item];
    switch (item.type) {
      case Type::Open: {
        const ComputedStyle& s = l_.Style(item.element);
        Edges margin = Layouter::MarginOf(s, cb_->width);
        openFrame(item.element, x + margin.left);
        open_.push_back(item.element);
        if (piece.width != 0) visible = true;
        x += piece.width;
        break;
      }
      case Type::Close: {
        if (frames_.empty()) break;
        const ComputedStyle& s = l_.Style(item.element);
        Edges margin = Layouter::MarginOf(s, cb_->width);
        x += piece.width;
        closeFrame(-margin.right);
        if (!open_.empty()) open_.pop_back();
        if (piece.width != 0) visible = true;
        break;
      }
      case Type::Text: {
        visible = true;
        textExtent();
        float width = piece.tab ? TabWidth(piece, x - lineStart) : piece.width;
        width += perSpace * static_cast<float>(Expansions(piece, i == lastContent));
        if (i == lastContent) trimmed = piece.hang;
        if (!item.hidden) {
          TextRun run;
          int32_t offset = static_cast<int32_t>(piece.begin - item.begin);
          if (item.unitStart >= 0) {
            run.unitStart = item.unitStart + offset;
            run.unitEnd = run.unitStart + static_cast<int32_t>(piece.end - piece.begin);
          }
          run.node = item.node;
          run.element = item.element;
          run.line = line_;
          run.font = item.font;
          run.x = x;
          run.width = width;
          run.baseline = frames_.empty() ? 0 : frames_.back().shift;
          VerticalMetrics metrics = l_.Vertical(item.font);
          run.top = run.baseline - metrics.ascent;
          run.height = metrics.ascent + metrics.descent;
          run.text = text_.substr(piece.begin, piece.end - piece.begin);
          lineRuns_.push_back(std::move(run));
        }
        x += width;
        break;
      }
      case Type::Atomic: {
        visible = true;
        float width = 0;
        float height = 0;
        int32_t box =
            l_.LayOutContextRoot(item.node, ParentBox(), BoxKind::Atomic, x, 0, *cb_, &width, &height);
        Box& placed = l_.Out(box);
        const ComputedStyle& s = l_.Style(item.node);
        Edges margin = Layouter::MarginOf(s, cb_->width);
        // The baseline of an inline-block is that of its last line; of anything else, its bottom margin edge.
        float baseline = height;
        if (placed.replaced == ReplacedKind::None && !placed.scrollContainer) {
          for (int32_t b = placed.end - 1; b > box; --b) {
            if (l_.Out(b).kind == BoxKind::Line && l_.Out(b).border.h > 0) {
              baseline = l_.Out(b).baseline - (placed.border.y - margin.top);
              break;
            }
          }
        }
        float shift = frames_.empty() ? 0 : frames_.back().shift;
        if (s.verticalAlign == css::VerticalAlign::Middle) {
          VerticalMetrics parent =
              l_.Vertical(l_.FontOf(frames_.empty() ? container_ : frames_.back().element));
          baseline = height / 2 + parent.ascent / 4;
        }
        if (group() < 0 &&
            (s.verticalAlign == css::VerticalAlign::Top || s.verticalAlign == css::VerticalAlign::Bottom)) {
          aligned_.push_back({s.verticalAlign == css::VerticalAlign::Bottom, box, placed.end, 0, 0, baseline,
                              height - baseline});
          shift = 0;
        } else {
          sinkAbove() = std::max(sinkAbove(), baseline - shift);
          sinkBelow() = std::max(sinkBelow(), height - baseline + shift);
        }
        l_.Translate(box, placed.end, 0, shift - baseline);
        x += width;
        if (i == lastContent) trimmed = 0;
        break;
      }
      case Type::Break:
        visible = true;
        textExtent();
        break;
      default:
        break;
    }
  }
  while (!frames_.empty()) closeFrame(0);
  (void)tree;

  // A list item's marker hangs left of its first line.
  size_t markerRuns = 0;  // the aligned subtrees' runs stand this many places later
  if (l_.marker_ && visible) {
    lineRuns_.insert(lineRuns_.begin(), l_.MarkerRun(line_));
    l_.marker_.reset();
    markerRuns = 1;
  }

  PlaceAligned(above, below);
  float height = visible ? above + below : 0;
  if (visible) top = std::max(top, flow.Resolve());
  const float baseline = visible ? top + above : top;
  Box& lineBox = l_.Out(line_);
  lineBox.border = {band.left, top, std::max(0.0F, band.right - band.left), height};
  lineBox.baseline = baseline;
  l_.Translate(line_ + 1, static_cast<int32_t>(l_.out_->boxes.size()), 0, baseline);
  for (const Aligned& g : aligned_) {
    float delta = g.bottom ? below - g.below : g.above - above;
    l_.Translate(g.firstBox, g.endBox, 0, delta);
    for (size_t r = g.firstRun + markerRuns; r < g.endRun + markerRuns; ++r) {
      lineRuns_[r].baseline += delta;
      lineRuns_[r].top += delta;
    }
  }
  auto& runs = l_.out_->runs;
  lineBox.firstRun = static_cast<int32_t>(runs.size());
  lineBox.runCount = static_cast<int32_t>(lineRuns_.size());
  for (TextRun& run : lineRuns_) {
    run.baseline += baseline;
    run.top += baseline;
    runs.push_back(std::move(run));
  }
  l_.CloseBox(line_);
  if (visible) flow.cursorY = top + height;
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
