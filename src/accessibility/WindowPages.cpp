#include "accessibility/WindowPages.h"

#include "accessibility/BrowserDocument.h"
#include "platform/Failure.h"

namespace lectryn::accessibility {

// The whole page takes seconds to read in a big one: the part where reading starts is read first,
// so that it can start at once.
std::shared_ptr<BrowserDocument> ReadInParts(PageBus& bus, AxRef document, std::shared_ptr<AxBridge> bridge,
                                             std::u16string url, BrowserDocument::ClientOrigin clientOrigin) {
  auto created = BrowserDocument::CreateInParts(
      document, std::move(bridge), std::move(url), std::move(clientOrigin),
      [&bus, document](const std::vector<AxRef>& chain, int32_t x, int32_t y) {
        return bus.ReadPartOf(document, chain, x, y);
      });
  std::weak_ptr<BrowserDocument> grown = created;
  bus.ReadTreeLater(document, [grown](std::optional<AxNode> tree) {
    auto page = grown.lock();
    if (!page) return;
    if (tree) {
      page->Complete(*tree);
    } else {
      page->Incomplete();
    }
  });
  return created;
}

WindowPages::WindowPages(PageBus& bus, Describe describe, Clock clock)
    : bus_(bus), describe_(std::move(describe)), clock_(std::move(clock)) {
  // A changed page is read again at the next drag over it; a reading that runs keeps its snapshot.
  // The change may be a tab switch, so which window shows what is asked again too.
  listener_ = bus_.OnPageChanged([this](AxRef document) {
    if (auto page = pages_.find(document); page != pages_.end()) page->second.stale = true;
    shown_.clear();
  });
}

WindowPages::~WindowPages() {
  bus_.StopPageChanged(listener_);
}

std::optional<AxRef> WindowPages::DocumentOf(const BrowserWindow& window) {
  auto now = clock_();
  auto known = shown_.find(window.id);
  if (known != shown_.end() && now - known->second.checked < kRecheck) return known->second.document;
  std::optional<AxRef> document;
  bool answered = window.pid <= 0 ||
                  platform::Tolerate([&] { document = bus_.WebDocumentOf(window.pid, window.client); });
  shown_[window.id] = {document, now, answered};
  return document;
}

bool WindowPages::Answered(WindowId window) const {
  auto known = shown_.find(window);
  return known == shown_.end() || known->second.answered;
}

bool WindowPages::ShowsPage(const BrowserWindow& window) {
  return DocumentOf(window).has_value();
}

std::shared_ptr<BrowserDocument> WindowPages::Document(const BrowserWindow& window) {
  std::optional<AxRef> ref = DocumentOf(window);
  if (!ref) return nullptr;
  std::shared_ptr<BrowserDocument> document;
  platform::Tolerate([&] { document = Snapshot(*ref, window); });
  return document;
}

std::shared_ptr<BrowserDocument> WindowPages::Snapshot(AxRef ref, const BrowserWindow& window) {
  auto found = pages_.find(ref);
  std::shared_ptr<AxBridge> bridge = found != pages_.end() ? found->second.bridge : bus_.Bridge(ref);
  std::u16string url = bridge->Url();
  // A page still being read is not read again for a change meanwhile: its read is under way. One
  // whose read failed is read again.
  if (found != pages_.end() && found->second.url == url) {
    const BrowserDocument& known = *found->second.document;
    if (!known.Whole() || (!found->second.stale && !known.ReadFailed())) return found->second.document;
  }
  // The window's place: it does not change during one move, and the page's geometry asks for it
  // often.
  struct Origin {
    platform::POINTAPI at;
    std::chrono::steady_clock::time_point asked;
  };
  auto origin = std::make_shared<Origin>(Origin{{window.client.x, window.client.y}, clock_()});
  auto clientOrigin = [origin, describe = describe_, clock = clock_, id = window.id] {
    auto now = clock();
    if (now - origin->asked >= kOriginKept) {
      if (auto described = describe(id)) origin->at = {described->client.x, described->client.y};
      origin->asked = now;
    }
    return origin->at;
  };
  auto document = ReadInParts(bus_, ref, bridge, url, clientOrigin);
  // Another address is another page: what was read of the old one is gone with it.
  if (found != pages_.end() && found->second.url != url && found->second.document)
    found->second.document->Discard();
  pages_[ref] = {url, bridge, document, false};
  return document;
}

}  // namespace lectryn::accessibility
