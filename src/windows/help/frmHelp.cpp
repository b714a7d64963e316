#include "windows/help/frmHelp.h"

#include "platform/Failure.h"
#include "platform/Text.h"
#include "windows/PageWait.h"

namespace lectryn::windows::help {

frmHelp::frmHelp(platform::Platform& platform, narration::Narration& main)
    : forms::Form("frmHelp", u"Lectryn Help"),
      Main(&main),
      WebBrowser1Site("WebBrowser1"),
      cbOK("cbOK", u"OK"),
      cbRepeat("cbRepeat", u"Repeat"),
      platform_(platform) {
  SetClientSize(6672, 7416);
  SetTitleButtons(false, false);
  WebBrowser1Site.SetPosition({0, 1920, 6612, 4932});
  WebBrowser1Site.SetTabIndex(0);
  cbOK.SetPosition({5400, 6960, 1212, 372});
  cbOK.SetTabIndex(1);
  cbRepeat.SetPosition({4080, 6960, 1212, 372});
  cbRepeat.SetTabIndex(2);
  Register(WebBrowser1Site);
  Register(cbOK);
  Register(cbRepeat);

  forms::Form::Form_Load = [this] { Form_Load(); };
  forms::Form::Form_Unload = [this](int16_t& cancel) { Form_Unload(cancel); };
  cbOK.OnClick = [this] { cbOK_Click(); };
  cbRepeat.OnClick = [this] { cbRepeat_Click(); };
}

std::u16string frmHelp::HelpPageAddress() const {
  return u"file://" + platform::FromUtf8(platform::ProgramFile(platform_.app, "Help.htm"));
}

// Loading ends only once the page is usable and its reading has started.
void frmHelp::Form_Load() {
  // Without its banner the window still shows and reads the page.
  SetPicture(nullptr);
  platform::Tolerate([&] {
    SetPicture(platform_.pictures.LoadPicture(platform::ProgramFile(platform_.app, "Banner.jpg")));
  });
  SetTopMost(true);
  platform_.windows.SetWindowPos(hWnd(), platform::HWND_TOPMOST, 0, 0, 0, 0,
                                 platform::SWP_NOSIZE | platform::SWP_NOMOVE);
  WebBrowser1 = platform_.browsers.CreateControl();
  WebBrowser1Site.SetBrowser(WebBrowser1);
  platform::Tolerate([&] { WebBrowser1->Navigate(HelpPageAddress()); });
  SayHelpPage();
}

// Closing by the frame stops a reading in this page, as "OK" does: the page goes away with the
// window. A reading elsewhere goes on; a request still waiting for the page gives up.
void frmHelp::Form_Unload(int16_t& /*cancel*/) {
  ++request_;
  if (ReadingIsInThisPage() && Main->pVoice && platform::IsSpeaking(*Main->pVoice)) Main->StopSpeaking();
  WebBrowser1Site.SetBrowser(nullptr);
  WebBrowser1.reset();
}

bool frmHelp::ReadingIsInThisPage() const {
  platform::DocumentPtr page = readPage_.lock();
  return page && Main->workingDoc == page;
}

void frmHelp::SayHelpPage() {
  const uint64_t request = ++request_;
  Main->StopSpeaking();
  std::shared_ptr<platform::WebBrowser> browser = WebBrowser1;
  if (!browser) return;
  // A page that never becomes usable, or refuses a document call, is given up quietly.
  platform::Tolerate([&] { ReadFromTop(*browser, request); });
}

void frmHelp::ReadFromTop(platform::WebBrowser& browser, uint64_t request) {
  if (!WaitForPage(
          platform_.loop, [&browser] { return browser.ReadyState(); },
          [this, request] { return request == request_; }))
    return;
  platform::DocumentPtr page = browser.Document();
  readPage_ = page;
  Main->SayFromTop(page);
}

// The page shown is read again; it is not loaded again.
void frmHelp::cbRepeat_Click() {
  Main->StopSpeaking();
  SayHelpPage();
}

void frmHelp::cbOK_Click() {
  Main->StopSpeaking();
  Unload();
}

}  // namespace lectryn::windows::help
