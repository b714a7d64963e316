#pragma once
// A browser control of the desktop: the widget that shows its page, which a form's window places
// at the control's rectangle.
#include <QWidget>

namespace lectryn::desktop {

class EmbeddedView {
 public:
  virtual ~EmbeddedView() = default;
  // Lives as long as the browser object; the form's window only reparents and moves it.
  virtual QWidget* View() = 0;
};

}  // namespace lectryn::desktop
