#include "accessibility/BrowserElement.h"

#include "platform/Failure.h"

namespace lectryn::accessibility {

BrowserElement::BrowserElement(std::shared_ptr<BrowserDocument> document, std::shared_ptr<engine::Element> element)
    : document_(std::move(document)), snapshot_(document_->Current()), element_(std::move(element)) {}

// An element made before the page grew is the element of the same object in the grown page.
engine::Element& BrowserElement::Engine() {
  document_->CheckUsable();
  if (snapshot_ != document_->Current()) {
    const PageSnapshot& now = document_->Snapshot();
    engine::dom::NodeId node = now.ElementOf(snapshot_->RefOf(element_->Node()));
    auto element = node == engine::dom::kNoNode
                       ? nullptr
                       : std::dynamic_pointer_cast<engine::Element>(now.Document()->ElementFor(node));
    if (!element) throw platform::Failure("the element is not in what was read of the browser's page");
    element_ = std::move(element);
    snapshot_ = document_->Current();
    extents_.reset();
  }
  return *element_;
}

std::u16string BrowserElement::nodeName() {
  return Engine().nodeName();
}

std::u16string BrowserElement::id() {
  return Engine().id();
}

std::u16string BrowserElement::innerText() {
  return Engine().innerText();
}

std::u16string BrowserElement::language() {
  return Engine().language();
}

AxExtents BrowserElement::Extents() {
  engine::Element& element = Engine();  // a discarded document's tree is gone
  auto now = std::chrono::steady_clock::now();
  if (extents_ && now - extentsAt_ < kExtentsKept) return *extents_;
  AxRef object = document_->Snapshot().RefOf(element.Node());
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
  return Engine().contentWindow();  // fails: a browser's frames are read into the page itself
}

platform::TxtRangePtr BrowserElement::createTextRange() {
  return document_->Wrap(Engine().createTextRange());
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
