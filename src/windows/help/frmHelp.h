#pragma once
// The help window: shows the help page beside the program in its browser control and has the main
// window's narration read it from the top as soon as it opens. "Repeat" reads it again, "OK" stops
// and closes. The window has no voice of its own.
#include <cstdint>
#include <memory>
#include <string>

#include "forms/CommandButton.h"
#include "forms/BrowserSite.h"
#include "forms/Form.h"
#include "narration/Narration.h"
#include "platform/Platform.h"

namespace lectryn::windows::help {

class frmHelp : public forms::Form {
 public:
  frmHelp(platform::Platform& platform, narration::Narration& main);

  // The main window, whose narration reads the page. Settable by the main window; set before the
  // window loads, because loading already reads.
  narration::Narration* Main;

  // The browser control exists while the window is loaded: it goes away with the window.
  std::shared_ptr<platform::WebBrowser> WebBrowser1;
  forms::BrowserSite WebBrowser1Site;  // where the browser control sits
  forms::CommandButton cbOK;
  forms::CommandButton cbRepeat;

  void Form_Load();
  void Form_Unload(int16_t& cancel);
  void cbRepeat_Click();
  void cbOK_Click();

  // "file://", the program's folder and the help page's name.
  std::u16string HelpPageAddress() const;

 private:
  void SayHelpPage();
  void ReadFromTop(platform::WebBrowser& browser, uint64_t request);
  bool ReadingIsInThisPage() const;

  platform::Platform& platform_;
  // The page handed to the narration last, to tell whether a reading is still in it.
  std::weak_ptr<platform::HTMLDocument> readPage_;
  // Bumped by each reading request and by closing: an older request sees it changed and gives up.
  uint64_t request_ = 0;
};

}  // namespace lectryn::windows::help
