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
  std::u16string text;
  std::vector<std::string> log;
  std::function<void()> onWord, onEnd;

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

}  // namespace
}  // namespace lectryn::sim
