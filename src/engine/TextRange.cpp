#include "engine/TextRange.h"

#include <algorithm>
#include <string>
#include <tuple>

#include "engine/Element.h"
#include "engine/text/HtmlText.h"
#include "engine/text/TextSearch.h"
#include "engine/text/WordBreaker.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

using dom::kNoNode;
using dom::NodeId;

enum class Unit { Character, Word, Sentence, TextEdit };

Unit ParseUnit(const std::u16string& unit) {
  if (platform::EqualsIgnoringAsciiCase(unit, u"character")) return Unit::Character;
  if (platform::EqualsIgnoringAsciiCase(unit, u"word")) return Unit::Word;
  if (platform::EqualsIgnoringAsciiCase(unit, u"sentence")) return Unit::Sentence;
  if (platform::EqualsIgnoringAsciiCase(unit, u"textedit")) return Unit::TextEdit;
  throw platform::Failure("cannot move a text range by \"" + platform::ToUtf8(unit) +
                          "\": use character, word, sentence or textedit");
}

enum class EndPoint { Start, End };

// "StartToEnd": this range's start, the other range's end.
std::pair<EndPoint, EndPoint> ParseHow(const std::u16string& how, const char* operation) {
  for (auto [name, mine, theirs] : {std::tuple{u"StartToStart", EndPoint::Start, EndPoint::Start},
                                    std::tuple{u"StartToEnd", EndPoint::Start, EndPoint::End},
                                    std::tuple{u"EndToStart", EndPoint::End, EndPoint::Start},
                                    std::tuple{u"EndToEnd", EndPoint::End, EndPoint::End}}) {
    if (platform::EqualsIgnoringAsciiCase(how, name)) return {mine, theirs};
  }
  throw platform::Failure(std::string(operation) + " cannot compare \"" + platform::ToUtf8(how) +
                          "\": use StartToStart, StartToEnd, EndToStart or EndToEnd");
}

bool SplitsPair(std::u16string_view units, int32_t position) {
  return position > 0 && position < static_cast<int32_t>(units.size()) &&
         (units[static_cast<size_t>(position)] & 0xFC00) == 0xDC00 &&
         (units[static_cast<size_t>(position - 1)] & 0xFC00) == 0xD800;
}

// Moves a point by `count` units; returns the new point and the signed number of units moved.
std::pair<int32_t, int32_t> MovePoint(const text::TextModel& model, Unit unit, int32_t point, int32_t count) {
  const int32_t length = model.Length();
  text::WordBreaker breaker(model.Units());
  int32_t moved = 0;
  if (unit == Unit::TextEdit) {
    if (count > 0 && point < length) return {length, 1};
    if (count < 0 && point > 0) return {0, -1};
    return {point, 0};
  }
  while (count > 0 && point < length) {
    int32_t next = unit == Unit::Character ? point + 1
                   : unit == Unit::Word    ? breaker.Next(point)
                                           : breaker.NextSentence(point);
    if (unit == Unit::Character && SplitsPair(model.Units(), next))
      ++next;  // a surrogate pair is one character
    point = next;
    --count;
    ++moved;
  }
  while (count < 0 && point > 0) {
    int32_t previous = unit == Unit::Character ? point - 1
                       : unit == Unit::Word    ? breaker.Previous(point)
                                               : breaker.PreviousSentence(point);
    if (unit == Unit::Character && SplitsPair(model.Units(), previous)) --previous;
    point = previous;
    ++count;
    --moved;
  }
  return {point, moved};
}

}  // namespace

TextRange::TextRange(std::shared_ptr<Document> document, int32_t start, int32_t end)
    : document_(std::move(document)), start_(start), end_(end), version_(document_->Version()) {
  const int32_t length = document_->Model().Length();
  start_ = std::clamp(start_, 0, length);
  end_ = std::clamp(end_, start_, length);
}

