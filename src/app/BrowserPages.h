#pragma once
// The desktop's other programs' pages, answered by the browser pages read through the bus: X11
// windows handed in as plain windows, and the window's place asked of the X server.
#include <optional>

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

  // The window whose page was asked for last, and whether it showed one: what the window system
  // found under a point, once ForgetAsked cleared the answer before.
  struct Asked {
    desktop::X11Window window;
    bool showsPage = false;
    bool answered = true;  // false: the program did not answer, so nothing is known of its pages
  };
  const std::optional<Asked>& LastAsked() const { return asked_; }
  void ForgetAsked() { asked_.reset(); }

 private:
  accessibility::WindowPages pages_;
  std::optional<Asked> asked_;
};

}  // namespace lectryn::app
