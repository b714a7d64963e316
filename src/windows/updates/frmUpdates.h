#pragma once
// The update window: loads the maker's version page into a browser control nobody sees, waits for it
// with a polling timer and compares the element "ver" with the running version. The opener sets ver
// before showing the window modally and reads delayedCommand after it has closed.
#include <cstdint>
#include <memory>
#include <string>

#include "forms/CommandButton.h"
#include "forms/BrowserSite.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/Timer.h"
#include "platform/Platform.h"
#include "windows/MakerSite.h"

namespace lectryn::windows::updates {

// What delayedCommand holds once the user has confirmed the download: the opener ends the program.
extern const char16_t kExitApplication[];

constexpr int32_t kPollIntervalMs = 100;
// Past this the evaluation runs with whatever the browser holds.
constexpr int32_t kGiveUpAfterMs = 10000;

// The domain of a web site's host name, as the window names the site to the user:
// "lectryn.corvath.example" -> "corvath.example". Addresses and names of two labels stay whole.
std::string DomainOfHost(const std::string& host);

class frmUpdates : public forms::Form {
 public:
  frmUpdates(platform::Platform& platform, const MakerSite& site);
  ~frmUpdates() override;

  std::u16string ver;             // the running version, "1.0.0"
  std::u16string delayedCommand;  // empty, or kExitApplication

  forms::Label Label2;
  forms::Label Label1;
  forms::CommandButton cbCheckForUpdate;
  forms::Label lbResult;
  forms::CommandButton cbDownload;
  forms::CommandButton cbClose;
  forms::Timer Timer1;
  std::shared_ptr<platform::WebBrowser> WebBrowser1;
  forms::BrowserSite WebBrowser1Site;  // where the browser control sits: below the client area, never seen

  void Form_Load();
  void cbCheckForUpdate_Click();
  void Timer1_Timer();
  void cbDownload_Click();
  void cbClose_Click();
  void CheckVersion();

  std::u16string VersionPageAddress() const;
  std::string DownloadPageAddress() const;

 private:
  void Layout();

  platform::Platform& platform_;
  MakerSite site_;
  int32_t mlngElapsed = 0;  // ms waited in the current check
};

}  // namespace lectryn::windows::updates
