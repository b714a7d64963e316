#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"

namespace lectryn::sim {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;

// Records events as "word@time" and "END@time", the word cut from the spoken text.
class Recorder : public platform::VoiceEvents {
 public:
  explicit Recorder(SimUiLoop& loop) : loop_(loop) {}
  void pVoice_Word(int32_t, int64_t, int32_t position, int32_t length) override {
    log.push_back(ToUtf8(text.substr(position, length)) + "@" + std::to_string(loop_.NowMs()));
    if (onWord) onWord();
  }
  void pVoice_EndStream(int32_t, int64_t) override {
    log.push_back("END@" + std::to_string(loop_.NowMs()));
    if (onEnd) onEnd();
  }
  void pVoice_Failed(const std::string& message) override {
    log.push_back("FAILED " + message + "@" + std::to_string(loop_.NowMs()));
    if (onFailed) onFailed();
  }
  std::u16string text;
  std::vector<std::string> log;
  std::function<void()> onWord, onEnd, onFailed;

 private:
  SimUiLoop& loop_;
};

struct VoiceFixture : ::testing::Test {
  SimUiLoop loop;
  ScriptedVoiceFactory factory{loop, 100};
  Recorder sink{loop};
  std::shared_ptr<platform::SpVoice> voice = factory.CreateVoice(sink);

  void Speak(const char* utf8) {
    sink.text = FromUtf8(utf8);
    voice->Speak(sink.text, platform::SVSFlagsAsync);
  }
  int32_t State() const { return voice->Status().RunningState; }
};

using Log = std::vector<std::string>;

TEST(ScriptedWords, SplitsOnSpacesAndPunctuationAndCountsSentences) {
  auto words = SplitScriptedWords(u"It's one. Two, three!\r\nFour? 3.5 e.g. x");
  std::vector<std::string> cut;
  for (auto w : words) cut.push_back(std::to_string(w.sentence) + ":" + std::to_string(w.position));
  EXPECT_EQ((Log{"0:0", "0:5", "1:10", "1:15", "2:23", "3:29", "3:31", "3:33", "3:35", "4:38"}), cut);
}

TEST_F(VoiceFixture, RaisesEachWordInOrderOnTheClockThenEndStream) {
  Speak("Hello big world.");
  EXPECT_EQ(2, State());
  EXPECT_TRUE(sink.log.empty());  // Speak returns before any event
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"Hello@0", "big@100", "world@200", "END@300"}), sink.log);
  EXPECT_NE(2, State());
}

TEST_F(VoiceFixture, EmptyTextEndsAtOnceWithoutWords) {
  Speak("");
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"END@0"}), sink.log);
  EXPECT_NE(2, State());
}

TEST_F(VoiceFixture, PositionsCountUtf16UnitsAroundNonBmpCharacters) {
  Speak("a \xF0\x9F\x98\x80x b");  // U+1F600 takes two units
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"a@0", "\xF0\x9F\x98\x80x@100", "b@200", "END@300"}), sink.log);
}

TEST_F(VoiceFixture, DroppedVoiceRaisesNothingMoreEvenWhatWasPosted) {
  Speak("one two three");
  sink.onWord = [&] { voice.reset(); };  // dropped while its next event is already queued
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"one@0"}), sink.log);
}

// The count runs over texts and voices; the failure takes the place of a word or of the end of a text,
// stops the voice, and comes once: the next Speak is spoken in full.
TEST_F(VoiceFixture, AnArmedFailureStopsTheVoiceAfterItsWordsOnceWithoutEndStream) {
  factory.FailAfterWords(3, "server gone");
  Speak("one two");
  sink.onEnd = [&] { Speak("three four"); };
  sink.onFailed = [&] { EXPECT_NE(2, State()); };
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"one@0", "two@100", "END@200", "three@200", "FAILED server gone@300"}), sink.log);
  EXPECT_NE(2, State());

  sink.log.clear();
  sink.onEnd = {};
  Speak("five six");
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"five@300", "six@400", "END@500"}), sink.log);

  factory.FailAfterWords(2, "again");
  auto other = factory.CreateVoice(sink);
  sink.log.clear();
  sink.text = u"one two";
  other->Speak(sink.text, platform::SVSFlagsAsync);
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"one@500", "two@600", "FAILED again@700"}), sink.log) << "the end of the text fails too";
}

TEST_F(VoiceFixture, ADroppedVoiceRaisesNoFailureAndTheNextVoiceFailsInItsPlace) {
  factory.FailAfterWords(1, "gone");
  Speak("one two");
  sink.onWord = [&] { voice.reset(); };  // the failure is due next
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"one@0"}), sink.log);

  voice = factory.CreateVoice(sink);
  sink.onWord = {};
  Speak("three four");
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"one@0", "FAILED gone@100"}), sink.log);
}

TEST_F(VoiceFixture, SkipGoesOnAtTheNextSentence) {
  Speak("One two. Three four. Five six.");
  loop.AdvanceBy(50);  // "One" is being spoken
  EXPECT_EQ(1, voice->Skip(u"SENTENCE", 1));
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"One@0", "Three@50", "four@150", "Five@250", "six@350", "END@450"}), sink.log);
}

TEST_F(VoiceFixture, SkipInTheLastSentenceEndsTheStreamOnce) {
  Speak("One two. Three four.");
  loop.AdvanceBy(250);  // "Three" is being spoken
  voice->Skip(u"SENTENCE", 1);
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"One@0", "two@100", "Three@200", "END@250"}), sink.log);
  EXPECT_EQ(0, voice->Skip(u"SENTENCE", 1));  // idle: nothing to skip
}

