// The main window's "&Voice" menu and the listener's choices stored with the window: captions,
// order and shortcuts, the commands they reach, the banner while paused, the stored speed and voices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/ListenerSettings.h"
#include "windows/MainWindowPlatform.h"
#include "windows/main/frmMain.h"

namespace lectryn::windows::main {
namespace {

using testing::MainWindowPlatform;
using Strings = std::vector<std::string>;

struct VoiceMenuTest : ::testing::Test, MainWindowPlatform {
  std::unique_ptr<frmMain> main = MakeMain();

  // "caption shortcut" of each item of a menu, as the menu bar shows them.
  static Strings Items(const forms::MenuItem& menu) {
    Strings items;
    for (const auto& item : menu.Items()) {
      std::string shortcut = platform::ToUtf8(item->GetShortcut().ToString());
      items.push_back(platform::ToUtf8(item->Caption()) + (shortcut.empty() ? "" : " " + shortcut));
    }
    return items;
  }

  void StartReading(const char16_t* text) {
    main->tbSpeach.SetText(text);
    main->PressKey(forms::CtrlKey('N'));
  }
};

TEST_F(VoiceMenuTest, VoiceSitsBetweenNarrationAndHelpWithItsItemsAndShortcutsAndTheOthersKeepTheirs) {
  Strings bar;
  for (const forms::MenuItem* menu : main->Menus()) bar.push_back(platform::ToUtf8(menu->Caption()));
  EXPECT_EQ((Strings{"&Narration", "&Voice", "&Help"}), bar);
  EXPECT_EQ((Strings{"&Pause Ctrl+P", "Pre&vious Sentence Ctrl+Shift+T", "Previous P&aragraph Ctrl+Up",
                     "Next Pa&ragraph Ctrl+Down", "&Faster Ctrl+=", "&Slower Ctrl+-", "&Normal Speed Ctrl+0",
                     "-", "&Voices..."}),
            Items(main->mnuVoice));
  EXPECT_EQ("mnuVoiceVoices", main->mnuVoice.Items().back()->Name());
  EXPECT_EQ(
      (Strings{"&Start Ctrl+N", "S&top", "&Next Sentence Ctrl+T", "-", "Continue After Selection Ctrl+F", "-",
               "Text to &speech... Ctrl+S", "-", "&Open Page... Ctrl+O", "Read &Browser Selection Ctrl+R"}),
      Items(main->mnuNarration));
  EXPECT_EQ((Strings{"Getting Going F1", "About... Ctrl+B", "-", "Make a Suggestion", "-",
                     "Lectryn Discussion Forum(Online)", "-", "Check For Update"}),
            Items(main->mnuAbout));
}

TEST_F(VoiceMenuTest, AVoiceThatFailsStopsTheReadingWithOneMessageAndStartReadsAgain) {
  main->Show();
  voices.FailAfterWords(2, "speech-dispatcher stopped: the reading has stopped");
  StartReading(u"one two three four five six");
  loop.AdvanceBy(2000);
  EXPECT_FALSE(main->Reading());
  EXPECT_EQ(1u, Spoken().size());  // the text, not read again
  ASSERT_EQ(1u, dialogs.Calls().size());
  EXPECT_EQ(u"speech-dispatcher stopped: the reading has stopped", dialogs.Calls()[0].text);
  EXPECT_EQ(u"Lectryn", dialogs.Calls()[0].title);
  // The server is back: the next start reads to the end and says nothing more.
  StartReading(u"seven eight");
  loop.AdvanceBy(2000);
  EXPECT_EQ((std::vector<std::string>{"one two three four five six", "seven eight"}), Spoken());
  EXPECT_FALSE(main->Reading());
  EXPECT_EQ(1u, dialogs.Calls().size());
}

TEST_F(VoiceMenuTest, CtrlPPausesAndResumesWithTheCaptionFollowingAndStopEndsThePause) {
  main->Show();
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('P')));  // nothing read: nothing to pause
  EXPECT_EQ(u"&Pause", main->mnuVoicePause.Caption());
  StartReading(u"one two three four five six");
  loop.AdvanceBy(150);
  main->PressKey(forms::CtrlKey('P'));
  EXPECT_TRUE(main->Paused());
  EXPECT_EQ(u"&Resume", main->mnuVoicePause.Caption());
  size_t words = Spoken().size();
  loop.AdvanceBy(2000);
  EXPECT_EQ(words, Spoken().size());
  main->mnuVoicePause.Click();
  EXPECT_FALSE(main->Paused());
  EXPECT_EQ(u"&Pause", main->mnuVoicePause.Caption());
  main->mnuVoicePause.Click();
  main->KeyUp(forms::vbKeyEscape, 0);
  EXPECT_FALSE(main->Paused());
  EXPECT_EQ(u"&Pause", main->mnuVoicePause.Caption());
}

