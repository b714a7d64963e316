#pragma once
// The separate page window, over the engine's own loading. It keeps what the program asks of its
// frame (menu bar, tool bar, visibility) and what the person using it did (the pages behind and
// ahead, Back, Forward, Reload) for a front end to show. Once the user has closed it, every call
// of the program fails: the program then makes a new one.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/load/History.h"
#include "engine/load/Navigator.h"
#include "platform/Page.h"

namespace lectryn::engine {

class PageWindow : public platform::BrowserApplication {
 public:
  PageWindow(platform::UiLoop& loop, LoadOptions options = {});

  void navigate(const std::u16string& address) override;
  void put_MenuBar(bool shown) override;
  void put_ToolBar(int32_t shown) override;
  void put_Visible(bool visible) override;
  int32_t readyState() override;
  platform::DocumentPtr document() override;

  // What the person using the window does; nothing happens once it is closed. Open takes what was
  // typed or dropped (white space around it ignored) and returns whether there was anything to open.
  bool Open(std::u16string_view address);
  void GoBack();
  void GoForward();
  void Reload();
  bool CanGoBack() const { return !closed_ && history_.CanGoBack(); }
  bool CanGoForward() const { return !closed_ && history_.CanGoForward(); }
  bool CanReload() const { return !closed_ && !history_.Empty(); }
  const engine::History& History() const { return history_; }
  // The page's title, or its address when it has none.
  std::u16string Title() const;
  // The page's address after redirects, or the address being loaded.
  std::u16string LocationURL() const { return navigator_.LocationURL(); }
  // The engine's document shown now (null before the first page and once closed), for a view.
  std::shared_ptr<Document> CurrentDocument() const { return navigator_.CurrentDocument(); }

  // The user closes the window: loading stops and its page is discarded.
  void Close();
  bool Closed() const { return closed_; }
  bool MenuBar() const { return menuBar_; }
  int32_t ToolBar() const { return toolBar_; }
  bool Visible() const { return visible_; }
  std::u16string LastError() const;
  void SetOnReadyStateChange(std::function<void(platform::ReadyState)> observer);
  // Told after the history or what may be done with it changed: a navigation's page arrived, Back
  // or Forward started, the window was closed.
  void SetOnHistoryChange(std::function<void()> observer) { onHistoryChange_ = std::move(observer); }

 private:
  void FailWhenClosed(const char* operation) const;
  void OnReadyStateChange(platform::ReadyState state);
  void TellHistoryChanged() const;

  Navigator navigator_;
  engine::History history_;
  std::function<void(platform::ReadyState)> onReadyStateChange_;
  std::function<void()> onHistoryChange_;
  bool closed_ = false;
  // A new page window shows its bars and stays hidden until the program shows it.
  bool menuBar_ = true;
  int32_t toolBar_ = 1;
  bool visible_ = false;
};

}  // namespace lectryn::engine
