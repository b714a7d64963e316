#include "windows/help/frmHelp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/Document.h"
#include "sim/SimPictures.h"
#include "windows/PageWait.h"
#include "windows/ReadingWindowPlatform.h"

namespace lectryn::windows::help {
namespace {

using Strings = std::vector<std::string>;

constexpr char kHelpPage[] =
    "<html><head><title>Help</title></head><body><h1>Getting going</h1>"
    "<p>Drag onto a page.</p><p>Press Escape to stop.</p></body></html>";
const Strings kHelpPieces = {"Getting going", "Drag onto a page.", "Press Escape to stop."};

// A browser control whose page never becomes usable; each look at it costs a second of the clock.
class StuckControl : public platform::WebBrowser {
 public:
  explicit StuckControl(sim::SimUiLoop& loop) : loop_(loop) {}
  void Navigate(const std::u16string&) override {}
  void Refresh() override {}
  std::u16string LocationURL() override { return u""; }
  int32_t ReadyState() override {
    loop_.PassTime(1000);
    return 1;
  }
  platform::DocumentPtr Document() override { return nullptr; }

 private:
  sim::SimUiLoop& loop_;
};

class HelpWindow : public ::testing::Test {
 protected:
  HelpWindow() {
    std::filesystem::create_directory(sim.temp / "program");
    sim.app.SetPath((sim.temp / "program").string());
    std::ofstream(sim.temp / "program" / "Help.htm") << kHelpPage;
    sim.pictures.AddPicture(platform::ProgramFile(sim.app, "Banner.jpg"), 445, 128);
  }

  // What the main window's "Getting Going" does.
  void Open() {
    window.Main = &sim.main;
    window.Load();
    if (!window.Visible()) window.Show(forms::Modality::Modeless);
  }
  // Starts a reading of a page elsewhere.
  void ReadOtherPage(const char* html) {
    other = engine::Document::Parse(html, u"file:///other.htm");
    sim.main.SayFromTop(other);
  }
  bool Speaking() { return sim.main.pVoice && platform::IsSpeaking(*sim.main.pVoice); }

  testing::ReadingWindowPlatform sim;
  frmHelp window{sim.platform, sim.main};
  platform::DocumentPtr other;
};

TEST_F(HelpWindow, OpeningStopsAnotherReadingAndReadsTheHelpPageFromItsFirstWord) {
  sim.main.cbContinue.SetValue(forms::vbUnchecked);
  ReadOtherPage("<p>one two three four five</p><p>never reached</p>");
  sim.loop.AdvanceBy(150);
  Open();
  sim.loop.RunUntilIdle();

  Strings expected = {"one two three four five"};
  expected.insert(expected.end(), kHelpPieces.begin(), kHelpPieces.end());
  EXPECT_EQ(expected, sim.Spoken());
  EXPECT_TRUE(window.Visible());
  EXPECT_EQ(forms::vbChecked, sim.main.cbContinue.Value());
  EXPECT_EQ(platform::ProgramFile(sim.app, "Banner.jpg"), sim::PicturePath(window.Picture()));
  EXPECT_EQ(1u, sim.windows.CountCalls("SetWindowPos"));
  EXPECT_EQ(u"stop", dynamic_cast<engine::Document&>(*window.WebBrowser1->Document()).SelectedText());
}

TEST_F(HelpWindow, RepeatReadsTheShownPageAgainFromTheTopWithoutReloadingIt) {
  Open();
  sim.loop.AdvanceBy(150);  // into the first piece
  const platform::DocumentPtr page = sim.main.workingDoc;
  window.cbRepeat.Click();
  sim.loop.RunUntilIdle();
  window.cbRepeat.Click();  // after the end of the page
  sim.loop.RunUntilIdle();

  Strings expected = {"Getting going"};
  for (int i = 0; i < 2; ++i) expected.insert(expected.end(), kHelpPieces.begin(), kHelpPieces.end());
  EXPECT_EQ(expected, sim.Spoken());
  EXPECT_EQ(page, sim.main.workingDoc);
  EXPECT_EQ(1u, sim.browsers.controls.size());
}

TEST_F(HelpWindow, OkStopsAtOnceAndReopeningLoadsAndReadsAgain) {
  Open();
  sim.loop.AdvanceBy(150);
  window.cbOK.Click();
  EXPECT_FALSE(window.Loaded());
  EXPECT_FALSE(Speaking());
  sim.loop.RunUntilIdle();
  EXPECT_EQ((Strings{"Getting going"}), sim.Spoken());

  Open();
  sim.loop.RunUntilIdle();
  Strings expected = {"Getting going"};
  expected.insert(expected.end(), kHelpPieces.begin(), kHelpPieces.end());
  EXPECT_EQ(expected, sim.Spoken());
  EXPECT_EQ(2u, sim.browsers.controls.size());
}

TEST_F(HelpWindow, OpeningAgainWhileShownNeitherReloadsNorRestarts) {
  Open();
  sim.loop.AdvanceBy(150);
  Open();
  EXPECT_TRUE(Speaking());
  sim.loop.RunUntilIdle();
  EXPECT_EQ(kHelpPieces, sim.Spoken());
  EXPECT_EQ(1u, sim.browsers.controls.size());
}

TEST_F(HelpWindow, ClosingByTheFrameStopsAReadingInItsPageOnly) {
  Open();
  sim.loop.AdvanceBy(150);
  window.Unload();
  EXPECT_FALSE(Speaking());
  sim.loop.RunUntilIdle();
  EXPECT_EQ((Strings{"Getting going"}), sim.Spoken());

  Open();
  sim.loop.RunUntilIdle();
  ReadOtherPage("<p>elsewhere goes on</p>");
  window.Unload();
  EXPECT_TRUE(Speaking());
  sim.loop.RunUntilIdle();
  EXPECT_EQ("elsewhere goes on", sim.Spoken().back());
}

TEST_F(HelpWindow, MissingBannerStillShowsAndReadsThePage) {
  sim.pictures.RemovePicture(platform::ProgramFile(sim.app, "Banner.jpg"));
  Open();
  sim.loop.RunUntilIdle();
  EXPECT_TRUE(window.Visible());
  EXPECT_EQ(nullptr, window.Picture());
  EXPECT_EQ(kHelpPieces, sim.Spoken());
}

TEST_F(HelpWindow, PageNeverUsableIsGivenUpAfterThirtySecondsAndClosingDuringTheWaitShowsNothing) {
  sim.browsers.makeControl = [&] { return std::make_shared<StuckControl>(sim.loop); };
  ReadOtherPage("<p>stopped by the opening</p>");
  const int64_t startMs = sim.loop.NowMs();
  Open();
  EXPECT_GE(sim.loop.NowMs() - startMs, kPageWaitLimitMs);
  EXPECT_LT(sim.loop.NowMs() - startMs, kPageWaitLimitMs + 2000);
  EXPECT_TRUE(window.Visible());
  EXPECT_EQ(other, sim.main.workingDoc);
  EXPECT_EQ(1u, sim.Spoken().size());

  window.Unload();
  sim.browsers.makeControl = nullptr;
  sim.loop.Post([&] { window.Unload(); });  // the user closes it while its page loads
  window.Load();
  EXPECT_FALSE(window.Loaded());
  sim.loop.RunUntilIdle();
  EXPECT_EQ(1u, sim.Spoken().size());
}

}  // namespace
}  // namespace lectryn::windows::help
