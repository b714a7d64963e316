#pragma once
// The desktop's other programs' pages, answered by the browser pages read through the bus: X11
// windows handed in as plain windows, and the window's place asked of the X server.
#include "accessibility/PageBus.h"
#include "accessibility/WindowPages.h"
#include "desktop/OtherPages.h"
#include "desktop/X11Windows.h"

namespace lectryn::app {

class BrowserPages : public desktop::OtherPages {
 public:
  // Both outlive this.
  BrowserPages(accessibility::PageBus& bus, desktop::X11Windows& windows);

  bool ShowsPage(const desktop::X11Window& window) override;
  platform::DocumentPtr Document(const desktop::X11Window& window) override;

 private:
  accessibility::WindowPages pages_;
};

}  // namespace lectryn::app
