#pragma once
// A page window on the desktop: a top-level window with a menu bar, a tool bar (Back, Forward,
// Reload and the address bar) and a page view filling the rest, over the engine's page window,
// which loads the pages and keeps what the program asked of the frame. It is made hidden; the
// program shows it. Once the user has closed it, every call of the program fails and the window
// stays hidden; it is deleted (later, on the event loop) when the last shared_ptr to it goes.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/PageView.h"
#include "desktop/QtFontMetrics.h"
#include "engine/load/PageWindow.h"
#include "platform/Page.h"
#include "platform/UiLoop.h"

class QAction;
class QLineEdit;
class QToolBar;

namespace lectryn::desktop {

class PageWindow : public QMainWindow, public platform::BrowserApplication {
 public:
  // `loop` must outlive the window.
  static std::shared_ptr<PageWindow> Create(platform::UiLoop& loop, std::shared_ptr<QtFontMetrics> fonts,
                                            engine::LoadOptions options = {});

  // platform::BrowserApplication
  void navigate(const std::u16string& address) override;
  void put_MenuBar(bool shown) override;
  void put_ToolBar(int32_t shown) override;
  void put_Visible(bool visible) override;
  int32_t readyState() override;
  platform::DocumentPtr document() override;

  bool Closed() const { return engine_.Closed(); }
  std::u16string LastError() const { return engine_.LastError(); }
  // The addresses this window has shown, oldest first, and which of them is shown now.
  const std::vector<std::u16string>& History() const { return engine_.History().Entries(); }
  size_t HistoryIndex() const { return engine_.History().Current(); }

  PageView* View() const { return view_; }
  QLineEdit* AddressBar() const { return addressBar_; }
  QToolBar* NavigationBar() const { return toolBar_; }
  QAction* BackAction() const { return back_; }
  QAction* ForwardAction() const { return forward_; }
  QAction* ReloadAction() const { return reload_; }
  QAction* OpenAction() const { return open_; }
  QAction* SaveReadingAction() const { return saveReading_; }
  QAction* CloseAction() const { return close_; }

  // Told with true when the window is shown and false when it is hidden (minimising tells nothing).
  void SetOnShown(std::function<void(bool shown)> onShown) { onShown_ = std::move(onShown); }
  // What "Save Reading As..." in the File menu does; the item is disabled until this is set.
  void SetOnSaveReading(std::function<void(PageWindow&)> saveReading);
  // Runs once, just before the program first shows the window: where it opens.
  void SetPlacement(std::function<void(PageWindow&)> place) { place_ = std::move(place); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  PageWindow(platform::UiLoop& loop, std::shared_ptr<QtFontMetrics> fonts, engine::LoadOptions options);
  void BuildActions();
  void BuildBars();
  void AskForPage();
  void OnReadyStateChange(platform::ReadyState state);
  void ShowHistory();

  engine::PageWindow engine_;
  PageView* view_ = nullptr;  // children of the window
  QLineEdit* addressBar_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QAction* back_ = nullptr;
  QAction* forward_ = nullptr;
  QAction* reload_ = nullptr;
  QAction* open_ = nullptr;
  QAction* saveReading_ = nullptr;
  QAction* close_ = nullptr;
  std::function<void(bool)> onShown_;
  std::function<void(PageWindow&)> place_;
  std::function<void(PageWindow&)> onSaveReading_;
};

}  // namespace lectryn::desktop
