#pragma once
// The browser control of a form on the desktop: a page view without bars over the engine's
// browser control. The form's window places View() at the control's rectangle; links clicked in
// it navigate the control.
#include <QPointer>
#include <memory>

#include "desktop/EmbeddedView.h"
#include "desktop/PageView.h"
#include "desktop/QtFontMetrics.h"
#include "engine/load/BrowserControl.h"
#include "platform/Page.h"
#include "platform/UiLoop.h"

namespace lectryn::desktop {

class DesktopBrowserControl : public platform::WebBrowser, public EmbeddedView {
 public:
  // `loop` must outlive the control.
  DesktopBrowserControl(platform::UiLoop& loop, std::shared_ptr<QtFontMetrics> fonts,
                        engine::LoadOptions options = {});
  // The view goes with the control (later, on the event loop), unless its window took it along.
  ~DesktopBrowserControl() override;
  DesktopBrowserControl(const DesktopBrowserControl&) = delete;
  DesktopBrowserControl& operator=(const DesktopBrowserControl&) = delete;

  // platform::WebBrowser
  void Navigate(const std::u16string& address) override;
  void Refresh() override;
  std::u16string LocationURL() override;
  int32_t ReadyState() override;
  platform::DocumentPtr Document() override;

  // EmbeddedView; null once a window that held it has deleted it.
  QWidget* View() override { return view_; }
  PageView* Page() const { return view_; }
  std::u16string LastError() const { return engine_.LastError(); }

 private:
  void OnReadyStateChange(platform::ReadyState state);

  engine::BrowserControl engine_;
  QPointer<PageView> view_;
};

}  // namespace lectryn::desktop
