#include "accessibility/BrowserElement.h"

#include "platform/Failure.h"

namespace lectryn::accessibility {

std::u16string BrowserElement::nodeName() {
  document_->CheckUsable();
  return element_->nodeName();
}

std::u16string BrowserElement::id() {
  document_->CheckUsable();
  return element_->id();
}

std::u16string BrowserElement::innerText() {
  document_->CheckUsable();
  return element_->innerText();
}

std::u16string BrowserElement::language() {
  document_->CheckUsable();
  return element_->language();
}

AxExtents BrowserElement::Extents() {
  document_->CheckUsable();  // a discarded document's tree is gone
  auto now = std::chrono::steady_clock::now();
  if (extents_ && now - extentsAt_ < kExtentsKept) return *extents_;
  AxRef object = document_->Snapshot().RefOf(element_->Node());
  extents_ = document_->Bridge().Extents(object);
  extentsAt_ = now;
  return *extents_;
}

int32_t BrowserElement::offsetLeft() {
  return Extents().x - document_->Origin().x;
}

int32_t BrowserElement::offsetTop() {
  return Extents().y - document_->Origin().y;
}

int32_t BrowserElement::offsetWidth() {
  return Extents().width;
}

int32_t BrowserElement::offsetHeight() {
  return Extents().height;
}

platform::ElementPtr BrowserElement::offsetParent() {
  document_->CheckUsable();
  return nullptr;
}

int32_t BrowserElement::clientLeft() {
  document_->CheckUsable();
  return 0;
}

int32_t BrowserElement::clientTop() {
  document_->CheckUsable();
  return 0;
}

int32_t BrowserElement::scrollTop() {
  document_->CheckUsable();
  return 0;
}

int32_t BrowserElement::scrollLeft() {
  document_->CheckUsable();
  return 0;
}

std::shared_ptr<platform::IHTMLWindow2> BrowserElement::contentWindow() {
  document_->CheckUsable();
  return element_->contentWindow();  // fails: a browser's frames are read into the page itself
}

platform::TxtRangePtr BrowserElement::createTextRange() {
  document_->CheckUsable();
  return document_->Wrap(element_->createTextRange());
}

namespace {

[[noreturn]] void CannotChange(const char* operation) {
  throw platform::Failure(std::string(operation) +
                          " cannot change a page shown by another program; only pages of our own windows");
}

}  // namespace

void BrowserElement::insertAdjacentHTML(const std::u16string&, const std::u16string&) {
  document_->CheckUsable();
  CannotChange("insertAdjacentHTML");
}

void BrowserElement::put_topMargin(int32_t) {
  document_->CheckUsable();
  CannotChange("put_topMargin");
}

void BrowserElement::put_leftMargin(int32_t) {
  document_->CheckUsable();
  CannotChange("put_leftMargin");
}

}  // namespace lectryn::accessibility