const text::TextModel& TextRange::Sync() {
  document_->CheckUsable();
  const text::TextModel& model = document_->Model();
  if (version_ != document_->Version()) {
    start_ = std::clamp(start_, 0, model.Length());
    end_ = std::clamp(end_, start_, model.Length());
    version_ = document_->Version();
  }
  return model;
}

int32_t TextRange::Start() {
  Sync();
  return start_;
}

int32_t TextRange::End() {
  Sync();
  return end_;
}

TextRange& TextRange::SameDocument(platform::IHTMLTxtRange& other, const char* operation) {
  auto* range = dynamic_cast<TextRange*>(&other);
  if (range == nullptr || range->document_ != document_) {
    throw platform::Failure(std::string(operation) + " was given a text range of another page; " +
                            "take both ranges from the same document");
  }
  range->Sync();
  return *range;
}

platform::TxtRangePtr TextRange::duplicate() {
  Sync();
  return std::make_shared<TextRange>(document_, start_, end_);
}

void TextRange::collapse(bool toStart) {
  Sync();
  if (toStart)
    end_ = start_;
  else
    start_ = end_;
}

int32_t TextRange::move(const std::u16string& unit, int32_t count) {
  const auto& model = Sync();
  Unit parsed = ParseUnit(unit);
  // The range collapses to its start and the empty range moves.
  auto [point, moved] = MovePoint(model, parsed, start_, count);
  start_ = end_ = point;
  return moved;
}

int32_t TextRange::moveStart(const std::u16string& unit, int32_t count) {
  const auto& model = Sync();
  auto [point, moved] = MovePoint(model, ParseUnit(unit), start_, count);
  start_ = point;
  end_ = std::max(end_, start_);
  return moved;
}

int32_t TextRange::moveEnd(const std::u16string& unit, int32_t count) {
  const auto& model = Sync();
  auto [point, moved] = MovePoint(model, ParseUnit(unit), end_, count);
  end_ = point;
  start_ = std::min(start_, end_);
  return moved;
}

int32_t TextRange::compareEndPoints(const std::u16string& how, platform::IHTMLTxtRange& other) {
  Sync();
  auto [mine, theirs] = ParseHow(how, "compareEndPoints");
  TextRange& range = SameDocument(other, "compareEndPoints");
  int32_t a = mine == EndPoint::Start ? start_ : end_;
  int32_t b = theirs == EndPoint::Start ? range.start_ : range.end_;
  return a < b ? -1 : a > b ? 1 : 0;
}

void TextRange::setEndPoint(const std::u16string& how, platform::IHTMLTxtRange& other) {
  Sync();
  auto [mine, theirs] = ParseHow(how, "setEndPoint");
  TextRange& range = SameDocument(other, "setEndPoint");
  int32_t point = theirs == EndPoint::Start ? range.start_ : range.end_;
  if (mine == EndPoint::Start) {
    start_ = point;
    end_ = std::max(end_, start_);
  } else {
    end_ = point;
    start_ = std::min(start_, end_);
  }
}

NodeId TextRange::ParentNode(const text::TextModel& model) const {
  const dom::Tree& tree = document_->Tree();
  const int32_t length = model.Length();
  // Line breaks at the ends of a range mark where blocks meet rather than belong to one: they are
  // left out, so a range that only crosses from one block into the next belongs to the next block
  // (not to the parent of both), and a piece taken from it stays one paragraph.
  int32_t start = start_;
  int32_t end = end_;
  while (start < end && model.Unit(start) == text::kBreakUnit) ++start;
  while (end > start && model.Unit(end - 1) == text::kBreakUnit) --end;
  NodeId element;
  if (start == end) {
    // An empty range belongs to the unit before it on the same line, else to the unit after it.
    int32_t point = end_;
    auto separator = [&](int32_t p) { return model.Unit(p) == text::kBreakUnit || model.Unit(p) == u'\t'; };
    if (point > 0 && !separator(point - 1))
      element = model.ElementOfUnit(tree, point - 1);
    else if (point < length)
      element = model.ElementOfUnit(tree, point);
    else if (point > 0)
      element = model.ElementOfUnit(tree, point - 1);
    else
      return model.Root();
    start = end = point;
  } else {
    element = model.ElementOfUnit(tree, start);
  }
  // Up to the first element whose units hold the whole range (depth steps, not page-size ones).
  while (element != model.Root() && element != kNoNode) {
    text::Span span = model.SpanOf(element);
    if (span.start >= 0 && span.start <= start && span.end >= end) break;
    element = tree[element].parent;
  }
  return element == kNoNode ? model.Root() : element;
}

