#pragma once
// The separate page window, over the engine's own loading. It keeps what the program asks of its
// frame (menu bar, tool bar, visibility) for a front end to show. Once the user has closed it,
// every call fails: the program then makes a new one.
#include <memory>

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

  // Loads the page shown again; fails once closed, like navigate.
  void Refresh();
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

 private:
  void FailWhenClosed(const char* operation) const;

  Navigator navigator_;
  bool closed_ = false;
  // A new page window shows its bars and stays hidden until the program shows it.
  bool menuBar_ = true;
  int32_t toolBar_ = 1;
  bool visible_ = false;
};

}  // namespace lectryn::engine
