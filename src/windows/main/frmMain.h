#pragma once
// The main window: the reading state and the picker under a banner, the menus of the narration,
// voice and help commands, the saved position and listener's choices, the banner that follows the
// voice, and the program's other
// windows (help and text-to-speech kept for the whole run, update check and about box made afresh
// for each opening). Closing it ends the program.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/Menu.h"
#include "forms/TextBox.h"
#include "forms/Timer.h"
#include "narration/Narration.h"
#include "platform/Platform.h"
#include "settings/RegHelper.h"
#include "targeting/Picker.h"
#include "windows/MakerSite.h"
#include "windows/help/frmHelp.h"
#include "windows/texttospeech/frmTextToSpeech.h"
#include "windows/voices/frmVoices.h"

namespace lectryn::windows::main {

constexpr int32_t kBannerIntervalMs = 400;
// Room above the banner for the title bar and the menu bar.
constexpr int32_t kCaptionAndMenuTwips = 750;
// Where the window opens when no usable position is stored.
constexpr int32_t kDefaultLeftTwips = 1000;
constexpr int32_t kDefaultTopTwips = 1000;
inline constexpr char kIdleBanner[] = "Banner1.gif";
inline constexpr char kSpeakingBanner[] = "Banner2.gif";
inline constexpr char kForumPath[] = "/blectrynsupport";
inline constexpr char kSuggestionQuery[] =
    "?subject=Lectryn Suggestion&body=---Please type comments here, leaving the subject line in place.---";

// The banner stored with the window, shown until the voice first speaks: 258 x 104 pixels at 96 DPI.
class StoredBanner : public platform::StdPicture {
 public:
  static constexpr int32_t kWidthHimetric = 6826;
  static constexpr int32_t kHeightHimetric = 2752;
  int32_t WidthHimetric() const override { return kWidthHimetric; }
  int32_t HeightHimetric() const override { return kHeightHimetric; }
};

// Twips of a HIMETRIC length (1440 twips, 2540 HIMETRIC to the inch), not rounded.
constexpr double TwipsOfHimetric(int32_t himetric) {
  return himetric * 1440.0 / 2540.0;
}

// A stored edge in whole twips: a decimal number (sign, fraction and exponent allowed, blanks
// around it), taken at single precision; nothing for any other text or a number out of range.
std::optional<int32_t> EdgeOfSetting(const std::string& text);

class frmMain : public forms::Form, public narration::Narration {
 public:
  frmMain(platform::Platform& platform, const MakerSite& site);
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;
  ~frmMain() override;

  forms::Timer Timer1;
  forms::Label Label1;
  targeting::Picker picker;
  forms::TextBox& tbhwnd;  // the picker's

  // "&Voice", between "&Narration" (the reading state's) and "&Help": the listener's controls.
  forms::MenuItem& mnuVoice;
  forms::MenuItem& mnuVoicePause;  // "&Resume" while paused
  forms::MenuItem& mnuVoicePreviousSentence;
  forms::MenuItem& mnuVoicePreviousParagraph;
  forms::MenuItem& mnuVoiceNextParagraph;
  forms::MenuItem& mnuVoiceFaster;
  forms::MenuItem& mnuVoiceSlower;
  forms::MenuItem& mnuVoiceNormalSpeed;
  forms::MenuItem& mnuVoiceVoices;  // opens the voices dialog
  // "&Help" and its items.
  forms::MenuItem& mnuAbout;
  forms::MenuItem& mnuHelpGetgoing;
  forms::MenuItem& mnuHelpAbout;
  forms::MenuItem& mnuHelpSuggestion;
  forms::MenuItem& mnuHelpDiscuss;
  forms::MenuItem& mnuHelpUpdate;
  // "&Open Page..." in "&Narration", after "Text to &speech..." and a separator.
  forms::MenuItem& mnuNarrationOpenPage;
  // "Read &Browser Selection" (Ctrl+R), after "&Open Page...": reads what the user selected, or
  // from the caret on, in the focused program; what it reads through is the program's to give.
  forms::MenuItem& mnuNarrationReadSelection;
  std::function<void()> OnReadSelection;

  // Made on first use and kept for the whole run; closing them does not clear these.
  std::unique_ptr<help::frmHelp> helpWindow;
  std::unique_ptr<texttospeech::frmTextToSpeech> speechWindow;
  std::unique_ptr<voices::frmVoices> voicesWindow;

  void Form_Load();
  void Form_Unload(int16_t& Cancel);
  void Timer1_Timer();

  void mnuHelpGetgoing_Click();
  void mnuNarrationTxtToSpeech_Click();
  void mnuHelpAbout_Click();
  void mnuHelpSuggestion_Click();
  void mnuHelpDiscuss_Click();
  void mnuHelpUpdate_Click();
  void mnuNarrationOpenPage_Click();
  void mnuVoiceVoices_Click();

  // Opens a file or address in a page window of its own, shown; false when it could not be opened.
  bool OpenPage(const std::u16string& address);
  // The page windows opened so far that the user has not closed.
  const std::vector<std::shared_ptr<platform::BrowserApplication>>& PageWindows();

  // True once this copy found another one running: it closes without a trace.
  bool IsSecondInstance() const { return secondInstance_; }

 private:
  forms::MenuItem& BuildMenuBar();
  void Layout();
  void SizeToPicture();
  void MoveToSavedPosition();
  void ReadListenerSettings();
  void WriteListenerSettings();
  bool Reachable(int32_t left, int32_t top);

  platform::Platform& platform_;
  MakerSite site_;
  settings::RegHelper settings_;
  bool secondInstance_ = false;
  std::vector<std::shared_ptr<platform::BrowserApplication>> pageWindows_;
  std::u16string lastOpened_;  // offered the next time Open Page asks
};

}  // namespace lectryn::windows::main
