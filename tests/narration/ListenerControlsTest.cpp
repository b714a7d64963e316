// The listener's controls on a page read by the real engine: pause and resume, going back by
// sentences and pieces, going on by pieces, and where the highlight lands after each move.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Document.h"
#include "forms/CheckBox.h"
#include "narration/Narration.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace lectryn::narration {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;
using Strings = std::vector<std::string>;

// Read from the top at 100 ms a word: "Alpha one." from 0, "Alpha two." from 200, the second piece
// from 400 ("Beta two ..." from 600), the picture skipped, "Gamma one." from 1300 to its end at 1500.
constexpr const char* kPage =
    "<body><p id=a>Alpha one. Alpha two.</p>"
    "<p id=b>Beta one. Beta two three four five six seven.</p>"
    "<p><img src=picture.png></p>"
    "<p id=c>Gamma one.</p></body>";
constexpr const char* kFirst = "Alpha one. Alpha two.";
constexpr const char* kSecond = "Beta one. Beta two three four five six seven.";
constexpr const char* kThird = "Gamma one.";

struct ListenerControls : ::testing::Test {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory voices{loop, 100};
  Narration main{voices};
  std::shared_ptr<engine::Document> doc = engine::Document::Parse(kPage, u"file:///page.htm");
  Strings told;  // the listener's state at each time the observers were told

  ListenerControls() {
    main.WatchListenerState([this] { told.push_back(State()); });
  }

  std::string State() const { return main.Reading() ? (main.Paused() ? "paused" : "reading") : "idle"; }

  void ReadFromTop() {
    main.StopSpeaking();
    main.SayFromTop(doc);
  }

  Strings Pieces() const {
    Strings pieces;
    for (const auto& text : voices.Spoken()) pieces.push_back(ToUtf8(text));
    return pieces;
  }

  // The selected word and where it lies in the page's text.
  std::string Highlight() {
    auto span = doc->SelectionInBodyText();
    if (!span) return "none";
    return ToUtf8(doc->SelectedText()) + "@" + std::to_string(span->start);
  }
  // word, found at the start of phrase in the page's text, as Highlight shows it.
  std::string WordOf(const std::string& word, const char* phrase) {
    size_t at = doc->BodyText().find(FromUtf8(phrase));
    EXPECT_NE(std::u16string::npos, at) << phrase;
    return word + "@" + std::to_string(at);
  }
  // Where the page was last scrolled to, in the page's text.
  int32_t ScrolledTo() {
    auto scroll = doc->LastScrollRequest();
    return scroll ? scroll->span.start : -1;
  }
};

TEST_F(ListenerControls, PreviousSentenceEarlyGoesToTheSentenceBeforeAndLaterToTheStartOfTheOneHeard) {
  ReadFromTop();
  loop.AdvanceBy(650);  // the second "Beta" has been heard for 50 ms
  ASSERT_EQ(WordOf("Beta", "Beta two"), Highlight());
  main.PreviousSentence();
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Beta", "Beta one"), Highlight());
  EXPECT_EQ(static_cast<int32_t>(doc->BodyText().find(u"Beta one")), ScrolledTo());

  loop.AdvanceBy(700);  // "six" of the second sentence, 510 ms into it
  ASSERT_EQ(WordOf("six", "six"), Highlight());
  main.PreviousSentence();
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Beta", "Beta two"), Highlight());
  loop.AdvanceBy(100);
  EXPECT_EQ(WordOf("two", "two three"), Highlight());
  EXPECT_EQ((Strings{kFirst, kSecond}), Pieces());  // all within the same piece
}

TEST_F(ListenerControls, PreviousSentenceEarlyInAPieceGoesToTheLastSentenceOfThePieceBeforeThenOn) {
  ReadFromTop();
  loop.AdvanceBy(550);  // "one" of the second piece
  main.PreviousSentence();
  loop.AdvanceBy(10);
  EXPECT_EQ((Strings{kFirst, kSecond, kFirst}), Pieces());
  EXPECT_EQ(WordOf("Alpha", "Alpha two"), Highlight());
  loop.AdvanceBy(100);
  EXPECT_EQ(WordOf("two", "two."), Highlight());
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{kFirst, kSecond, kFirst, kSecond, kThird}), Pieces());
  EXPECT_EQ(ChainEnd::EndOfPage, main.LastChainEnd());
}

TEST_F(ListenerControls, PreviousSentenceAtTheStartOfThePageStartsItsFirstSentenceAgain) {
  ReadFromTop();
  loop.AdvanceBy(150);
  main.PreviousSentence();
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Alpha", "Alpha one"), Highlight());
  EXPECT_EQ((Strings{kFirst}), Pieces());
  loop.AdvanceBy(100);
  EXPECT_EQ(WordOf("one", "one."), Highlight());
}

