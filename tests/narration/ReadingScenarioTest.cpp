// Whole readings on the simulated platform with the real page engine: the pieces handed to the
// voice and the words selected in the page, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TracingVoice.h"
#include "engine/Document.h"
#include "forms/CheckBox.h"
#include "narration/Narration.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace lectryn::narration {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;
using Strings = std::vector<std::string>;

struct ReadingTest : ::testing::Test {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory scripted{loop, 100};
  Strings pieces;    // texts handed to the voice
  Strings selected;  // "word@start" of the page's selection after each word event
  std::shared_ptr<engine::Document> doc;
  app::TracingVoiceFactory voices{scripted, Hooks()};
  Narration main{voices};

  app::VoiceHooks Hooks() {
    app::VoiceHooks hooks;
    hooks.speak = [this](const std::u16string& text, const std::u16string&) {
      pieces.push_back(ToUtf8(text));
    };
    hooks.afterWord = [this](int32_t, int32_t, int64_t) {
      if (doc->Discarded()) return;
      auto span = doc->SelectionInBodyText();
      selected.push_back(ToUtf8(doc->SelectedText()) + "@" + (span ? std::to_string(span->start) : "none"));
    };
    return hooks;
  }

  void Load(const std::string& html) {
    doc = engine::Document::Parse(html, u"file:///page.htm");
    main.workingDoc = doc;
    main.cbContinue.SetValue(forms::vbChecked);
  }

  // The element becomes the target, as under the picker's pointer, and is read.
  void Pick(const char* id) {
    main.rng = doc->body()->createTextRange();
    main.rng->moveToElementText(*doc->getElementById(FromUtf8(id)));
    main.SayRange();
  }

  void ReadFromTop() {
    main.StopSpeaking();
    main.SayFromTop(doc);
  }

  // The selected words without their places.
  Strings SelectedWords() const {
    Strings words;
    for (const auto& s : selected) words.push_back(s.substr(0, s.find('@')));
    return words;
  }
};

constexpr const char* kArticle =
    "<body><h1 id=title>Title here</h1>"
    "<p id=p1>First <b id=bold>bold words</b> and more.</p>"
    "<p id=p2>Second para.<br>Next line</p>"
    "<div id=tail>Tail text</div></body>";

TEST_F(ReadingTest, PickedRunIsReadThenTheRestOfThePageInOrder) {
  Load(kArticle);
  Pick("bold");
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"bold words", "and more.", "Second para. Next line", "Tail text"}), pieces);
  EXPECT_EQ((Strings{"bold", "words", "and", "more", "Second", "para", "Next", "line", "Tail", "text"}),
            SelectedWords());
  EXPECT_EQ(ChainEnd::EndOfPage, main.LastChainEnd());
  EXPECT_EQ(u"text", doc->SelectedText());  // the last word stays selected
}

// Each piece is the text of one element and is spoken in that element's language.
TEST_F(ReadingTest, EachPieceIsSpokenInItsElementsLanguageAndTypedTextInTheDefault) {
  Load("<html lang=en><body><p id=start>Good morning.</p>"
       "<div lang=fr><p>Bonjour à tous.</p><p lang=de-CH>Grüezi <span lang=it>ciao</span> mitenand.</p></div>"
       "<p lang=''>Unknown tongue.</p><p>The end.</p></body></html>");
  Pick("start");
  loop.RunUntilIdle();
  // A paragraph is one piece: a word in another language inside it goes with the paragraph's.
  EXPECT_EQ((Strings{"Good morning.", "Bonjour à tous.", "Grüezi ciao mitenand.", "Unknown tongue.", "The end."}),
            pieces);
  EXPECT_EQ((std::vector<std::u16string>{u"en", u"fr", u"de-CH", u"", u"en"}), scripted.Languages());

  main.rng = nullptr;  // text of no page
  main.tbSpeach.SetText(u"Typed words.");
  main.cbStart_Click();
  loop.RunUntilIdle();
  EXPECT_EQ(u"", scripted.Languages().back());
}

TEST_F(ReadingTest, SelectionNeverMovesBackwardsAndLiesOnEachSpokenWord) {
  Load(kArticle);
  ReadFromTop();
  loop.RunUntilIdle();
  ASSERT_EQ(13u, selected.size());
  std::u16string body = doc->BodyText();
  int last = -1;
  for (const auto& entry : selected) {
    int start = std::stoi(entry.substr(entry.find('@') + 1));
    std::string word = entry.substr(0, entry.find('@'));
    EXPECT_EQ(word, ToUtf8(body.substr(start, FromUtf8(word).size())));
    EXPECT_GT(start, last) << entry;
    last = start;
  }
}

TEST_F(ReadingTest, FromTheTopTheFirstPieceIsTheFirstParagraphWhole) {
  Load(kArticle);
  ReadFromTop();
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"Title here", "First bold words and more.", "Second para. Next line", "Tail text"}),
            pieces);
}

