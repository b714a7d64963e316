// The main window on the simulated desktop: load and close with the saved position, a second copy,
// the banner that follows the voice, and the commands that open the other windows.
#include "windows/main/frmMain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/load/PageWindow.h"
#include "windows/MainWindowPlatform.h"
#include "windows/updates/frmUpdates.h"

namespace lectryn::windows::main {
namespace {

using testing::MainWindowPlatform;

struct MainWindowTest : ::testing::Test, MainWindowPlatform {
  std::unique_ptr<frmMain> main = MakeMain();
};

TEST_F(MainWindowTest, FirstStartOpensOnTopSizedToTheBannerAtTheDefaultsAndStoresThem) {
  main->Show();
  EXPECT_TRUE(main->Visible());
  EXPECT_EQ(1000, main->Left());
  EXPECT_EQ(1000, main->Top());
  EXPECT_EQ("1000", Stored("MainLeft"));
  EXPECT_EQ("1000", Stored("MainTop"));
  // 258 x 104 pixels: 6826 x 2752 HIMETRIC, 3870 x 1560 twips, plus the caption and the menu bar.
  EXPECT_EQ(3870, main->Width());
  EXPECT_EQ(1560 + 750, main->Height());
  EXPECT_EQ(1u, windows.CountCalls("SetWindowPos"));
  EXPECT_TRUE(main->TopMost());
  EXPECT_EQ(forms::ScaleMode::Pixels, main->GetScaleMode());
  EXPECT_TRUE(main->KeyPreview());
  EXPECT_EQ(forms::vbChecked, main->cbContinue.Value());
  EXPECT_EQ(400, main->Timer1.Interval());
  EXPECT_TRUE(main->Timer1.Running());
}

TEST_F(MainWindowTest, EscapeStopsWhicheverControlHasTheFocus) {
  main->Show();
  main->tbSpeach.SetText(u"one two three four five");
  main->PressKey(forms::CtrlKey('N'));
  loop.AdvanceBy(150);
  ASSERT_TRUE(platform::IsSpeaking(*main->pVoice));
  main->KeyUp(forms::vbKeyEscape, 0);
  loop.RunUntilIdle();
  EXPECT_TRUE(!main->pVoice || !platform::IsSpeaking(*main->pVoice));
}

struct StoredPlace {
  const char* left;
  const char* top;
  int32_t expectedLeft;
  int32_t expectedTop;
};

class MainWindowStoredPlace : public MainWindowTest, public ::testing::WithParamInterface<StoredPlace> {};

// The one screen is 1920 x 1080 pixels: 28800 x 16200 twips; the window is 3870 x 2310.
TEST_P(MainWindowStoredPlace, OpensThereWhenUsableElseAtTheDefaultAndChangesNothingStored) {
  Store("MainLeft", GetParam().left);
  Store("MainTop", GetParam().top);
  main->Show();
  EXPECT_EQ(GetParam().expectedLeft, main->Left());
  EXPECT_EQ(GetParam().expectedTop, main->Top());
  EXPECT_EQ(GetParam().left, Stored("MainLeft"));
  EXPECT_EQ(GetParam().top, Stored("MainTop"));
}

INSTANTIATE_TEST_SUITE_P(
    Places, MainWindowStoredPlace,
    ::testing::Values(StoredPlace{"2400", "300", 2400, 300}, StoredPlace{" 2400 ", "-300", 2400, -300},
                      StoredPlace{"1.5e3", "+20.6", 1500, 21}, StoredPlace{"-3000", "100", -3000, 100},
                      StoredPlace{"28799", "16199", 28799, 16199},
                      // Not numbers, or nobody could reach the window on the screen.
                      StoredPlace{"abc", "300", 1000, 1000}, StoredPlace{"", "300", 1000, 1000},
                      StoredPlace{"2400", "12px", 1000, 1000}, StoredPlace{"1e12", "300", 1000, 1000},
                      StoredPlace{"28800", "300", 1000, 1000}, StoredPlace{"-3870", "300", 1000, 1000},
                      StoredPlace{"2400", "-2310", 1000, 1000}, StoredPlace{"2400", "16200", 1000, 1000}));

TEST_F(MainWindowTest, APlaceOnASecondScreenIsReachable) {
  windows.SetMonitors({{0, 0, 1920, 1080}, {-1280, 0, 0, 1024}});
  Store("MainLeft", "-15000");
  Store("MainTop", "600");
  main->Show();
  EXPECT_EQ(-15000, main->Left());
}

struct ClosePlace {
  int32_t left;
  int32_t top;
  bool saved;
};

class MainWindowClose : public MainWindowTest, public ::testing::WithParamInterface<ClosePlace> {};

TEST_P(MainWindowClose, SavesThePlaceOnlyWhenTheLeftEdgeIsRightOfZero) {
  Store("MainLeft", "2400");
  Store("MainTop", "300");
  main->Show();
  main->Move(GetParam().left, GetParam().top);
  EXPECT_TRUE(main->Unload());
  std::string left = GetParam().saved ? std::to_string(GetParam().left) : "2400";
  std::string top = GetParam().saved ? std::to_string(GetParam().top) : "300";
  EXPECT_EQ(left, Stored("MainLeft"));
  EXPECT_EQ(top, Stored("MainTop"));
  EXPECT_FALSE(main->Timer1.Running());
}

INSTANTIATE_TEST_SUITE_P(Edges, MainWindowClose,
                         ::testing::Values(ClosePlace{1, -120, true}, ClosePlace{5000, 700, true},
                                           ClosePlace{0, 700, false}, ClosePlace{-45, 700, false},
                                           ClosePlace{-48000, -48000, false}));

TEST_F(MainWindowTest, ASecondCopyClosesAtOnceWithoutTouchingTheRunningCopysPlace) {
  Store("MainLeft", "2400");
  Store("MainTop", "300");
  app.SetPrevInstance(true);
  main->Move(6000, 6000);  // where the desktop put the new window
  main->Show();
  EXPECT_TRUE(main->IsSecondInstance());
  EXPECT_FALSE(main->Loaded());
  EXPECT_FALSE(main->Visible());
  EXPECT_EQ(0u, windows.CountCalls("SetWindowPos"));
  EXPECT_EQ("2400", Stored("MainLeft"));
  EXPECT_EQ("300", Stored("MainTop"));
  EXPECT_FALSE(main->Timer1.Running());
}

TEST_F(MainWindowTest, BannerFollowsTheVoiceFromItsFirstVoiceOnAndKeepsThePictureWhenAFileIsMissing) {
  main->Show();
  auto stored = main->Picture();
  loop.AdvanceBy(1200);
  EXPECT_TRUE(pictures.Loads().empty());  // no voice yet: the stored banner stays
  EXPECT_EQ(stored, main->Picture());

  main->tbSpeach.SetText(u"one two three four five six seven eight nine ten eleven twelve thirteen fourteen");
  main->cbStart_Click();
  loop.AdvanceBy(400);
  EXPECT_EQ(File("Banner2.gif"), sim::PicturePath(main->Picture()));
  loop.AdvanceBy(800);  // read again at every tick, though nothing changed
  EXPECT_EQ(3u, pictures.CountLoads(File("Banner2.gif")));

  loop.AdvanceBy(1200);  // the text is over
  EXPECT_EQ(File("Banner1.gif"), sim::PicturePath(main->Picture()));
  EXPECT_EQ(main->Width(), 3870);  // not resized to a new picture

  pictures.RemovePicture(File("Banner2.gif"));
  main->cbStart_Click();
  loop.AdvanceBy(400);
  EXPECT_EQ(File("Banner1.gif"), sim::PicturePath(main->Picture()));

  main->pVoice = nullptr;  // as during a drag
  size_t loads = pictures.Loads().size();
  loop.AdvanceBy(1200);
  EXPECT_EQ(loads, pictures.Loads().size());
}

TEST_F(MainWindowTest, SuggestionAndForumGoToTheMakersAddressesOwnedByTheWindow) {
  site.suggestionsMail = "ideas@maker.test";
  site.forumHost = "talk.maker.test";
  main = MakeMain();
  main->Show();
  main->mnuHelpSuggestion.Click();
  main->mnuHelpDiscuss.Click();
  ASSERT_EQ(2u, shell.Executed().size());
  const sim::ShellExecuteCall& mail = shell.Executed()[0];
  EXPECT_EQ(
      "mailto:ideas@maker.test?subject=Lectryn Suggestion&body=---Please type comments here, leaving the "
      "subject line in place.---",
      mail.file);
  EXPECT_EQ("http://talk.maker.test/blectrynsupport", shell.Executed()[1].file);
  for (const auto& call : shell.Executed()) {
    EXPECT_EQ(main->hWnd(), call.owner);
    EXPECT_EQ("open", call.operation);
    EXPECT_EQ("", call.parameters);
    EXPECT_EQ("", call.directory);
    EXPECT_EQ(platform::SW_SHOWNORMAL, call.showCommand);
  }
}

TEST_F(MainWindowTest, ShortcutsReachTheCommandsAndEachAboutIsAFreshBox) {
  main->Show();
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('B')));
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('B')));
  EXPECT_EQ((std::vector<std::string>{"frmAbout", "frmAbout"}), host.Shown());
  EXPECT_EQ(2, host.ClosedByHost());
  EXPECT_TRUE(main->PressKey({forms::vbKeyF1, false}));
  ASSERT_TRUE(main->helpWindow);
  EXPECT_TRUE(main->helpWindow->Visible());
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('S')));
  ASSERT_TRUE(main->speechWindow);
  EXPECT_TRUE(main->speechWindow->Visible());
  EXPECT_EQ(main.get(), main->speechWindow->Owner());
}

