#include "accessibility/BrowserRange.h"

#include "accessibility/BrowserElement.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::accessibility {

BrowserRange::BrowserRange(std::shared_ptr<BrowserDocument> document, std::shared_ptr<engine::TextRange> range)
    : document_(std::move(document)), snapshot_(document_->Current()), range_(std::move(range)) {}

// A range made before the page grew covers the same text in the grown page.
engine::TextRange& BrowserRange::Checked() {
  document_->CheckUsable();
  if (snapshot_ != document_->Current()) {
    const PageSnapshot& now = document_->Snapshot();
    auto [start, end] = now.CarriedFrom(*snapshot_, range_->Start(), range_->End());
    range_ = std::make_shared<engine::TextRange>(now.Document(), start, end);
    snapshot_ = document_->Current();
  }
  return *range_;
}

BrowserRange& BrowserRange::Mine(platform::IHTMLTxtRange& other, const char* operation) {
  auto* range = dynamic_cast<BrowserRange*>(&other);
  if (range == nullptr || range->document_ != document_) {
    throw platform::Failure(
        std::string(operation) +
        " was given a text range of another page; take both ranges from the same document");
  }
  return *range;
}

platform::TxtRangePtr BrowserRange::duplicate() {
  return document_->Wrap(Checked().duplicate());
}

void BrowserRange::collapse(bool toStart) {
  Checked().collapse(toStart);
}

int32_t BrowserRange::move(const std::u16string& unit, int32_t count) {
  return Checked().move(unit, count);
}

int32_t BrowserRange::moveStart(const std::u16string& unit, int32_t count) {
  return Checked().moveStart(unit, count);
}

int32_t BrowserRange::moveEnd(const std::u16string& unit, int32_t count) {
  return Checked().moveEnd(unit, count);
}

int32_t BrowserRange::compareEndPoints(const std::u16string& how, platform::IHTMLTxtRange& other) {
  engine::TextRange& range = Checked();
  return range.compareEndPoints(how, Mine(other, "compareEndPoints").Checked());
}

void BrowserRange::setEndPoint(const std::u16string& how, platform::IHTMLTxtRange& other) {
  engine::TextRange& range = Checked();
  range.setEndPoint(how, Mine(other, "setEndPoint").Checked());
}

platform::ElementPtr BrowserRange::parentElement() {
  return document_->Wrap(Checked().parentElement());
}

void BrowserRange::moveToElementText(platform::IHTMLElement& element) {
  engine::TextRange& range = Checked();
  auto* mine = dynamic_cast<BrowserElement*>(&element);
  if (mine == nullptr || mine->OwnerDocument() != document_.get()) {
    throw platform::Failure(
        "moveToElementText was given an element of another page; take the element from the range's own "
        "document");
  }
  range.moveToElementText(mine->Engine());
}

std::u16string BrowserRange::text() {
  return Checked().text();
}

std::u16string BrowserRange::htmlText() {
  return Checked().htmlText();
}

bool BrowserRange::findText(const std::u16string& text, int32_t count, int32_t flags) {
  return Checked().findText(text, count, flags);
}

bool BrowserRange::execCommand(const std::u16string& command, bool showUI) {
  if (!platform::EqualsIgnoringAsciiCase(command, u"SELECTALL"))
    return Checked().execCommand(command, showUI);
  select();
  return true;
}

void BrowserRange::select() {
  engine::TextRange& range = Checked();
  range.select();
  if (auto span = document_->Snapshot().FirstObjectSpan(range.Start(), range.End()))
    document_->Bridge().Select(span->object, span->start, span->end);
}

void BrowserRange::scrollIntoView(bool) {
  engine::TextRange& range = Checked();
  if (auto span = document_->Snapshot().ScrollTarget(range.Start(), range.End()))
    document_->Bridge().ScrollTo(span->object, span->start, span->end);
}

}  // namespace lectryn::accessibility
