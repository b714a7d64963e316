// The narration commands without a page: voices, the text box, the continue switch and Escape.
#include <gtest/gtest.h>

#include "forms/CheckBox.h"
#include "narration/Narration.h"
#include "platform/Failure.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace lectryn::narration {
namespace {

using Texts = std::vector<std::u16string>;

struct CommandsTest : ::testing::Test {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 100};
  Narration main{voices};
};

TEST_F(CommandsTest, StartBeforeAnyCaptureReadsTheInstructionsAndStopsThere) {
  main.cbContinue.SetValue(forms::vbChecked);
  main.cbStart_Click();
  ASSERT_TRUE(main.pVoice);
  EXPECT_EQ(2, main.pVoice->Status().RunningState);
  loop.RunUntilIdle();
  EXPECT_EQ((Texts{kInstructionText}), voices.Spoken());
  EXPECT_NE(2, main.pVoice->Status().RunningState);
  EXPECT_EQ(ChainEnd::NoDocument, main.LastChainEnd());
}

TEST_F(CommandsTest, StopReplacesTheVoiceAndKeepsTheText) {
  main.tbSpeach.SetText(u"one two three four");
  main.cbStart_Click();
  loop.AdvanceBy(150);
  auto before = main.pVoice;
  main.cbStop_Click();
  EXPECT_NE(before, main.pVoice);
  EXPECT_NE(2, main.pVoice->Status().RunningState);
  EXPECT_EQ(u"one two three four", main.tbSpeach.Text());
  EXPECT_EQ(ChainEnd::Stopped, main.LastChainEnd());
  loop.RunUntilIdle();
  EXPECT_EQ(1u, voices.Spoken().size());  // nothing more was read
}

TEST_F(CommandsTest, StartWithAnEmptyTextLeavesAnIdleNewVoice) {
  main.tbSpeach.SetText(u"");
  main.cbStart_Click();
  ASSERT_TRUE(main.pVoice);
  EXPECT_NE(2, main.pVoice->Status().RunningState);
  EXPECT_TRUE(voices.Spoken().empty());
}

TEST_F(CommandsTest, EscapeStopsOnlyOnKeyRelease) {
  main.tbSpeach.SetText(u"a b c");
  main.cbStart_Click();
  main.Form_KeyUp(forms::vbKeyReturn, 0);
  EXPECT_EQ(2, main.pVoice->Status().RunningState);
  main.Form_KeyUp(forms::vbKeyEscape, 0);
  EXPECT_NE(2, main.pVoice->Status().RunningState);
}

TEST_F(CommandsTest, NextSentenceWithoutAVoiceDoesNothing) {
  EXPECT_FALSE(main.pVoice);
  main.cbNext_Click();
  main.mnuNarrationNextSentence.Click();
  EXPECT_FALSE(main.pVoice);
}

TEST_F(CommandsTest, MenuToggleSetsTheCheckBoxFromItsOwnMark) {
  main.cbContinue.SetValue(forms::vbChecked);
  main.cbContinue.Click();  // the box off by a click; the menu still checked
  EXPECT_EQ(forms::vbUnchecked, main.cbContinue.Value());
  EXPECT_TRUE(main.mnuNarrationContAfter.Checked());
  main.mnuNarrationContAfter.Click();
  EXPECT_FALSE(main.mnuNarrationContAfter.Checked());
  EXPECT_EQ(forms::vbUnchecked, main.cbContinue.Value());
  main.mnuNarrationContAfter.Click();
  EXPECT_EQ(forms::vbChecked, main.cbContinue.Value());
}

TEST_F(CommandsTest, MenuItemsCarryTheirCaptionsAndShortcuts) {
  std::vector<std::u16string> shown;
  for (const auto& item : main.mnuNarration.Items())
    shown.push_back(item->Caption() + u" " + item->GetShortcut().ToString());
  EXPECT_EQ((Texts{u"&Start Ctrl+N", u"S&top ", u"&Next Sentence Ctrl+T", u"- ",
                   u"Continue After Selection Ctrl+F", u"- ", u"Text to &speech... Ctrl+S"}),
            shown);
}

class FailingVoices : public platform::VoiceFactory {
 public:
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents&) override {
    throw platform::Failure("no voice data in /usr/share/espeak-ng-data");
  }
};

TEST(CommandsWithoutVoice, AVoiceThatCannotBeMadeIsReportedAndNothingBreaks) {
  FailingVoices voices;
  Narration main(voices);
  std::string reported;
  main.OnVoiceFailure = [&](const std::string& message) { reported = message; };
  main.cbStart_Click();
  main.cbNext_Click();
  main.cbStop_Click();
  EXPECT_FALSE(main.pVoice);
  EXPECT_EQ("no voice data in /usr/share/espeak-ng-data", reported);
}

}  // namespace
}  // namespace lectryn::narration