TEST_F(MainWindowTest, OpenPageAsksAndOpensEachPageInAWindowOfItsOwnForgettingClosedOnes) {
  main->Show();
  std::string page = (temp / "page.htm").string();
  std::ofstream(page) << "<html><body><p>A page of its own.</p></body></html>";

  dialogs.QueueText(std::nullopt);  // cancelled: nothing opens
  EXPECT_TRUE(main->PressKey(forms::CtrlKey('O')));
  dialogs.QueueText(u"   ");  // blank: nothing opens
  main->mnuNarrationOpenPage.Click();
  EXPECT_TRUE(main->PageWindows().empty());
  EXPECT_EQ(2u, dialogs.Prompts().size());

  dialogs.QueueText(u" " + platform::FromUtf8(page) + u"\n");
  main->mnuNarrationOpenPage.Click();
  main->Drop({platform::FromUtf8(page)});
  auto pages = main->PageWindows();
  // The pages are read on worker threads: wait for them in real time.
  auto complete = [](const auto& window) {
    return window->readyState() == static_cast<int32_t>(platform::ReadyState::Complete);
  };
  for (int i = 0; i < 2000 && !std::all_of(pages.begin(), pages.end(), complete); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    loop.RunUntilIdle();
  }
  ASSERT_EQ(2u, pages.size());
  EXPECT_NE(pages[0], pages[1]);
  for (const auto& window : pages) {
    EXPECT_TRUE(std::dynamic_pointer_cast<engine::PageWindow>(window)->Visible());
    ASSERT_EQ(static_cast<int32_t>(platform::ReadyState::Complete), window->readyState());
    EXPECT_EQ(u"A page of its own.", window->document()->body()->innerText());
  }

  std::dynamic_pointer_cast<engine::PageWindow>(pages[0])->Close();
  EXPECT_EQ(std::vector{pages[1]}, main->PageWindows());
}

