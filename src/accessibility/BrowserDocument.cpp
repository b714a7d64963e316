#include "accessibility/BrowserDocument.h"

#include <algorithm>

#include "accessibility/BrowserElement.h"
#include "accessibility/BrowserRange.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::accessibility {

std::shared_ptr<BrowserDocument> BrowserDocument::Create(const AxNode& document,
                                                         std::shared_ptr<AxBridge> bridge, std::u16string url,
                                                         ClientOrigin clientOrigin) {
  PageSnapshot snapshot = PageSnapshot::Build(document, url);
  return std::make_shared<BrowserDocument>(std::move(snapshot), std::move(bridge), std::move(url),
                                           std::move(clientOrigin));
}

std::shared_ptr<BrowserDocument> BrowserDocument::CreateInParts(AxRef document, std::shared_ptr<AxBridge> bridge,
                                                                std::u16string url, ClientOrigin clientOrigin,
                                                                PartReader readPart) {
  AxNode empty;
  empty.ref = document;
  empty.role = AxRole::Document;
  auto created = Create(empty, std::move(bridge), std::move(url), std::move(clientOrigin));
  created->readPart_ = std::move(readPart);
  return created;
}

BrowserDocument::BrowserDocument(PageSnapshot snapshot, std::shared_ptr<AxBridge> bridge, std::u16string url,
                                 ClientOrigin clientOrigin)
    : snapshot_(std::make_shared<PageSnapshot>(std::move(snapshot))),
      bridge_(std::move(bridge)),
      url_(std::move(url)),
      clientOrigin_(std::move(clientOrigin)) {}

void BrowserDocument::CheckUsable() const {
  if (discarded_) {
    throw platform::Failure("the browser's page " + platform::ToUtf8(url_) +
                            " has changed or is gone; take its document, elements and ranges again");
  }
}

void BrowserDocument::Discard() {
  discarded_ = true;
  snapshot_->Document()->Discard();
  RunWaiting();  // they find the page gone
}

void BrowserDocument::Grow(const AxNode& tree) {
  snapshot_ = std::make_shared<PageSnapshot>(PageSnapshot::Build(tree, url_));
}

void BrowserDocument::AddPart(const AxNode& part) {
  if (discarded_ || Whole()) return;
  Grow(part);
}

void BrowserDocument::Complete(const AxNode& document) {
  if (discarded_ || Whole()) return;
  Grow(document);
  readPart_ = nullptr;
  RunWaiting();
}

void BrowserDocument::Incomplete() {
  if (Whole()) return;
  readPart_ = nullptr;
  readFailed_ = true;
  RunWaiting();
}

bool BrowserDocument::WhenMore(std::function<void()> more) {
  if (discarded_ || Whole()) return false;
  waiting_.push_back(std::move(more));
  return true;
}

void BrowserDocument::RunWaiting() {
  auto waiting = std::move(waiting_);
  waiting_.clear();
  for (auto& more : waiting) more();
}

AxBridge& BrowserDocument::Bridge() {
  CheckUsable();
  return *bridge_;
}

platform::POINTAPI BrowserDocument::Origin() {
  CheckUsable();
  return clientOrigin_ ? clientOrigin_() : platform::POINTAPI{};
}

platform::ElementPtr BrowserDocument::Wrap(const platform::ElementPtr& engineElement) {
  auto element = std::dynamic_pointer_cast<engine::Element>(engineElement);
  if (!element) return nullptr;
  return std::make_shared<BrowserElement>(shared_from_this(), std::move(element));
}

platform::TxtRangePtr BrowserDocument::Wrap(const platform::TxtRangePtr& engineRange) {
  auto range = std::dynamic_pointer_cast<engine::TextRange>(engineRange);
  if (!range) return nullptr;
  return std::make_shared<BrowserRange>(shared_from_this(), std::move(range));
}

platform::ElementPtr BrowserDocument::body() {
  CheckUsable();
  return Wrap(snapshot_->Document()->body());
}

platform::ElementPtr BrowserDocument::documentElement() {
  CheckUsable();
  return Wrap(snapshot_->Document()->documentElement());
}

std::u16string BrowserDocument::readyState() {
  return Bridge().Busy() ? u"loading" : u"complete";
}

std::u16string BrowserDocument::URL() {
  CheckUsable();
  return url_;
}

// The browser names the objects under the point, deepest first; the first that made an element
// is the one. Objects that made none (text leaves, hidden ones) lead to their nearest ancestor
// that did, and the document's own object is the body.
platform::ElementPtr BrowserDocument::elementFromPoint(int32_t x, int32_t y) {
  platform::POINTAPI origin = Origin();
  std::vector<AxRef> chain = Bridge().ObjectsAtPoint(x + origin.x, y + origin.y);
  if (chain.empty()) return nullptr;
  auto element = [&]() -> platform::ElementPtr {
    for (AxRef object : chain) {
      engine::dom::NodeId node = snapshot_->ElementOf(object);
      if (node != engine::dom::kNoNode && object != snapshot_->DocumentRef())
        return Wrap(snapshot_->Document()->ElementFor(node));
    }
    return nullptr;
  };
  if (auto found = element()) return found;
  // Not read yet: the part there is read now and replaces the part read before.
  if (readPart_ && chain.size() > 1) {
    if (std::optional<AxNode> part = readPart_(chain, x + origin.x, y + origin.y); part && !Whole()) {
      Grow(*part);
      if (auto found = element()) return found;
      // The part was found below the deepest object the browser named: it is what lies there.
      if (!part->children.empty()) chain = {part->children.front().ref};
      if (auto found = element()) return found;
    }
  }
  return Wrap(snapshot_->Document()->body());
}

platform::TxtRangePtr BrowserDocument::RangeAt(AxRef object, int32_t startOffset, int32_t endOffset) {
  CheckUsable();
  std::optional<int32_t> start = snapshot_->PositionOf(object, startOffset);
  std::optional<int32_t> end = snapshot_->PositionOf(object, std::max(startOffset, endOffset));
  if (!start || !end) return nullptr;
  return Wrap(std::make_shared<engine::TextRange>(snapshot_->Document(), *start, std::max(*start, *end)));
}

platform::ElementPtr BrowserDocument::getElementById(const std::u16string& id) {
  CheckUsable();
  return Wrap(snapshot_->Document()->getElementById(id));
}

}  // namespace lectryn::accessibility
