#pragma once
// The browser objects of the desktop: page windows (hidden top-level windows) and the browser
// controls of forms, each showing its page in a page view. Every page view is registered with the
// page view class, its outline layer and its current document; a page window's frame with a class
// of its own, so that the registry finds the view as its child.
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/DesktopBrowserControl.h"
#include "desktop/PageWindow.h"
#include "desktop/QtFontMetrics.h"
#include "desktop/WindowRegistry.h"
#include "engine/load/Navigator.h"
#include "platform/Page.h"
#include "platform/UiLoop.h"

namespace lectryn::desktop {

class DesktopBrowserObjects : public platform::BrowserObjects {
 public:
  // `loop` and `registry` must outlive every object made here.
  DesktopBrowserObjects(platform::UiLoop& loop, WindowRegistry& registry,
                        std::shared_ptr<QtFontMetrics> fonts, engine::LoadOptions options = {});

  std::shared_ptr<platform::BrowserApplication> CreateApplication() override;
  std::shared_ptr<platform::WebBrowser> CreateControl() override;

  // The same objects with their desktop types.
  std::shared_ptr<PageWindow> NewPageWindow();
  std::shared_ptr<DesktopBrowserControl> NewControl();
  // A new page window, shown, loading `address` (a file or an address); the caller keeps it.
  std::shared_ptr<PageWindow> OpenPageWindow(const std::u16string& address);
  // The page windows made here that still exist, oldest first.
  std::vector<PageWindow*> PageWindows();

  // Told when a page window is shown or hidden, with the name "page"; may be set at any time.
  void SetOnWindowShown(std::function<void(const std::string& name, bool shown)> onWindowShown);
  // Each page window made from now on opens beside `anchor` (the main window, asked when the page
  // window is first shown), where it covers none of the program's visible windows.
  void PlaceBeside(std::function<QWidget*()> anchor);
  // What "Save Reading As..." does in each page window made from now on.
  void SetOnSaveReading(std::function<void(PageWindow&)> saveReading) {
    saveReading_ = std::move(saveReading);
  }

 private:
  void RegisterView(PageView* view);

  platform::UiLoop& loop_;
  WindowRegistry& registry_;
  std::shared_ptr<QtFontMetrics> fonts_;
  engine::LoadOptions options_;
  std::vector<QPointer<PageWindow>> windows_;
  // Shared with the windows, which may outlive this object until their deletion runs.
  std::shared_ptr<std::function<void(const std::string&, bool)>> onWindowShown_;
  std::function<void(PageWindow&)> place_;
  std::function<void(PageWindow&)> saveReading_;
};

// Moves and sizes `window`, not shown yet, onto free space of `anchor`'s screen beside it.
void PlaceFreeOfProgramWindows(QWidget* anchor, QWidget& window);

}  // namespace lectryn::desktop
