#pragma once
// Pages shown in other programs' windows (web browsers), as page documents whose coordinates are
// the window's client coordinates. The desktop asks; what reads the pages is joined in by the
// program.
#include "desktop/X11Windows.h"
#include "platform/Page.h"

namespace lectryn::desktop {

class OtherPages {
 public:
  virtual ~OtherPages() = default;
  // Whether the window shows a web page now; false when its program does not answer in time.
  virtual bool ShowsPage(const X11Window& window) = 0;
  // The page it shows; Nothing when none or when its program does not answer in time.
  virtual platform::DocumentPtr Document(const X11Window& window) = 0;
};

}  // namespace lectryn::desktop