// Ctrl+Shift+T goes back, Ctrl+T on: the same letter, told apart by Shift.
TEST_F(VoiceMenuTest, ShortcutsReachTheMovesAndTheSpeed) {
  main->Show();
  StartReading(u"One two. Three four.");
  loop.AdvanceBy(250);  // "Three", 50 ms into the second sentence
  EXPECT_TRUE(main->PressKey({forms::KeyOfLetter('T'), true, true}));
  EXPECT_EQ(0, main->pVoice->Status().CurrentSentence);
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('T')));
  EXPECT_EQ(1, main->pVoice->Status().CurrentSentence);
  EXPECT_TRUE(main->PressKey({forms::vbKeyUp, true}));  // no page: the text starts again
  EXPECT_EQ(2u, Spoken().size());
  EXPECT_TRUE(main->PressKey({forms::vbKeyDown, true}));
  EXPECT_FALSE(main->Reading());

  int32_t normal = main->EffectiveRate();
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('=')));
  EXPECT_EQ(normal + narration::kRateStep, main->Rate());
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('-')));
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('-')));
  EXPECT_EQ(normal - narration::kRateStep, main->Rate());
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('0')));
  EXPECT_EQ(0, main->Rate());
}

TEST_F(VoiceMenuTest, TheBannerIsTheQuietOneWhilePaused) {
  main->Show();
  StartReading(u"one two three four five six seven eight nine ten eleven twelve");
  loop.AdvanceBy(400);
  EXPECT_EQ(File("Banner2.gif"), sim::PicturePath(main->Picture()));
  main->Pause();
  loop.AdvanceBy(400);
  EXPECT_EQ(File("Banner1.gif"), sim::PicturePath(main->Picture()));
  main->Resume();
  loop.AdvanceBy(400);
  EXPECT_EQ(File("Banner2.gif"), sim::PicturePath(main->Picture()));
}

TEST_F(VoiceMenuTest, SpeedAndVoicesAreStoredAtCloseAndTakenByTheNextStart) {
  main->Show();
  main->SetRate(230);
  main->SetVoiceChoices({{"en", "sim/en-GB"}, {"fr", "sim/fr"}});
  EXPECT_TRUE(main->Unload());
  EXPECT_EQ("230", Stored(settings::kRateSetting));
  EXPECT_EQ("en=sim/en-GB\nfr=sim/fr", Stored(settings::kVoicesSetting));

  auto next = MakeMain();
  next->Show();
  EXPECT_EQ(230, next->Rate());
  EXPECT_EQ((platform::VoiceChoices{{"en", "sim/en-GB"}, {"fr", "sim/fr"}}), next->VoiceChoices());
  next->tbSpeach.SetText(u"Hello.");
  next->cbStart_Click();
  EXPECT_EQ(230, next->pVoice->Rate());
}

TEST_F(VoiceMenuTest, ASecondCopyNeitherReadsNorWritesTheListenersChoices) {
  app.SetPrevInstance(true);
  main->Show();
  EXPECT_EQ(std::nullopt, Stored(settings::kRateSetting));
  EXPECT_EQ(std::nullopt, Stored(settings::kVoicesSetting));
}

struct StoredChoices {
  const char* rate;
  const char* voices;
  int32_t expectedRate;
  platform::VoiceChoices expectedVoices;
};

class VoiceMenuStored : public VoiceMenuTest, public ::testing::WithParamInterface<StoredChoices> {};

// A stored text that cannot be read back, or a speed out of the voice's range, is not used; a
// voice no longer installed is passed over.
TEST_P(VoiceMenuStored, UsableChoicesAreTakenAndTheRestIgnored) {
  Store(settings::kRateSetting, GetParam().rate);
  Store(settings::kVoicesSetting, GetParam().voices);
  main->Show();
  EXPECT_EQ(GetParam().expectedRate, main->Rate());
  EXPECT_EQ(GetParam().expectedVoices, main->VoiceChoices());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VoiceMenuStored,
    ::testing::Values(StoredChoices{" 80 ", "en=sim/en-GB", 80, {{"en", "sim/en-GB"}}},
                      StoredChoices{"450", "de=sim/de\nfr=sim/fr", 450, {{"de", "sim/de"}, {"fr", "sim/fr"}}},
                      StoredChoices{"0", "en=sim/gone\nfr=sim/fr", 0, {{"fr", "sim/fr"}}},
                      StoredChoices{"79", "en", 0, {}}, StoredChoices{"451", "EN=sim/en", 0, {}},
                      StoredChoices{"fast", "en=sim/en\n=sim/fr", 0, {}}, StoredChoices{"1e2", "en=", 0, {}},
                      StoredChoices{"-200", "", 0, {}},
                      StoredChoices{"200 words", "en=sim/en\n", 0, {{"en", "sim/en"}}}));

}  // namespace
}  // namespace lectryn::windows::main
