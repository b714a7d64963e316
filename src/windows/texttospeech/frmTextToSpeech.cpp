#include "windows/texttospeech/frmTextToSpeech.h"

#include "platform/Failure.h"
#include "windows/PageWait.h"

namespace lectryn::windows::texttospeech {

const char16_t kInitialText[] =
    u"You can enter any text you would like spoken here.\r\n\r\n"
    u"You can also paste in text from other applications such as Microsoft Word. \r\n\r\n"
    u"Simply select the document in Microsoft word using Ctrl+A, copy the text using Ctrl+C then Paste the "
    u"text here using Ctrl+V.\r\n";

const char16_t kPageTemplate[] =
    u"javascript:'<HTML><HEAD><TITLE>Lectryn Text-to-Speech</TITLE></HEAD><style>body { font-family: "
    u"Verdana, Arial, Helvetica, Geneva; font-size: 10pt; color: #800080 }</style></HTML>'";

namespace {

constexpr char16_t kSayCaption[] = u"To Speech";
constexpr char16_t kStopCaption[] = u"Stop";

}  // namespace

std::u16string TextFragment(const std::u16string& text) {
  std::u16string html = u"<table border='0' width='100%'><tr><td width='100%'>";
  for (char16_t c : text) {
    if (c == u'\r')
      html += u"</span><br><span>";
    else
      html += c;
  }
  return html + u"</td></tr></table>";
}

frmTextToSpeech::frmTextToSpeech(platform::Platform& platform, narration::Narration& main)
    : forms::Form("frmTextToSpeech", u"Text-To-Speech"),
      Main(&main),
      tbTextToSpeech("tbTextToSpeech", kInitialText, true, forms::ScrollBars::Vertical),
      cbSayIt("cbSayIt", kSayCaption),
      cb("cb", u"OK"),
      Timer1("Timer1", platform.loop),
      mnuSelect(AddMenu("mnuSelect", u"Edit")),
      mnuSelectSelectAll(mnuSelect.Add("mnuSelectSelectAll", u"Select All", forms::CtrlKey('A'))),
      platform_(platform) {
  SetClientSize(4716, 3168);
  SetTitleButtons(false, false);
  tbTextToSpeech.SetPosition({0, 0, 4692, 2652});
  tbTextToSpeech.SetTabIndex(0);
  cbSayIt.SetPosition({1920, 2760, 1332, 372});
  cbSayIt.SetTabIndex(1);
  cbSayIt.SetDefault(true);
  cb.SetPosition({3360, 2760, 1332, 372});
  cb.SetTabIndex(2);
  Timer1.SetEnabled(false);  // runs only while the window is loaded
  Register(tbTextToSpeech);
  Register(cbSayIt);
  Register(cb);

  forms::Form::Form_Load = [this] { Form_Load(); };
  forms::Form::Form_Activate = [this] { Form_Activate(); };
  forms::Form::Form_Unload = [this](int16_t& cancel) { Form_Unload(cancel); };
  cbSayIt.OnClick = [this] { cbSayIt_Click(); };
  cb.OnClick = [this] { cb_Click(); };
  tbTextToSpeech.OnClick = [this] { tbTextToSpeech_Click(); };
  mnuSelectSelectAll.OnClick = [this] { mnuSelectSelectAll_Click(); };
  Timer1.OnTimer = [this] { Timer1_Timer(); };
}

// Each load starts from the window's design: the initial text, "To Speech" as the default button.
void frmTextToSpeech::Form_Load() {
  tbTextToSpeech.SetText(kInitialText);
  cbSayIt.SetCaption(kSayCaption);
  cbSayIt.SetDefault(true);
  SetTopMost(true);
  platform_.windows.SetWindowPos(hWnd(), platform::HWND_TOPMOST, 0, 0, 0, 0,
                                 platform::SWP_NOSIZE | platform::SWP_NOMOVE);
  Timer1.SetInterval(kCaptionIntervalMs);
  Timer1.SetEnabled(true);
}

void frmTextToSpeech::Form_Activate() {
  SelectAll();
}

// Closing gives up a request still waiting for its page; a reading already started goes on.
void frmTextToSpeech::Form_Unload(int16_t& /*cancel*/) {
  Timer1.SetEnabled(false);
  ++request_;
}

void frmTextToSpeech::SelectAll() {
  tbTextToSpeech.SetFocus();
  tbTextToSpeech.SetSelStart(0);
  tbTextToSpeech.SetSelLength(static_cast<int32_t>(tbTextToSpeech.Text().size()));
}

// The caption decides, not the voice: between two ticks it can lag behind.
void frmTextToSpeech::cbSayIt_Click() {
  if (cbSayIt.Caption() == kStopCaption) {
    Main->StopSpeaking();
    return;
  }
  SayTypedText();
}

void frmTextToSpeech::SayText(const std::u16string& text) {
  tbTextToSpeech.SetText(text);
  SayTypedText();
}

void frmTextToSpeech::SayTypedText() {
  const uint64_t request = ++request_;
  Main->StopSpeaking();
  // Anything failing from here on (the page window gone during a wait, a document call refused)
  // abandons the request quietly.
  platform::Tolerate([&] {
    Navigate();
    std::shared_ptr<platform::BrowserApplication> page = browserApp;
    ShowTextAndRead(*page, request);
  });
}

// A page window that refuses the navigation was closed by the user: a new one takes its place.
void frmTextToSpeech::Navigate() {
  if (!browserApp) browserApp = platform_.browsers.CreateApplication();
  if (platform::Tolerate([&] { browserApp->navigate(kPageTemplate); })) return;
  browserApp = platform_.browsers.CreateApplication();
  platform::Tolerate([&] { browserApp->navigate(kPageTemplate); });
}

void frmTextToSpeech::ShowTextAndRead(platform::BrowserApplication& page, uint64_t request) {
  page.put_MenuBar(false);
  page.put_ToolBar(0);
  if (!WaitForPage(page, request)) return;
  page.put_Visible(true);
  platform::ElementPtr body = Present(Present(page.document(), "document")->body(), "body");
  // The navigation reset the page, so the body holds only this text.
  body->insertAdjacentHTML(u"afterbegin", TextFragment(tbTextToSpeech.Text()));
  body->put_topMargin(0);
  body->put_leftMargin(0);
  if (!WaitForPage(page, request)) return;

  Main->SayFromTop(page.document());
}

bool frmTextToSpeech::WaitForPage(platform::BrowserApplication& page, uint64_t request) {
  return windows::WaitForPage(
      platform_.loop, [&page] { return page.readyState(); }, [this, request] { return request == request_; });
}

void frmTextToSpeech::cb_Click() {
  Main->StopSpeaking();
  Unload();
}

// From now on Enter in the text box starts a new line; the next load makes the button default again.
void frmTextToSpeech::tbTextToSpeech_Click() {
  cbSayIt.SetDefault(false);
}

void frmTextToSpeech::mnuSelectSelectAll_Click() {
  SelectAll();
}

void frmTextToSpeech::Timer1_Timer() {
  if (!Main->pVoice) return;
  const bool speaking =
      Main->pVoice->Status().RunningState == static_cast<int32_t>(platform::SpeechRunState::IsSpeaking);
  cbSayIt.SetCaption(speaking ? kStopCaption : kSayCaption);
}

}  // namespace lectryn::windows::texttospeech
