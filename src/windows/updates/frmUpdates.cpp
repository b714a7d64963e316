#include "windows/updates/frmUpdates.h"

#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::windows::updates {

const char16_t kExitApplication[] = u"kExitApplication";

namespace {

constexpr uint32_t kRed = platform::RGB(255, 0, 0);
const forms::Font kLabelFont{u"Microsoft Sans Serif", 9.0, false, false};

}  // namespace

std::string DomainOfHost(const std::string& host) {
  std::string name = host.substr(0, host.find(':'));
  size_t firstDot = name.find('.');
  size_t lastDot = name.rfind('.');
  if (firstDot == std::string::npos || firstDot == lastDot) return host;
  bool numeric = name.find_first_not_of("0123456789", lastDot + 1) == std::string::npos;
  if (numeric) return host;
  return host.substr(firstDot + 1);
}

frmUpdates::frmUpdates(platform::Platform& platform, const MakerSite& site)
    : Form("frmUpdates", u"Check for Updates"),
      Label2("Label2",
             u"This will contact the corvath web site and  see if you have the latest version of Lectryn."),
      Label1("Label1", u"Please ensure you are connected to the internet before starting the check."),
      cbCheckForUpdate("cbCheckForUpdate", u"Check for Update"),
      lbResult("lbResult", u""),
      cbDownload("cbDownload", u"Download Latest"),
      cbClose("cbClose", u"Close"),
      Timer1("Timer1", platform.loop),
      WebBrowser1(platform.browsers.CreateControl()),
      WebBrowser1Site("WebBrowser1"),
      platform_(platform),
      site_(site) {
  Layout();
  WebBrowser1Site.SetBrowser(WebBrowser1);
  Form::Form_Load = [this] { Form_Load(); };
  // However the window closes, a running check ends with it.
  Form_Unload = [this](int16_t&) { Timer1.SetEnabled(false); };
  cbCheckForUpdate.OnClick = [this] { cbCheckForUpdate_Click(); };
  cbDownload.OnClick = [this] { cbDownload_Click(); };
  cbClose.OnClick = [this] { cbClose_Click(); };
  Timer1.OnTimer = [this] { Timer1_Timer(); };
}

frmUpdates::~frmUpdates() {
  Timer1.SetEnabled(false);
}

void frmUpdates::Layout() {
  SetClientSize(6852, 4068);
  SetStartUpPosition(forms::StartUpPosition::CenterOwner);
  SetTitleButtons(false, false);
  Label2.SetPosition({240, 1680, 6492, 492});
  Label1.SetPosition({240, 2160, 6492, 372});
  cbCheckForUpdate.SetPosition({5280, 2640, 1452, 372});
  lbResult.SetPosition({240, 2880, 3612, 252});
  cbDownload.SetPosition({5280, 3120, 1452, 372});
  cbClose.SetPosition({5280, 3600, 1452, 372});
  WebBrowser1Site.SetPosition({240, 4560, 5412, 2412});
  for (forms::Label* label : {&Label2, &Label1, &lbResult}) label->SetFont(kLabelFont);
  lbResult.SetVisible(false);
  cbDownload.SetEnabled(false);
  // Tab order: Close first, then Download, Check, the labels and the browser control.
  int32_t tabIndex = 0;
  for (forms::Control* control : std::initializer_list<forms::Control*>{
           &cbClose, &cbDownload, &cbCheckForUpdate, &Label2, &Label1, &lbResult, &WebBrowser1Site}) {
    control->SetTabIndex(tabIndex++);
    Register(*control);
  }
  Register(Timer1);
}

void frmUpdates::Form_Load() {
  // The picture's file is "Banner.jpg", as every window names it: file names here tell case apart.
  // Without it the window simply has no background.
  platform::Tolerate(
      [&] { SetPicture(platform_.pictures.LoadPicture(platform_.app.Path() + "/Banner.jpg")); });
  lbResult.SetVisible(false);
  SetTopMost(true);
  platform_.windows.SetWindowPos(hWnd(), platform::HWND_TOPMOST, 0, 0, 0, 0,
                                 platform::SWP_NOMOVE | platform::SWP_NOSIZE);
}

std::u16string frmUpdates::VersionPageAddress() const {
  return platform::FromUtf8("http://" + site_.host + "/lectryn/version.htm");
}

// Handed to the shell without a scheme; the shell takes a leading host name for a web address.
std::string frmUpdates::DownloadPageAddress() const {
  return site_.host + "/lectryn/downloads.htm";
}

// A second press once the version page is shown reloads it rather than navigating again.
void frmUpdates::cbCheckForUpdate_Click() {
  mlngElapsed = 0;
  platform::Tolerate([&] {
    if (WebBrowser1->LocationURL() != VersionPageAddress()) {
      WebBrowser1->Navigate(VersionPageAddress());
    } else {
      WebBrowser1->Refresh();
    }
  });
  lbResult.SetCaption(u"Checking.");
  Timer1.SetInterval(kPollIntervalMs);
  Timer1.SetEnabled(true);
}

// Evaluates as soon as the page is interactive, or with whatever is there once the wait is over.
void frmUpdates::Timer1_Timer() {
  int32_t readyState = 0;
  platform::Tolerate([&] { readyState = WebBrowser1->ReadyState(); });
  if (readyState < static_cast<int32_t>(platform::ReadyState::Interactive)) {
    lbResult.SetCaption(u"Contacting " + platform::FromUtf8(DomainOfHost(site_.host)) + u"...");
    lbResult.SetVisible(true);
    mlngElapsed += Timer1.Interval();
    if (mlngElapsed <= kGiveUpAfterMs) return;
  }
  Timer1.SetEnabled(false);
  CheckVersion();
}

// The texts are compared exactly: any difference, an older version included, offers the download.
void frmUpdates::CheckVersion() {
  bool found = false;
  std::u16string pageVersion;
  platform::Tolerate([&] {
    platform::DocumentPtr document = WebBrowser1->Document();
    if (!document) return;
    platform::ElementPtr element = document->getElementById(u"ver");
    if (!element) return;
    pageVersion = element->innerText();
    found = true;
  });
  lbResult.SetVisible(false);
  if (!found) {
    platform_.dialogs.MsgBox(
        u"Could not contact the corvath web site. Please ensure you are connected to the internet.",
        platform::vbOKOnly, u"Conntecting " + platform::FromUtf8(site_.host));
  }
  cbDownload.SetEnabled(false);
  if (!found) return;
  lbResult.SetVisible(true);
  if (pageVersion != ver) {
    lbResult.SetCaption(u"A newer version of Lectryn is available.");
    lbResult.SetForeColor(kRed);
    cbDownload.SetEnabled(true);
  } else {
    lbResult.SetCaption(u"Your version of Lectryn is up-to-date.");
    lbResult.SetForeColor(forms::kBlack);
  }
}

void frmUpdates::cbDownload_Click() {
  int32_t answer = platform_.dialogs.MsgBox(u"Close Lectryn and download latest version?", platform::vbYesNo,
                                            u"Upgrade Lectryn");
  if (answer != platform::vbYes) return;
  platform_.shell.ShellExecuteA(hWnd(), "open", DownloadPageAddress(), "", "", platform::SW_SHOWNORMAL);
  Unload();
  delayedCommand = kExitApplication;
}

void frmUpdates::cbClose_Click() {
  Unload();
}

}  // namespace lectryn::windows::updates