TEST_F(VoiceFixture, SpeakingAgainFromEndStreamStartsTheNextText) {
  Speak("a b");
  int ends = 0;
  sink.onEnd = [&] {
    if (++ends == 1) Speak("c");
  };
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"a@0", "b@100", "END@200", "c@200", "END@300"}), sink.log);
  EXPECT_EQ(2u, factory.Spoken().size());
}

TEST_F(VoiceFixture, NewSpeakReplacesTheTextBeingSpoken) {
  Speak("one two three");
  loop.AdvanceBy(150);
  Speak("four");
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"one@0", "two@100", "four@150", "END@250"}), sink.log);
}

TEST_F(VoiceFixture, PauseHoldsEveryEventAndResumeGoesOnWithTheTimeLeftOfTheWord) {
  Speak("one two three");
  loop.AdvanceBy(150);  // "two" is heard; "three" is due in 50 ms
  EXPECT_TRUE(voice->Pause());
  EXPECT_TRUE(voice->Pause());  // a second pause changes nothing
  loop.AdvanceBy(1000);
  EXPECT_EQ((Log{"one@0", "two@100"}), sink.log);
  EXPECT_EQ(2, State());
  EXPECT_TRUE(voice->Status().Paused);
  voice->Resume();
  voice->Resume();
  EXPECT_FALSE(voice->Status().Paused);
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"one@0", "two@100", "three@1200", "END@1300"}), sink.log);
}

TEST_F(VoiceFixture, WhatSpeakAndSkipStartWhilePausedIsHeardOnResume) {
  Speak("One two. Three four.");
  loop.AdvanceBy(50);
  voice->Pause();
  voice->Skip(u"SENTENCE", 1);
  loop.AdvanceBy(500);
  EXPECT_EQ((Log{"One@0"}), sink.log);
  voice->Resume();
  loop.AdvanceBy(50);
  voice->Pause();
  Speak("Five six.");
  loop.AdvanceBy(500);
  EXPECT_EQ((Log{"One@0", "Three@550"}), sink.log);
  voice->Resume();
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"One@0", "Three@550", "Five@1100", "six@1200", "END@1300"}), sink.log);
}

TEST_F(VoiceFixture, RateScalesTheTimeOfTheWordsAfterTheOneHeardWithinTheVoicesRange) {
  Speak("a b c d e");
  loop.AdvanceBy(10);  // "a" is heard; "b" is due at 100
  voice->SetRate(350);
  EXPECT_EQ(350, voice->Rate());
  loop.AdvanceBy(140);  // "b" at 100, "c" at 150
  voice->SetRate(10000);
  EXPECT_EQ(platform::kMaxWordsPerMinute, voice->Rate());
  loop.AdvanceBy(50);  // "d" at 200: the time per word is now 39 ms
  voice->SetRate(0);
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"a@0", "b@100", "c@150", "d@200", "e@239", "END@339"}), sink.log);
  voice->SetRate(1);
  EXPECT_EQ(platform::kMinWordsPerMinute, voice->Rate());
}

TEST_F(VoiceFixture, StatusNamesTheSentenceHeardAndSkipGoesBackToItsStartOrTheOneBefore) {
  Speak("One two. Three four. Five six.");
  loop.AdvanceBy(350);  // "four" is heard, 150 ms into the second sentence
  EXPECT_EQ(1, voice->Status().CurrentSentence);
  EXPECT_EQ(150, voice->Status().SentenceHeardMs);
  EXPECT_EQ(0, voice->Skip(u"SENTENCE", 0));
  EXPECT_EQ(0, voice->Status().SentenceHeardMs);
  loop.AdvanceBy(50);
  EXPECT_EQ(-1, voice->Skip(u"SENTENCE", -1));
  EXPECT_EQ(0, voice->Status().CurrentSentence);
  loop.AdvanceBy(50);
  EXPECT_EQ(0, voice->Skip(u"SENTENCE", -3));  // nothing before the first: it starts again
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"One@0", "two@100", "Three@200", "four@300", "Three@350", "One@400", "One@450", "two@550",
                 "Three@650", "four@750", "Five@850", "six@950", "END@1050"}),
            sink.log);
}

TEST_F(VoiceFixture, StartingAtTheLastSentenceSpeaksOnlyIt) {
  sink.text = u"One two. Three four! Five six";
  voice->Speak(sink.text, platform::SVSFlagsAsync | platform::SVSFStartAtLastSentence);
  EXPECT_EQ(2, voice->Status().CurrentSentence);
  loop.RunUntilIdle();
  EXPECT_EQ((Log{"Five@0", "six@100", "END@200"}), sink.log);
}

TEST_F(VoiceFixture, EachTextIsSpokenByTheChosenVoiceOfItsLanguageOrTheDefaultOne) {
  voice->SetVoiceChoices({{"fr", "sim/fr"}, {"en", "sim/en-GB"}});
  for (const char16_t* tag : {u"fr-CA", u"EN", u"de-CH", u"", u"ja"}) {
    voice->SetLanguage(tag);
    voice->Speak(u"x", platform::SVSFlagsAsync);
  }
  EXPECT_EQ((std::vector<std::string>{"sim/fr", "sim/en-GB", "sim/de", "sim/en", "sim/en"}),
            factory.VoicesUsed());
}

}  // namespace
}  // namespace lectryn::sim