TEST_F(MainWindowTest, HelpIsOneWindowForTheRunReadAgainOnlyWhenOpenedAfterClosing) {
  auto readingsOfHelp = [&] {
    auto spoken = Spoken();
    return std::count(spoken.begin(), spoken.end(), "Getting going");
  };
  main->Show();
  main->mnuHelpGetgoing_Click();
  help::frmHelp* first = main->helpWindow.get();
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(main.get(), first->Main);
  loop.AdvanceBy(3000);
  EXPECT_EQ(1, readingsOfHelp());

  main->mnuHelpGetgoing_Click();  // shown already: no new reading
  loop.AdvanceBy(3000);
  EXPECT_EQ(1, readingsOfHelp());

  first->Unload();
  main->mnuHelpGetgoing_Click();
  loop.AdvanceBy(3000);
  EXPECT_EQ(first, main->helpWindow.get());
  EXPECT_TRUE(first->Visible());
  EXPECT_EQ(2, readingsOfHelp());
}

TEST_F(MainWindowTest, TextToSpeechOpenedWhileShownStaysAsItIs) {
  main->Show();
  main->mnuNarrationTxtToSpeech_Click();
  auto* window = main->speechWindow.get();
  ASSERT_NE(nullptr, window);
  window->Main = nullptr;
  main->mnuNarrationTxtToSpeech_Click();
  EXPECT_EQ(window, main->speechWindow.get());
  EXPECT_EQ(nullptr, window->Main);  // nothing happened
  window->Unload();
  main->mnuNarrationTxtToSpeech_Click();
  EXPECT_EQ(window, main->speechWindow.get());
  EXPECT_EQ(main.get(), window->Main);
  EXPECT_TRUE(window->Visible());
}

TEST_F(MainWindowTest, UpdateCheckGetsTheVersionAndAConfirmedDownloadEndsTheProgramSavingItsPlace) {
  app.SetVersion(2, 10, 7);
  main->Show();
  main->Move(4500, 600);
  std::u16string versionSeen;
  host.WhenModal("frmUpdates", [&](forms::Form& form) {
    auto& check = dynamic_cast<updates::frmUpdates&>(form);
    versionSeen = check.ver;
    check.Unload();  // a plain check, closed
  });
  main->mnuHelpUpdate_Click();
  EXPECT_EQ(u"2.10.7", versionSeen);
  EXPECT_TRUE(main->Loaded());

  host.WhenModal("frmUpdates", [&](forms::Form& form) {
    auto& check = dynamic_cast<updates::frmUpdates&>(form);
    check.delayedCommand = updates::kExitApplication;
    check.Unload();
  });
  main->mnuHelpUpdate_Click();
  EXPECT_FALSE(main->Loaded());
  EXPECT_EQ("4500", Stored("MainLeft"));
  EXPECT_EQ("600", Stored("MainTop"));
}

}  // namespace
}  // namespace lectryn::windows::main
