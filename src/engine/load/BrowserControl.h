#pragma once
// The browser control embedded in a window of the program, over the engine's own loading.
#include <memory>

#include "engine/load/Navigator.h"
#include "platform/Page.h"

namespace lectryn::engine {

class BrowserControl : public platform::WebBrowser {
 public:
  BrowserControl(platform::UiLoop& loop, LoadOptions options = {});

  void Navigate(const std::u16string& address) override;
  void Refresh() override;
  std::u16string LocationURL() override;
  int32_t ReadyState() override;
  platform::DocumentPtr Document() override;

  // Why the last navigation failed; empty after a success. The document then is an error page.
  std::u16string LastError() const;
  // The engine's document shown now (null before the first page), for a view.
  std::shared_ptr<engine::Document> CurrentDocument() const { return navigator_.CurrentDocument(); }
  void SetOnReadyStateChange(std::function<void(platform::ReadyState)> observer);

 private:
  Navigator navigator_;
};

}  // namespace lectryn::engine