platform::ElementPtr TextRange::parentElement() {
  const auto& model = Sync();
  return document_->ElementFor(ParentNode(model));
}

void TextRange::moveToElementText(platform::IHTMLElement& element) {
  const auto& model = Sync();
  auto* ours = dynamic_cast<Element*>(&element);
  if (ours == nullptr || ours->OwnerDocument() != document_) {
    throw platform::Failure(
        "moveToElementText was given an element of another page; "
        "take the element from the range's own document");
  }
  const dom::Tree& tree = document_->Tree();
  NodeId node = ours->Node();
  if (tree.IsInclusiveAncestor(node, model.Root())) {
    start_ = 0;
    end_ = model.Length();
    return;
  }
  if (!tree.IsInclusiveAncestor(model.Root(), node)) {
    start_ = end_ = 0;  // the head and its content: nothing of the body
    return;
  }
  // Inside a part that is not rendered: an empty range where that part would be.
  NodeId reached = node;
  while (model.SpanOf(reached).start < 0 && reached != model.Root()) reached = tree[reached].parent;
  text::Span span = model.SpanOf(reached);
  if (reached != node) span.end = span.start;
  start_ = std::max(span.start, 0);
  end_ = std::max(span.end, start_);
}

std::u16string TextRange::text() {
  const auto& model = Sync();
  return model.Text(start_, end_);
}

std::u16string TextRange::htmlText() {
  const auto& model = Sync();
  if (start_ == end_) return {};
  return text::HtmlText(document_->Tree(), document_->Styles(), model, start_, end_, ParentNode(model));
}

bool TextRange::findText(const std::u16string& needle, int32_t count, int32_t flags) {
  const auto& model = Sync();
  auto matchCase = (flags & 4) != 0 ? text::MatchCase::Yes : text::MatchCase::No;
  auto wholeWord = (flags & 2) != 0 ? text::WholeWord::Yes : text::WholeWord::No;
  std::optional<text::Match> match;
  if (count > 0) {
    match = text::FindInStory(model.Units(), needle, start_, model.Length(), text::Direction::Forward,
                              matchCase, wholeWord);
  } else if (count == 0) {
    match = text::FindInStory(model.Units(), needle, start_, end_, text::Direction::Forward, matchCase,
                              wholeWord);
  } else {
    match =
        text::FindInStory(model.Units(), needle, 0, end_, text::Direction::Backward, matchCase, wholeWord);
  }
  if (!match) return false;
  start_ = match->start;
  end_ = match->end;
  return true;
}

bool TextRange::execCommand(const std::u16string& command, bool) {
  Sync();
  if (!platform::EqualsIgnoringAsciiCase(command, u"SELECTALL")) {
    throw platform::Failure("the page engine does not support the command \"" + platform::ToUtf8(command) +
                            "\" on a text range; only SELECTALL is available");
  }
  document_->SetSelection(start_, end_);
  return true;
}

void TextRange::select() {
  Sync();
  document_->SetSelection(start_, end_);
}

void TextRange::scrollIntoView(bool alignToTop) {
  Sync();
  document_->RequestScroll(start_, end_, alignToTop);
}

}  // namespace lectryn::engine
