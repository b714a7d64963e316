#pragma once
// Pages of the user's web browsers as page documents: which of a browser's windows shows a page,
// and a snapshot of that page, read through the accessibility bus once per document and address
// and again after the browser said the page changed. Nothing read leaves the program.
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "accessibility/AxTree.h"
#include "desktop/OtherPages.h"
#include "desktop/X11Windows.h"

namespace lectryn::accessibility {
class BrowserDocument;
namespace atspi {
class AtspiPages;
}
}  // namespace lectryn::accessibility

namespace lectryn::app {

class BrowserPages : public desktop::OtherPages {
 public:
  // Both outlive this.
  BrowserPages(accessibility::atspi::AtspiPages& bus, desktop::X11Windows& windows);
  ~BrowserPages() override;

  bool ShowsPage(const desktop::X11Window& window) override;
  platform::DocumentPtr Document(const desktop::X11Window& window) override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Shown {
    std::optional<accessibility::AxRef> document;
    Clock::time_point checked;
  };
  struct Page {
    std::u16string url;
    std::shared_ptr<accessibility::AxBridge> bridge;  // the page's live calls, kept with it
    std::shared_ptr<accessibility::BrowserDocument> document;
    bool stale = false;
  };
  std::optional<accessibility::AxRef> DocumentOf(const desktop::X11Window& window);
  std::shared_ptr<accessibility::BrowserDocument> Snapshot(accessibility::AxRef ref,
                                                           const desktop::X11Window& window);

  accessibility::atspi::AtspiPages& bus_;
  desktop::X11Windows& windows_;
  std::map<desktop::XWindowId, Shown> shown_;
  std::map<accessibility::AxRef, Page> pages_;
  int listener_ = 0;
};

}  // namespace lectryn::app
