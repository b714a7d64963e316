#include "app/BrowserPages.h"

#include "accessibility/BrowserDocument.h"
#include "accessibility/atspi/AtspiPages.h"
#include "platform/Failure.h"

namespace lectryn::app {

using accessibility::AxRef;
using desktop::X11Window;

namespace {

// A drag asks many times a second which page is under the pointer; the browser is asked again
// only this often (tabs switch, windows close).
constexpr auto kRecheck = std::chrono::milliseconds(1000);
// Where the window is does not change during one move; the page's geometry asks for it often.
constexpr auto kOriginKept = std::chrono::milliseconds(50);

accessibility::AxExtents ExtentsOf(const X11Window& window) {
  return {window.client.x(), window.client.y(), window.client.width(), window.client.height()};
}

}  // namespace

BrowserPages::BrowserPages(accessibility::atspi::AtspiPages& bus, desktop::X11Windows& windows)
    : bus_(bus), windows_(windows) {
  // A changed page is read again at the next drag over it; a reading that runs keeps its snapshot.
  listener_ = bus_.OnPageChanged([this](AxRef document) {
    if (auto page = pages_.find(document); page != pages_.end()) page->second.stale = true;
    shown_.clear();
  });
}

BrowserPages::~BrowserPages() {
  bus_.StopPageChanged(listener_);
}

std::optional<AxRef> BrowserPages::DocumentOf(const X11Window& window) {
  Clock::time_point now = Clock::now();
  auto known = shown_.find(window.id);
  if (known != shown_.end() && now - known->second.checked < kRecheck) return known->second.document;
  std::optional<AxRef> document;
  if (window.pid > 0)
    platform::Tolerate([&] { document = bus_.WebDocumentOf(window.pid, ExtentsOf(window)); });
  shown_[window.id] = {document, now};
  return document;
}

bool BrowserPages::ShowsPage(const X11Window& window) {
  return DocumentOf(window).has_value();
}

platform::DocumentPtr BrowserPages::Document(const X11Window& window) {
  std::optional<AxRef> ref = DocumentOf(window);
  if (!ref) return nullptr;
  std::shared_ptr<accessibility::BrowserDocument> document;
  platform::Tolerate([&] { document = Snapshot(*ref, window); });
  return document;
}

std::shared_ptr<accessibility::BrowserDocument> BrowserPages::Snapshot(AxRef ref, const X11Window& window) {
  auto found = pages_.find(ref);
  std::shared_ptr<accessibility::AxBridge> bridge =
      found != pages_.end() ? found->second.bridge : bus_.Bridge(ref);
  std::u16string url = bridge->Url();
  if (found != pages_.end() && found->second.url == url && !found->second.stale)
    return found->second.document;
  accessibility::AxNode tree = bus_.ReadTree(ref);
  // The window's place, asked of the X server at most once per move.
  struct Origin {
    platform::POINTAPI at;
    Clock::time_point asked;
  };
  auto origin = std::make_shared<Origin>(Origin{{window.client.x(), window.client.y()}, Clock::now()});
  desktop::X11Windows* windows = &windows_;
  desktop::XWindowId id = window.id;
  auto clientOrigin = [origin, windows, id] {
    Clock::time_point now = Clock::now();
    if (now - origin->asked >= kOriginKept) {
      if (auto described = windows->Describe(id)) origin->at = {described->client.x(), described->client.y()};
      origin->asked = now;
    }
    return origin->at;
  };
  auto document = accessibility::BrowserDocument::Create(tree, bridge, url, clientOrigin);
  // Another address is another page: what was read of the old one is gone with it.
  if (found != pages_.end() && found->second.url != url && found->second.document)
    found->second.document->Discard();
  pages_[ref] = {url, bridge, document, false};
  return document;
}

}  // namespace lectryn::app