TEST_F(ReadingTest, ListItemsAreEachAPieceAndAnEmptyBodyEndsAtOnce) {
  Load("<h1>Title</h1><ul><li>one</li><li>two <i>more</i></li></ul>");
  ReadFromTop();
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"Title", "one", "two more"}), pieces);

  pieces.clear();
  Load("");
  ReadFromTop();
  loop.RunUntilIdle();
  EXPECT_TRUE(pieces.empty());
  EXPECT_EQ(ChainEnd::EndOfPage, main.LastChainEnd());
}

TEST_F(ReadingTest, TextDirectlyInTheBodyIsReadAsTheRestOfTheBody) {
  Load("<body>Loose text one.<p id=p>Para</p>loose two</body>");
  Pick("p");
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"Para", "loose two"}), pieces);
}

TEST_F(ReadingTest, EmptyPiecesAreSkippedWithoutAPause) {
  Load("<p id=a>one</p><p><img src=x.png></p><p><br><br></p><p>two</p>");
  Pick("a");
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"one", "two"}), pieces);
  EXPECT_EQ(200, loop.NowMs());  // one word each, no gap between the pieces
}

TEST_F(ReadingTest, ThousandsOfEmptyElementsDoNotExhaustTheStack) {
  std::string html = "<p id=a>start</p>";
  for (int i = 0; i < 20000; ++i) html += "<p><img></p>";
  html += "<p>finish</p>";
  Load(html);
  Pick("a");
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"start", "finish"}), pieces);
}

TEST_F(ReadingTest, StopDuringAPieceReadsNothingMoreAndKeepsTheWordSelected) {
  Load(kArticle);
  Pick("p1");
  loop.AdvanceBy(150);  // "First", then "bold"
  main.cbStop_Click();
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"First bold words and more."}), pieces);
  EXPECT_EQ(u"bold", doc->SelectedText());
  EXPECT_EQ(u"First bold words and more.", main.tbSpeach.Text());

  main.cbStart_Click();  // Start again reads the same piece from its beginning
  loop.RunUntilIdle();
  EXPECT_EQ("First bold words and more.", pieces.at(1));
  EXPECT_EQ("First", SelectedWords().at(2));
}

TEST_F(ReadingTest, NextSentenceGoesOnInTheSamePiece) {
  Load("<p id=p>One two. Three four. Five.</p><p>After</p>");
  Pick("p");
  loop.AdvanceBy(50);
  main.cbNext_Click();
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"One", "Three", "four", "Five", "After"}), SelectedWords());
}

TEST_F(ReadingTest, TheContinueSwitchIsReadAtTheEndOfEachPiece) {
  Load(kArticle);
  Pick("p1");
  loop.AdvanceBy(50);
  main.mnuNarrationContAfter_Click();  // off during the piece
  loop.RunUntilIdle();
  EXPECT_EQ(1u, pieces.size());
  EXPECT_EQ(ChainEnd::ContinueOff, main.LastChainEnd());
}

TEST_F(ReadingTest, DiscardedPageEndsTheChainQuietly) {
  Load(kArticle);
  Pick("p1");
  loop.AdvanceBy(150);
  doc->Discard();  // the page was replaced: its body gives no range any more
  loop.RunUntilIdle();
  EXPECT_EQ(1u, pieces.size());
  EXPECT_EQ(ChainEnd::NoDocument, main.LastChainEnd());
}

TEST_F(ReadingTest, AWordSpokenTwiceIsHighlightedWhereItIsSpoken) {
  Load("<p id=p>the the cat a dog</p>");
  Pick("p");
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"the@0", "the@4", "cat@8", "a@12", "dog@14"}), selected);
}

TEST_F(ReadingTest, AWordNotOnThePageLeavesTheHighlightAndTheSearchWhereTheyWere) {
  Load("<p id=p>alpha beta gamma</p>");
  Pick("p");
  main.tbSpeach.SetText(u"alpha zeta gamma");  // the page no longer says what is spoken
  main.cbStart_Click();
  loop.RunUntilIdle();
  Strings tail(selected.end() - 3, selected.end());
  EXPECT_EQ((Strings{"alpha@0", "alpha@0", "gamma@11"}), tail);
}

TEST_F(ReadingTest, LastPieceEndsAndTheNextCallFindsTheEndOfTheBody) {
  Load(kArticle);
  Pick("tail");
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"Tail text"}), pieces);
  EXPECT_EQ(ChainEnd::EndOfPage, main.LastChainEnd());
  EXPECT_TRUE(main.SayNextParagraph());  // again at the end: nothing spoken
  EXPECT_EQ(1u, pieces.size());
}

