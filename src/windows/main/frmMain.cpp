#include "windows/main/frmMain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "settings/ListenerSettings.h"
#include "windows/about/frmAbout.h"
#include "windows/updates/frmUpdates.h"
#include "windows/voices/LanguageNames.h"

namespace lectryn::windows::main {
namespace {

forms::MenuItem& AddAfterSeparator(forms::MenuItem& menu, std::string separator, std::string name,
                                   std::u16string caption, forms::Shortcut shortcut = {}) {
  menu.Add(std::move(separator), u"-");
  return menu.Add(std::move(name), std::move(caption), shortcut);
}

std::u16string Trimmed(const std::u16string& text) {
  size_t first = text.find_first_not_of(u" \t\r\n");
  if (first == std::u16string::npos) return u"";
  return text.substr(first, text.find_last_not_of(u" \t\r\n") - first + 1);
}

// "1.0.0": plain decimal digits, as the update check compares it.
std::u16string VersionNumbers(const platform::App& app) {
  return platform::FromUtf8(std::to_string(app.Major()) + "." + std::to_string(app.Minor()) + "." +
                            std::to_string(app.Revision()));
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<int32_t> EdgeOfSetting(const std::string& text) {
  std::string number = Trimmed(text);
  if (!number.empty() && number.front() == '+') number.erase(0, 1);
  float value = 0;
  const char* end = number.data() + number.size();
  auto [stop, error] = std::from_chars(number.data(), end, value, std::chars_format::general);
  if (number.empty() || error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  double rounded = std::nearbyint(static_cast<double>(value));
  if (std::fabs(rounded) > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(rounded);
}

frmMain::frmMain(platform::Platform& platform, const MakerSite& site)
    : forms::Form("frmMain", u"Lectryn"),
      narration::Narration(platform.voices),
      Timer1("Timer1", platform.loop),
      Label1("Label1", u"Simply drag from the background of this form onto the web browser."),
      picker(*this, platform.windows),
      tbhwnd(picker.tbhwnd),
      mnuVoice(BuildMenuBar()),
      mnuVoicePause(mnuVoice.Add("mnuVoicePause", u"&Pause", forms::CtrlKey('P'))),
      mnuVoicePreviousSentence(mnuVoice.Add("mnuVoicePreviousSentence", u"Pre&vious Sentence",
                                            {forms::KeyOfLetter('T'), true, true})),
      mnuVoicePreviousParagraph(
          mnuVoice.Add("mnuVoicePreviousParagraph", u"Previous P&aragraph", {forms::vbKeyUp, true})),
      mnuVoiceNextParagraph(
          mnuVoice.Add("mnuVoiceNextParagraph", u"Next Pa&ragraph", {forms::vbKeyDown, true})),
      mnuVoiceFaster(mnuVoice.Add("mnuVoiceFaster", u"&Faster", forms::CtrlKey('='))),
      mnuVoiceSlower(mnuVoice.Add("mnuVoiceSlower", u"&Slower", forms::CtrlKey('-'))),
      mnuVoiceNormalSpeed(mnuVoice.Add("mnuVoiceNormalSpeed", u"&Normal Speed", forms::CtrlKey('0'))),
      mnuVoiceVoices(AddAfterSeparator(mnuVoice, "mnuSep7", "mnuVoiceVoices", u"&Voices...")),
      mnuAbout(AddMenu("mnuAbout", u"&Help")),
      mnuHelpGetgoing(mnuAbout.Add("mnuHelpGetgoing", u"Getting Going", {forms::vbKeyF1, false})),
      mnuHelpAbout(mnuAbout.Add("mnuHelpAbout", u"About...", forms::CtrlKey('B'))),
      mnuHelpSuggestion(AddAfterSeparator(mnuAbout, "mnuSep2", "mnuHelpSuggestion", u"Make a Suggestion")),
      mnuHelpDiscuss(
          AddAfterSeparator(mnuAbout, "mneSep3", "mnuHelpDiscuss", u"Lectryn Discussion Forum(Online)")),
      mnuHelpUpdate(AddAfterSeparator(mnuAbout, "mnuSep4", "mnuHelpUpdate", u"Check For Update")),
      mnuNarrationOpenPage(AddAfterSeparator(mnuNarration, "mnuSep6", "mnuNarrationOpenPage",
                                             u"&Open Page...", forms::CtrlKey('O'))),
      mnuNarrationReadSelection(
          mnuNarration.Add("mnuNarrationReadSelection", u"Read &Browser Selection", forms::CtrlKey('R'))),
      platform_(platform),
      site_(site),
      settings_(platform.registry) {
  SetTitleButtons(false, false);
  SetPicture(std::make_shared<StoredBanner>());
  Layout();

  forms::Form::Form_Load = [this] { Form_Load(); };
  forms::Form::Form_Unload = [this](int16_t& cancel) { Form_Unload(cancel); };
  forms::Form::Form_KeyUp = [this](int16_t keyCode, int16_t shift) { Narration::Form_KeyUp(keyCode, shift); };
  // The picker needs the window's handle, which the desktop gives after construction.
  Form_MouseDown = [this](int16_t button, int16_t shift, float x, float y) {
    picker.SetWindow(hWnd());
    picker.Form_MouseDown(button, shift, x, y);
  };
  Form_MouseMove = [this](int16_t button, int16_t shift, float x, float y) {
    picker.Form_MouseMove(button, shift, x, y);
  };
  Form_MouseUp = [this](int16_t button, int16_t shift, float x, float y) {
    picker.Form_MouseUp(button, shift, x, y);
  };
  Timer1.OnTimer = [this] { Timer1_Timer(); };
  // The reading has stopped already; the box comes after the voice's event, not inside it.
  OnVoiceFailure = [this](const std::string& message) {
    platform_.loop.Post([this, message] {
      platform_.dialogs.MsgBox(platform::FromUtf8(message), platform::vbOKOnly, u"Lectryn");
    });
  };
  mnuNarrationTxtToSpeech.OnClick = [this] { mnuNarrationTxtToSpeech_Click(); };
  mnuHelpGetgoing.OnClick = [this] { mnuHelpGetgoing_Click(); };
  mnuHelpAbout.OnClick = [this] { mnuHelpAbout_Click(); };
  mnuHelpSuggestion.OnClick = [this] { mnuHelpSuggestion_Click(); };
  mnuHelpDiscuss.OnClick = [this] { mnuHelpDiscuss_Click(); };
  mnuHelpUpdate.OnClick = [this] { mnuHelpUpdate_Click(); };
  mnuNarrationOpenPage.OnClick = [this] { mnuNarrationOpenPage_Click(); };
  mnuNarrationReadSelection.OnClick = [this] {
    if (OnReadSelection) OnReadSelection();
  };
  mnuVoicePause.OnClick = [this] { PauseOrResume(); };
  mnuVoicePreviousSentence.OnClick = [this] { PreviousSentence(); };
  mnuVoicePreviousParagraph.OnClick = [this] { PreviousParagraph(); };
  mnuVoiceNextParagraph.OnClick = [this] { NextParagraph(); };
  mnuVoiceFaster.OnClick = [this] { Faster(); };
  mnuVoiceSlower.OnClick = [this] { Slower(); };
  mnuVoiceNormalSpeed.OnClick = [this] { NormalSpeed(); };
  WatchListenerState([this] { mnuVoicePause.SetCaption(Paused() ? u"&Resume" : u"&Pause"); });
  mnuVoiceVoices.OnClick = [this] { mnuVoiceVoices_Click(); };
  // A file or address dropped onto the banner opens as if it had been typed into Open Page.
  Form_Drop = [this](const std::vector<std::u16string>& addresses) {
    for (const std::u16string& address : addresses) OpenPage(address);
  };
}

// The secondary windows hold the reading state through Main: they go before it does.
frmMain::~frmMain() {
  voicesWindow.reset();
  speechWindow.reset();
  helpWindow.reset();
}

// The bar up to "&Voice", whose items follow it; "&Help" comes last.
forms::MenuItem& frmMain::BuildMenuBar() {
  AddMenu(mnuNarration);
  return AddMenu("mnuVoice", u"&Voice");
}

// The controls lie below the banner, out of sight once the window is sized to it; they keep their
// state and the focus.
void frmMain::Layout() {
  PlaceInTabOrder({
      {tbhwnd, {5040, 3360, 2055, 285}},
      {cbStart, {0, 2160, 1212, 372}},
      {tbSpeach, {120, 3360, 5292, 1812}},
      {cbContinue, {0, 2640, 2052, 252}},
      {cbStop, {1320, 2160, 1212, 372}},
      {cbNext, {2640, 2160, 1212, 372}},
      {Label1, {0, 1800, 5292, 252}},
  });
  tbhwnd.SetText(u"Text1");
}

void frmMain::Form_Load() {
  Timer1.SetInterval(kBannerIntervalMs);
  Timer1.SetEnabled(true);
  if (platform_.app.PrevInstance()) {
    secondInstance_ = true;
    Unload();
    return;
  }
  platform_.windows.SetWindowPos(hWnd(), platform::HWND_TOPMOST, 0, 0, 0, 0,
                                 platform::SWP_NOSIZE | platform::SWP_NOMOVE);
  SetTopMost(true);
  SetScaleMode(forms::ScaleMode::Pixels);
  SizeToPicture();
  SetKeyPreview(true);
  cbContinue.SetValue(forms::vbChecked);
  MoveToSavedPosition();
  ReadListenerSettings();
}

void frmMain::SizeToPicture() {
  const auto& picture = Picture();
  if (!picture) return;
  int32_t width = static_cast<int32_t>(std::lround(TwipsOfHimetric(picture->WidthHimetric())));
  int32_t height = static_cast<int32_t>(std::lround(TwipsOfHimetric(picture->HeightHimetric())));
  Resize(width, height + kCaptionAndMenuTwips);
}

// A stored place that is not a number, or that nobody could reach on any screen, is not used; the
// stored texts stay as they are until the next close writes the place the window then has.
void frmMain::MoveToSavedPosition() {
  std::optional<int32_t> left = EdgeOfSetting(settings_.ReadSetting("MainLeft", "1000"));
  std::optional<int32_t> top = EdgeOfSetting(settings_.ReadSetting("MainTop", "1000"));
  if (left && top && Reachable(*left, *top))
    Move(*left, *top);
  else
    Move(kDefaultLeftTwips, kDefaultTopTwips);
}

// True when the window at left, top (twips) overlaps one screen at least, or the system names none.
bool frmMain::Reachable(int32_t left, int32_t top) {
  auto monitors = platform_.windows.MonitorRects();
  if (monitors.empty()) return true;
  int64_t perPixel = platform_.windows.TwipsPerPixel();
  int64_t right = static_cast<int64_t>(left) + Width();
  int64_t bottom = static_cast<int64_t>(top) + Height();
  for (const platform::RECT& screen : monitors) {
    if (left < screen.right * perPixel && right > screen.left * perPixel && top < screen.bottom * perPixel &&
        bottom > screen.top * perPixel)
      return true;
  }
  return false;
}

// A stored choice that cannot be read, or a voice no longer installed, is passed over; it is written
// over at the next close. Voices that cannot be listed are all taken as installed. With several
// engines only the one in use is listed here (another may be a server that keeps the start waiting),
// and choices made with the others are kept for when they are in use again: all are taken.
void frmMain::ReadListenerSettings() {
  if (auto rate = settings::RateOfSetting(settings_.ReadSetting(settings::kRateSetting, "0"))) SetRate(*rate);
  auto choices = settings::VoiceChoicesOfSetting(settings_.ReadSetting(settings::kVoicesSetting, ""));
  if (!choices || choices->empty()) return;
  std::vector<platform::InstalledVoice> installed;
  if (Voices().Engines().empty()) platform::Tolerate([&] { installed = Voices().InstalledVoices(); });
  if (!installed.empty()) {
    std::erase_if(*choices, [&](const auto& choice) {
      return std::none_of(installed.begin(), installed.end(), [&](const platform::InstalledVoice& voice) {
        return voice.identifier == choice.second;
      });
    });
  }
  SetVoiceChoices(std::move(*choices));
}

void frmMain::WriteListenerSettings() {
  settings_.WriteSetting(settings::kRateSetting, settings::SettingOfRate(Rate()));
  settings_.WriteSetting(settings::kVoicesSetting, settings::SettingOfVoiceChoices(VoiceChoices()));
}

// A left edge of 0 or less (the screen's border, off to the left, minimised) keeps the stored place.
// A second copy never ran as the program: the running copy's place is not its to overwrite.
void frmMain::Form_Unload(int16_t& /*Cancel*/) {
  Timer1.SetEnabled(false);
  if (secondInstance_) return;
  WriteListenerSettings();
  if (Left() > 0) {
    settings_.WriteSetting("MainLeft", std::to_string(Left()));
    settings_.WriteSetting("MainTop", std::to_string(Top()));
  }
}

// Read and decoded at every tick while a voice exists; a banner file that cannot be read leaves
// the picture shown. A paused reading shows the quiet banner.
void frmMain::Timer1_Timer() {
  if (!pVoice) return;
  bool speaking = platform::IsSpeaking(*pVoice) && !Paused();
  std::string file = platform::ProgramFile(platform_.app, speaking ? kSpeakingBanner : kIdleBanner);
  platform::Tolerate([&] { SetPicture(platform_.pictures.LoadPicture(file)); });
}

// Main is set first: loading the help window starts reading its page through it.
void frmMain::mnuHelpGetgoing_Click() {
  if (!helpWindow) {
    helpWindow = std::make_unique<help::frmHelp>(platform_, *this);
    helpWindow->SetHost(Host());
  }
  helpWindow->Main = this;
  helpWindow->Load();
  // Closed by the user while its page was loading: it stays closed, rather than loading again.
  if (helpWindow->Loaded() && !helpWindow->Visible()) helpWindow->Show(forms::Modality::Modeless, this);
}

void frmMain::mnuNarrationTxtToSpeech_Click() {
  if (!speechWindow) {
    speechWindow = std::make_unique<texttospeech::frmTextToSpeech>(platform_, *this);
    speechWindow->SetHost(Host());
  }
  speechWindow->Load();
  if (speechWindow->Visible()) return;
  speechWindow->Main = this;
  speechWindow->Show(forms::Modality::Modeless, this);
}

// Opening it again while it is open leaves what the user set in it so far.
void frmMain::mnuVoiceVoices_Click() {
  if (!voicesWindow) {
    voicesWindow = std::make_unique<voices::frmVoices>(*this, voices::UserLocale());
    voicesWindow->SetHost(Host());
    // Kept at once, not at close: the next start takes the engine even after a crash.
    voicesWindow->OnEngineChosen = [this](const std::string& key) {
      settings_.WriteSetting(settings::kEngineSetting, key);
    };
  }
  voicesWindow->Show(forms::Modality::Modeless, this);
}

void frmMain::mnuHelpAbout_Click() {
  about::frmAbout about(platform_, site_);
  about.SetHost(Host());
  about.Show(forms::Modality::Modal, this);
}

void frmMain::mnuHelpSuggestion_Click() {
  platform_.shell.ShellExecuteA(hWnd(), "open", "mailto:" + site_.suggestionsMail + kSuggestionQuery, "", "",
                                platform::SW_SHOWNORMAL);
}

void frmMain::mnuHelpDiscuss_Click() {
  platform_.shell.ShellExecuteA(hWnd(), "open", "http://" + site_.forumHost + kForumPath, "", "",
                                platform::SW_SHOWNORMAL);
}

// A confirmed download leaves a command behind: the program ends so the new version can be set up.
void frmMain::mnuHelpUpdate_Click() {
  updates::frmUpdates check(platform_, site_);
  check.ver = VersionNumbers(platform_.app);
  check.SetHost(Host());
  check.Show(forms::Modality::Modal, this);
  if (!check.delayedCommand.empty()) Unload();
}

void frmMain::mnuNarrationOpenPage_Click() {
  std::optional<std::u16string> answer = platform_.dialogs.InputBox(
      u"Type the address of a web page, or the path of a file on this computer:", u"Open Page", lastOpened_);
  if (answer) OpenPage(*answer);
}

// Each page gets a window of its own, as a browser's new window: the pages already open stay.
bool frmMain::OpenPage(const std::u16string& address) {
  std::u16string trimmed = Trimmed(address);
  if (trimmed.empty()) return false;
  lastOpened_ = trimmed;
  std::shared_ptr<platform::BrowserApplication> page;
  bool opened = platform::Tolerate([&] {
    page = platform_.browsers.CreateApplication();
    page->navigate(trimmed);
    page->put_Visible(true);
  });
  if (!opened) return false;
  PageWindows();  // forget the ones the user closed
  pageWindows_.push_back(std::move(page));
  return true;
}

// A window the user closed answers nothing any more.
const std::vector<std::shared_ptr<platform::BrowserApplication>>& frmMain::PageWindows() {
  std::erase_if(pageWindows_, [](const std::shared_ptr<platform::BrowserApplication>& page) {
    return !platform::Tolerate([&] { page->readyState(); });
  });
  return pageWindows_;
}

}  // namespace lectryn::windows::main
