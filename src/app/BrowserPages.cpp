#include "app/BrowserPages.h"

#include "accessibility/BrowserDocument.h"

namespace lectryn::app {

namespace {

accessibility::BrowserWindow Plain(const desktop::X11Window& window) {
  return {window.id,
          window.pid,
          {window.client.x(), window.client.y(), window.client.width(), window.client.height()}};
}

}  // namespace

BrowserPages::BrowserPages(accessibility::PageBus& bus, desktop::X11Windows& windows)
    : pages_(bus, [&windows](accessibility::WindowId id) -> std::optional<accessibility::BrowserWindow> {
        if (auto described = windows.Describe(id)) return Plain(*described);
        return std::nullopt;
      }) {}

bool BrowserPages::ShowsPage(const desktop::X11Window& window) {
  bool shows = pages_.ShowsPage(Plain(window));
  asked_ = Asked{window, shows, pages_.Answered(window.id)};
  return shows;
}

platform::DocumentPtr BrowserPages::Document(const desktop::X11Window& window) {
  platform::DocumentPtr document = pages_.Document(Plain(window));
  asked_ = Asked{window, document != nullptr, pages_.Answered(window.id)};
  return document;
}

}  // namespace lectryn::app