// Whatever the last reading left (its range inside the page, the continue switch off), a reading
// from the top starts at the body's first word and goes on to the end.
TEST_F(ReadingTest, FromTheTopIgnoresTheLastRangeAndTurnsContinueOn) {
  Load(kArticle);
  Pick("p2");
  loop.AdvanceBy(150);
  main.mnuNarrationContAfter_Click();
  pieces.clear();
  ReadFromTop();
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"Title here", "First bold words and more.", "Second para. Next line", "Tail text"}),
            pieces);
  EXPECT_EQ(forms::vbChecked, main.cbContinue.Value());
  EXPECT_EQ(ChainEnd::EndOfPage, main.LastChainEnd());
}

TEST_F(ReadingTest, FromTheTopOfNoPageOrAPageGoneFailsAndSpeaksNothing) {
  EXPECT_THROW(main.SayFromTop(nullptr), platform::Failure);
  EXPECT_EQ(nullptr, main.workingDoc);
  Load(kArticle);
  doc->Discard();
  EXPECT_THROW(main.SayFromTop(doc), platform::Failure);
  EXPECT_EQ(doc, main.workingDoc) << "the window that asked knows which page failed";
  loop.RunUntilIdle();
  EXPECT_TRUE(pieces.empty());
}

// The picked range's text is taken when the reading starts: a page gone by then leaves nothing to
// say, and neither the last piece nor the instructions are read in its place.
TEST_F(ReadingTest, PickedRangeOfAPageGoneEndsTheReadingAndSpeaksNothing) {
  Load(kArticle);
  Pick("p1");
  loop.AdvanceBy(150);
  doc->Discard();
  main.SayRange();
  EXPECT_EQ(u"", main.tbSpeach.Text());
  ASSERT_TRUE(main.pVoice);
  EXPECT_FALSE(platform::IsSpeaking(*main.pVoice));
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"First bold words and more."}), pieces);
}

// The speech server goes away in the middle of a piece: the reading stops where Stop would leave it
// (the word highlighted, the piece's text kept) but without a voice, the failure is told once, and the
// next Start reads again with a new voice.
TEST_F(ReadingTest, AVoiceThatFailsStopsTheReadingTellsOnceAndTheNextStartReadsWithANewVoice) {
  Load(kArticle);
  Strings failures;
  std::vector<bool> told;  // Reading() each time the listener's observers are told
  main.OnVoiceFailure = [&](const std::string& message) { failures.push_back(message); };
  main.WatchListenerState([&] { told.push_back(main.Reading()); });
  scripted.FailAfterWords(2, "the speech server went away");
  Pick("p1");
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"First bold words and more."}), pieces) << "nothing was read after the failure";
  EXPECT_EQ((Strings{"First", "bold"}), SelectedWords());
  EXPECT_EQ(u"bold", doc->SelectedText());
  EXPECT_EQ(u"First bold words and more.", main.tbSpeach.Text());
  EXPECT_FALSE(main.pVoice);
  EXPECT_FALSE(main.Reading());
  EXPECT_EQ(ChainEnd::Stopped, main.LastChainEnd());
  EXPECT_EQ((Strings{"the speech server went away"}), failures);
  EXPECT_EQ((std::vector<bool>{true, false}), told);

  int32_t voicesBefore = scripted.VoicesCreated();
  main.cbStart_Click();
  EXPECT_EQ(voicesBefore + 1, scripted.VoicesCreated());
  loop.RunUntilIdle();
  EXPECT_EQ((Strings{"First bold words and more.", "First bold words and more.", "Second para. Next line",
                     "Tail text"}),
            pieces);
  EXPECT_EQ(ChainEnd::EndOfPage, main.LastChainEnd());
  EXPECT_EQ(1u, failures.size());
}

TEST_F(ReadingTest, AFailureWhilePausedEndsThePauseAndOneWithoutAVoiceIsIgnored) {
  Load(kArticle);
  int failures = 0;
  main.OnVoiceFailure = [&](const std::string&) { ++failures; };
  Pick("p1");
  loop.AdvanceBy(150);
  main.Pause();
  ASSERT_TRUE(main.Paused());
  main.pVoice_Failed("lost");  // as a voice whose server dies while it holds the sound
  EXPECT_FALSE(main.Paused());
  EXPECT_FALSE(main.pVoice);
  main.PauseOrResume();  // nothing left to resume
  EXPECT_FALSE(main.Paused());
  // The voice that failed is gone: a late word of the same failure changes nothing.
  main.pVoice_Failed("lost");
  EXPECT_EQ(1, failures);
  loop.RunUntilIdle();
  EXPECT_EQ(1u, pieces.size());
}

TEST_F(ReadingTest, PickedRangeIsOnePieceOnOneLine) {
  Load("<body><pre id=pre>\n  first line  \nsecond line\n\n</pre><p>after</p></body>");
  Pick("pre");
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ("first line   second line", pieces.front());
}

}  // namespace
}  // namespace lectryn::narration