TEST_F(ListenerControls, ParagraphMovesGoBackOverPicturesRestartTheFirstPieceAndEndAfterTheLast) {
  ReadFromTop();
  loop.AdvanceBy(1350);      // "Gamma"
  main.PreviousParagraph();  // over the picture's empty piece
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Beta", "Beta one"), Highlight());
  main.PreviousParagraph();
  loop.AdvanceBy(110);
  EXPECT_EQ(WordOf("one", "one."), Highlight());
  main.PreviousParagraph();  // the first piece of the page starts again
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Alpha", "Alpha one"), Highlight());
  EXPECT_EQ((Strings{kFirst, kSecond, kThird, kSecond, kFirst, kFirst}), Pieces());

  main.NextParagraph();
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Beta", "Beta one"), Highlight());
  main.NextParagraph();
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Gamma", "Gamma"), Highlight());
  main.NextParagraph();  // after the last piece: the end of the page
  EXPECT_FALSE(main.Reading());
  EXPECT_EQ(ChainEnd::EndOfPage, main.LastChainEnd());
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{kFirst, kSecond, kThird, kSecond, kFirst, kFirst, kSecond, kThird}), Pieces());
  EXPECT_EQ(WordOf("Gamma", "Gamma"), Highlight());
  EXPECT_EQ(u"Gamma one.", main.tbSpeach.Text());
}

TEST_F(ListenerControls, PauseHoldsTheWordsResumeGoesOnWithTheNextOneAndStopEndsAPausedReading) {
  ReadFromTop();
  loop.AdvanceBy(150);
  main.PauseOrResume();
  EXPECT_TRUE(main.Paused());
  EXPECT_TRUE(main.Reading());
  loop.AdvanceBy(5000);
  EXPECT_EQ(WordOf("one", "one."), Highlight());
  EXPECT_EQ((Strings{kFirst}), Pieces());
  main.PauseOrResume();
  EXPECT_FALSE(main.Paused());
  loop.AdvanceBy(60);  // the 50 ms left of "one"
  EXPECT_EQ(WordOf("Alpha", "Alpha two"), Highlight());

  main.Pause();
  main.cbStop_Click();
  EXPECT_FALSE(main.Paused());
  EXPECT_FALSE(main.Reading());
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{kFirst}), Pieces());
  EXPECT_EQ((Strings{"reading", "paused", "reading", "paused", "idle"}), told);
}

TEST_F(ListenerControls, APausedReadingStaysPausedThroughMovesAndShowsWhereItWillGoOn) {
  ReadFromTop();
  loop.AdvanceBy(150);
  main.Pause();
  main.NextParagraph();
  EXPECT_TRUE(main.Paused());
  EXPECT_EQ(WordOf("Beta", "Beta one"), Highlight());
  main.PreviousSentence();  // at the start of a piece: the last sentence of the one before
  EXPECT_TRUE(main.Paused());
  loop.AdvanceBy(1000);
  EXPECT_EQ((Strings{kFirst, kSecond, kFirst}), Pieces());
  main.Resume();
  loop.AdvanceBy(10);
  EXPECT_EQ(WordOf("Alpha", "Alpha two"), Highlight());
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"reading", "paused", "reading", "idle"}), told);  // new pieces tell nothing
}

TEST_F(ListenerControls, SpeedReachesTheVoiceSpeakingAndEveryLaterOneWithinTheVoicesRange) {
  main.tbSpeach.SetText(u"a b c d e f");
  main.cbStart_Click();
  main.Faster();
  main.Faster();
  EXPECT_EQ(sim::kScriptedDefaultRate + 2 * kRateStep, main.Rate());
  EXPECT_EQ(main.Rate(), main.pVoice->Rate());
  main.cbStop_Click();
  EXPECT_EQ(main.Rate(), main.pVoice->Rate());
  main.SetRate(platform::kMinWordsPerMinute + 10);
  main.Slower();
  main.Slower();
  EXPECT_EQ(platform::kMinWordsPerMinute, main.Rate());
  main.NormalSpeed();
  EXPECT_EQ(0, main.pVoice->Rate());
  EXPECT_EQ(sim::kScriptedDefaultRate, main.EffectiveRate());
  size_t toldBefore = told.size();
  main.NormalSpeed();  // no change: nobody is told
  EXPECT_EQ(toldBefore, told.size());
}

}  // namespace
}  // namespace lectryn::narration
