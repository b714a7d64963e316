#include "windows/texttospeech/frmTextToSpeech.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Document.h"
#include "windows/PageWait.h"
#include "windows/ReadingWindowPlatform.h"

namespace lectryn::windows::texttospeech {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;
using Strings = std::vector<std::string>;

struct FragmentCase {
  const char* name;
  const char16_t* text;
  const char16_t* inner;  // between the table's opening and closing tags
};

class Fragment : public ::testing::TestWithParam<FragmentCase> {};

TEST_P(Fragment, OnlyCarriageReturnsChange) {
  EXPECT_EQ(std::u16string(u"<table border='0' width='100%'><tr><td width='100%'>") + GetParam().inner +
                u"</td></tr></table>",
            TextFragment(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    TextToSpeech, Fragment,
    ::testing::Values(FragmentCase{"TwoLines", u"Hello\r\nWorld", u"Hello</span><br><span>\nWorld"},
                      FragmentCase{"LineFeedsAlone", u"one\ntwo\n", u"one\ntwo\n"},
                      FragmentCase{"Empty", u"", u""},
                      FragmentCase{"LeadingAndDoubled", u"\r\rx\r",
                                   u"</span><br><span></span><br><span>x</span><br><span>"},
                      FragmentCase{"MarkupAndEntitiesKept", u"<b>bold</b> & &lt;", u"<b>bold</b> & &lt;"}),
    [](const auto& info) { return std::string(info.param.name); });

// A page window that never becomes usable; each look at it costs a second of the clock.
class StuckPageWindow : public platform::BrowserApplication {
 public:
  explicit StuckPageWindow(sim::SimUiLoop& loop) : loop_(loop) {}
  void navigate(const std::u16string&) override {}
  void put_MenuBar(bool) override {}
  void put_ToolBar(int32_t) override {}
  void put_Visible(bool visible) override { shown = visible; }
  int32_t readyState() override {
    loop_.PassTime(1000);
    return 1;
  }
  platform::DocumentPtr document() override { return nullptr; }
  bool shown = false;

 private:
  sim::SimUiLoop& loop_;
};

class TextToSpeechWindow : public ::testing::Test {
 protected:
  TextToSpeechWindow() { window.Show(); }

  // Types the text and presses "To Speech"; returns once the reading has started or was given up.
  void Say(const std::u16string& text) {
    window.tbTextToSpeech.SetText(text);
    window.cbSayIt.Click();
  }
  engine::Document& Page(size_t index = 0) {
    return dynamic_cast<engine::Document&>(*sim.browsers.applications.at(index)->document());
  }
  engine::PageWindow& PageWindow(size_t index = 0) {
    return dynamic_cast<engine::PageWindow&>(*sim.browsers.applications.at(index));
  }

  testing::ReadingWindowPlatform sim;
  frmTextToSpeech window{sim.platform, sim.main};
};

TEST_F(TextToSpeechWindow, TypedLinesAreReadInTheirOwnStyledPageWindow) {
  sim.main.cbContinue.SetValue(forms::vbUnchecked);
  Say(u"First line here.\r\nSecond <b>bold</b> line.");
  sim.loop.RunUntilIdle();

  // Both lines lie in the one table cell: one piece, its line break spoken as a space.
  EXPECT_EQ((Strings{"First line here. Second bold line."}), sim.Spoken());
  ASSERT_EQ(1u, sim.browsers.applications.size());
  EXPECT_TRUE(PageWindow().Visible());
  EXPECT_FALSE(PageWindow().MenuBar());
  EXPECT_EQ(0, PageWindow().ToolBar());
  EXPECT_EQ(sim.main.workingDoc, sim.browsers.applications[0]->document());
  // The bold tags took effect: they are neither shown nor read.
  EXPECT_EQ(u"First line here.\r\nSecond bold line.", Page().body()->innerText());
  EXPECT_EQ(forms::vbChecked, sim.main.cbContinue.Value());
  EXPECT_EQ(u"line", Page().SelectedText());  // the last word stays highlighted in the page
}

TEST_F(TextToSpeechWindow, EachRequestResetsTheSamePageWindowAndAnEmptyTextReadsNothing) {
  Say(u"one two");
  sim.loop.RunUntilIdle();
  Say(u"three");
  sim.loop.RunUntilIdle();
  EXPECT_EQ((Strings{"one two", "three"}), sim.Spoken());
  EXPECT_EQ(u"three", Page().body()->innerText());

  Say(u"");
  sim.loop.RunUntilIdle();
  EXPECT_EQ(2u, sim.Spoken().size());
  ASSERT_EQ(1u, sim.browsers.applications.size());
  EXPECT_EQ(u"", Page().body()->innerText());
  EXPECT_EQ(sim.main.workingDoc, sim.browsers.applications[0]->document());
  EXPECT_EQ(narration::ChainEnd::EndOfPage, sim.main.LastChainEnd());
}

TEST_F(TextToSpeechWindow, PageWindowClosedByTheUserIsReplacedAtTheNextRequest) {
  Say(u"first");
  sim.loop.RunUntilIdle();
  sim.browsers.CloseLastPageWindow();
  Say(u"second");
  sim.loop.RunUntilIdle();
  ASSERT_EQ(2u, sim.browsers.applications.size());
  EXPECT_EQ((Strings{"first", "second"}), sim.Spoken());
  EXPECT_EQ(u"second", Page(1).body()->innerText());
  EXPECT_TRUE(PageWindow(1).Visible());
}

TEST_F(TextToSpeechWindow, EnterPressesToSpeechUntilTheTextBoxIsClickedAndAgainAfterReopening) {
  EXPECT_EQ(0, window.tbTextToSpeech.SelStart());
  EXPECT_EQ(259, window.tbTextToSpeech.SelLength());
  EXPECT_TRUE(window.PressKey({forms::vbKeyReturn, false}));
  EXPECT_EQ(1u, sim.browsers.applications.size());

  window.tbTextToSpeech.Click();
  EXPECT_FALSE(window.PressKey({forms::vbKeyReturn, false}));

  window.tbTextToSpeech.SetText(u"changed");
  window.cb.Click();
  EXPECT_FALSE(window.Loaded());
  window.Show();
  EXPECT_EQ(kInitialText, window.tbTextToSpeech.Text());
  EXPECT_TRUE(window.cbSayIt.Default());
  EXPECT_EQ(259, window.tbTextToSpeech.SelLength());
}

TEST_F(TextToSpeechWindow, SelectAllByCtrlAAndOnComingBack) {
  window.tbTextToSpeech.SetFocus(false);
  window.tbTextToSpeech.SetSelStart(5);
  window.tbTextToSpeech.SetSelLength(3);
  EXPECT_TRUE(window.PressKey(forms::CtrlKey('A')));
  EXPECT_TRUE(window.tbTextToSpeech.HasFocus());
  EXPECT_EQ(0, window.tbTextToSpeech.SelStart());
  EXPECT_EQ(259, window.tbTextToSpeech.SelLength());

  window.tbTextToSpeech.SetSelStart(10);
  window.Activate();
  EXPECT_EQ(window.tbTextToSpeech.Text(), window.tbTextToSpeech.SelText());
}

TEST_F(TextToSpeechWindow, ButtonFollowsTheSharedVoiceWithinATick) {
  sim.main.tbSpeach.SetText(u"a reading started from the main window");
  sim.main.cbStart_Click();
  sim.loop.AdvanceBy(kCaptionIntervalMs);
  EXPECT_EQ(u"Stop", window.cbSayIt.Caption());

  window.cbSayIt.Click();  // "Stop" stops it and starts nothing
  EXPECT_FALSE(platform::IsSpeaking(*sim.main.pVoice));
  EXPECT_TRUE(sim.browsers.applications.empty());
  sim.loop.AdvanceBy(kCaptionIntervalMs);
  EXPECT_EQ(u"To Speech", window.cbSayIt.Caption());

  sim.main.pVoice.reset();  // as during a drag: the caption stays
  window.cbSayIt.SetCaption(u"Stop");
  sim.loop.AdvanceBy(kCaptionIntervalMs);
  EXPECT_EQ(u"Stop", window.cbSayIt.Caption());
}

TEST_F(TextToSpeechWindow, SecondClickBeforeTheCaptionChangesRestartsFromTheTop) {
  Say(u"alpha beta gamma delta");
  sim.loop.AdvanceBy(150);  // two words in, the caption still says "To Speech"
  ASSERT_EQ(u"To Speech", window.cbSayIt.Caption());
  window.cbSayIt.Click();
  sim.loop.RunUntilIdle();
  EXPECT_EQ((Strings{"alpha beta gamma delta", "alpha beta gamma delta"}), sim.Spoken());
  EXPECT_EQ(u"delta", Page().SelectedText());
}

TEST_F(TextToSpeechWindow, OkStopsTheReadingAndLeavesThePageWindowWithItsText) {
  Say(u"one two three four");
  sim.loop.AdvanceBy(150);
  window.cb.Click();
  EXPECT_FALSE(window.Loaded());
  EXPECT_FALSE(platform::IsSpeaking(*sim.main.pVoice));
  EXPECT_EQ(0u, sim.loop.ActiveTimers());
  sim.loop.RunUntilIdle();
  EXPECT_EQ(1u, sim.Spoken().size());
  EXPECT_TRUE(PageWindow().Visible());
  EXPECT_EQ(u"one two three four", Page().body()->innerText());
}

// Requests that are given up while they wait for their page: none of them starts a reading.
TEST_F(TextToSpeechWindow, PageNeverUsableIsGivenUpAfterThirtySeconds) {
  auto stuck = std::make_shared<StuckPageWindow>(sim.loop);
  sim.browsers.makeApplication = [&] { return stuck; };
  const platform::DocumentPtr before = sim.main.workingDoc;
  const int64_t startMs = sim.loop.NowMs();
  Say(u"never read");
  EXPECT_GE(sim.loop.NowMs() - startMs, kPageWaitLimitMs);
  EXPECT_LT(sim.loop.NowMs() - startMs, kPageWaitLimitMs + 2000);
  EXPECT_FALSE(stuck->shown);
  EXPECT_EQ(before, sim.main.workingDoc);
  EXPECT_TRUE(sim.Spoken().empty());
}

TEST_F(TextToSpeechWindow, RequestEnteredAgainWhileWaitingWinsAndTheOlderGivesUp) {
  sim.loop.Post([&] { Say(u"second"); });  // runs inside the first request's wait
  Say(u"first");
  sim.loop.RunUntilIdle();
  EXPECT_EQ((Strings{"second"}), sim.Spoken());
  EXPECT_EQ(u"second", Page().body()->innerText());
}

TEST_F(TextToSpeechWindow, ClosingTheWindowOrThePageWindowDuringTheWaitAbandonsQuietly) {
  sim.loop.Post([&] { window.Unload(); });
  Say(u"closed window");
  sim.loop.RunUntilIdle();
  EXPECT_TRUE(sim.Spoken().empty());
  EXPECT_FALSE(PageWindow().Visible());

  window.Show();
  sim.loop.Post([&] { sim.browsers.CloseLastPageWindow(); });
  Say(u"closed page window");
  sim.loop.RunUntilIdle();
  EXPECT_TRUE(sim.Spoken().empty());

  Say(u"works again");  // a new page window takes the closed one's place
  sim.loop.RunUntilIdle();
  EXPECT_EQ((Strings{"works again"}), sim.Spoken());
  EXPECT_EQ(2u, sim.browsers.applications.size());
}

}  // namespace
}  // namespace lectryn::windows::texttospeech
