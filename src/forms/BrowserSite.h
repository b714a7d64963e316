#pragma once
// Where a window shows its browser control: the control's rectangle in the form and the browser
// object placed there (none until the window makes it).
#include <memory>
#include <string>

#include "forms/Control.h"
#include "platform/Page.h"

namespace lectryn::forms {

class BrowserSite : public Control {
 public:
  explicit BrowserSite(std::string name) : Control(std::move(name)) {}

  const std::shared_ptr<platform::WebBrowser>& Browser() const { return browser_; }
  void SetBrowser(std::shared_ptr<platform::WebBrowser> browser) {
    Set(browser_, std::move(browser), Property::Browser);
  }

 private:
  std::shared_ptr<platform::WebBrowser> browser_;
};

}  // namespace lectryn::forms
