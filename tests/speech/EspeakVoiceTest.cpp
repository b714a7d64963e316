#include "speech/EspeakVoiceFactory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "speech/SpeakingVoice.h"
#include "speech/SpokenWords.h"
#include "system/PlainUiLoop.h"

namespace lectryn::speech {
namespace {

struct PositionCase {
  const char* text;
  Log words;
  std::vector<int32_t> positions;
};

void PrintTo(const PositionCase& c, std::ostream* out) {
  *out << c.text;
}

class VoicePositions : public SpeakingVoice, public ::testing::WithParamInterface<PositionCase> {};

TEST_P(VoicePositions, ReportEachWordAtItsUtf16Offset) {
  Speak(GetParam().text);
  RunUntilEnds(1);
  Log expected = GetParam().words;
  expected.push_back("END");
  EXPECT_EQ(expected, sink.log);
  EXPECT_EQ(GetParam().positions, sink.positions);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VoicePositions,
    ::testing::Values(PositionCase{"déjà vu, naïve café", {"déjà", "vu", "naïve", "café"}, {0, 5, 9, 15}},
                      PositionCase{"a 𝄞 clef 𝄞 note", {"a", "clef", "note"}, {0, 5, 13}},
                      PositionCase{"one\r\ntwo\r\n\r\nthree", {"one", "two", "three"}, {0, 5, 12}},
                      PositionCase{"In 1999 the cost of the car",
                                   {"In", "1999", "the", "cost", "of", "the", "car"},
                                   {0, 3, 8, 12, 17, 20, 24}},
                      PositionCase{"<b>bold</b> text", {"b", "bold", "/", "b", "text"}, {1, 3, 8, 9, 12}},
                      PositionCase{"such as déjà vu", {"such", "as", "déjà", "vu"}, {0, 5, 8, 13}}));

TEST_F(SpeakingVoice, NulAndLoneSurrogateDoNotCutTheTextShort) {
  std::u16string text = u"one";
  text += char16_t{0};
  text += u"two ";
  text += char16_t{0xDC00};
  text += u" three";
  Speak(text);
  RunUntilEnds(1);
  EXPECT_EQ((Log{"one", "two", "three", "END"}), sink.log);
  EXPECT_EQ((std::vector<int32_t>{0, 4, 10}), sink.positions);
}

TEST_F(SpeakingVoice, ReportsEveryWordOfALongTextOnceInOrderWithRisingTimes) {
  std::string utf8;
  for (int i = 0; i < 12; ++i) {
    utf8 +=
        "In 1999 the cost of the car was $5, such as a/b and déjà vu. Of the people, for the people! "
        "It's 3.14 or 1,000 times 10% of what they'd say about the 2nd of May.\n";
  }
  std::u16string text = FromUtf8(utf8);
  Speak(text);
  RunUntilEnds(1);
  Log expected;
  for (const TextWord& word : SplitSpokenWords(text)) {
    expected.push_back(ToUtf8(text.substr(word.startUtf16, word.lengthUtf16)));
  }
  expected.push_back("END");
  EXPECT_EQ(expected, sink.log);
  for (size_t i = 1; i < sink.times.size(); ++i) EXPECT_LE(sink.times[i - 1], sink.times[i]) << i;
  EXPECT_GT(sink.times.back(), 60000);  // a minute and more of speech, in the stream's own milliseconds
}

TEST_F(SpeakingVoice, RunningStateIsSpeakingFromSpeakUntilItsEndIsDelivered) {
  std::vector<int32_t> states;
  sink.onWord = [&](const std::string&) { states.push_back(State()); };
  sink.onEnd = [&] { states.push_back(State()); };
  EXPECT_EQ(1, State());
  Speak("One two. Three.");
  EXPECT_EQ(2, State());
  RunUntilEnds(1);
  EXPECT_EQ((std::vector<int32_t>{2, 2, 2, 1}), states);
  EXPECT_EQ(1, State());
}

TEST_F(SpeakingVoice, EmptyTextEndsOnceWithoutWords) {
  Speak(u"");
  EXPECT_EQ(2, State());
  RunUntilEnds(1);
  EXPECT_EQ((Log{"END"}), sink.log);
  EXPECT_EQ(1, State());
}

struct SkipCase {
  const char* during;
  Log expected;
};

void PrintTo(const SkipCase& c, std::ostream* out) {
  *out << "skip during " << c.during;
}

class VoiceSkip : public SpeakingVoice, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(VoiceSkip, GoesOnAtTheNextSentenceAndEndsOnce) {
  sink.onWord = [&](const std::string& word) {
    if (word == GetParam().during) {
      EXPECT_EQ(1, voice->Skip(u"SENTENCE", 1));
    }
  };
  Speak("One two. Three four. Five six.");
  RunUntilEnds(1);
  EXPECT_EQ(GetParam().expected, sink.log);
  EXPECT_EQ(1, State());
}

INSTANTIATE_TEST_SUITE_P(Sentences, VoiceSkip,
                         ::testing::Values(SkipCase{"One", {"One", "Three", "four", "Five", "six", "END"}},
                                           SkipCase{"four",
                                                    {"One", "two", "Three", "four", "Five", "six", "END"}},
                                           SkipCase{"Three", {"One", "two", "Three", "Five", "six", "END"}},
                                           SkipCase{"Five", {"One", "two", "Three", "four", "Five", "END"}}));

TEST_F(SpeakingVoice, SkipBeforeAnyWordIsHeardLeavesTheFirstSentence) {
  Speak("One two. Three four.");
  EXPECT_EQ(1, voice->Skip(u"sentence", 1));
  RunUntilEnds(1);
  EXPECT_EQ((Log{"Three", "four", "END"}), sink.log);
}

TEST_F(SpeakingVoice, SkipsAgainAfterASkipBeforeTheNextWordIsHeard) {
  sink.onWord = [&](const std::string& word) {
    if (word == "One") {
      voice->Skip(u"SENTENCE", 1);
      voice->Skip(u"SENTENCE", 1);
    }
  };
  Speak("One two. Three four. Five six.");
  RunUntilEnds(1);
  EXPECT_EQ((Log{"One", "Five", "six", "END"}), sink.log);
}

TEST_F(SpeakingVoice, SkipWhenIdleDoesNothingAndOtherUnitsFail) {
  EXPECT_EQ(0, voice->Skip(u"SENTENCE", 1));
  EXPECT_EQ(1, State());
  EXPECT_THROW(voice->Skip(u"WORD", 1), platform::Failure);
}

TEST_F(SpeakingVoice, NewSpeakReplacesTheTextBeingSpoken) {
  sink.onWord = [&](const std::string& word) {
    if (word == "two") Speak("Other text.");
  };
  Speak("One two three four five six seven eight nine ten.");
  RunUntilEnds(1);
  EXPECT_EQ((Log{"One", "two", "Other", "text", "END"}), sink.log);
}

TEST_F(SpeakingVoice, EndStreamHandlerCanSpeakTheNextPiece) {
  int pieces = 0;
  sink.onEnd = [&] {
    if (++pieces == 1) Speak("Second piece.");
  };
  Speak("First piece.");
  RunUntilEnds(2);
  EXPECT_EQ((Log{"First", "piece", "END", "Second", "piece", "END"}), sink.log);
}

TEST_F(SpeakingVoice, DroppedVoiceRunsNoEventAlreadyPosted) {
  Recorder newSink;
  std::shared_ptr<platform::SpVoice> fresh;
  sink.onWord = [&](const std::string& word) {
    if (word != "three") return;
    // Let the player post the next words to the loop while this handler still runs, then drop the voice.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    voice.reset();
    fresh = factory->CreateVoice(newSink);
    newSink.text = u"Fresh words.";
    fresh->Speak(newSink.text, platform::SVSFlagsAsync);
  };
  Speak("one two three four five six seven eight nine ten eleven twelve thirteen fourteen.");
  auto guard = loop.StartTimer(60000, [&] { loop.Quit(); });
  ASSERT_TRUE(loop.Run([&] { return newSink.ends == 1; }));
  loop.StopTimer(guard);
  factory->WaitUntilIdle();
  loop.DoEvents();
  EXPECT_EQ((Log{"one", "two", "three"}), sink.log);
  EXPECT_EQ((Log{"Fresh", "words", "END"}), newSink.log);
}

TEST_F(SpeakingVoice, ReplacingVoicesQuicklyLeavesOnlyTheLastOneSpeaking) {
  std::vector<std::unique_ptr<Recorder>> sinks;
  std::shared_ptr<platform::SpVoice> current;
  for (int i = 0; i < 20; ++i) {
    sinks.push_back(std::make_unique<Recorder>());
    current = factory->CreateVoice(*sinks.back());
    sinks.back()->text =
        u"Voice number " + FromUtf8(std::to_string(i)) + u" reads a rather long sentence here.";
    current->Speak(sinks.back()->text, platform::SVSFlagsAsync);
    loop.DoEvents();
  }
  voice.reset();
  auto guard = loop.StartTimer(60000, [&] { loop.Quit(); });
  ASSERT_TRUE(loop.Run([&] { return sinks.back()->ends == 1; }));
  loop.StopTimer(guard);
  factory->WaitUntilIdle();
  loop.DoEvents();
  for (size_t i = 0; i + 1 < sinks.size(); ++i) EXPECT_EQ(0, sinks[i]->ends) << i;
  EXPECT_EQ("END", sinks.back()->log.back());
  EXPECT_EQ("Voice", sinks.back()->log.front());
}

TEST(SpeechToWavFile, FileIsCompleteWhenTheEndIsHeard) {
  std::string path =
      (std::filesystem::temp_directory_path() / ("lectryn-voice-" + std::to_string(::getpid()) + ".wav"))
          .string();
  system::PlainUiLoop loop;
  Recorder sink;
  std::uintmax_t sizeAtEnd = 0;
  uint32_t dataBytesAtEnd = 0;
  sink.onEnd = [&] {
    sizeAtEnd = std::filesystem::file_size(path);
    std::ifstream in(path, std::ios::binary);
    unsigned char header[44] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    dataBytesAtEnd =
        header[40] | (header[41] << 8) | (header[42] << 16) | (static_cast<uint32_t>(header[43]) << 24);
  };
  {
    EspeakVoiceFactory factory(loop, AudioChoice::WavFile(path));
    auto voice = factory.CreateVoice(sink);
    sink.text = u"Written to a file, as fast as it is made.";
    voice->Speak(sink.text, platform::SVSFlagsAsync);
    EXPECT_FALSE(voice->Pause()) << "a file has no listener to hold";
    EXPECT_FALSE(voice->Status().Paused);
    auto guard = loop.StartTimer(60000, [&] { loop.Quit(); });
    ASSERT_TRUE(loop.Run([&] { return sink.ends == 1; }));
    loop.StopTimer(guard);
  }
  EXPECT_EQ((Log{"Written", "to", "a", "file", "as", "fast", "as", "it", "is", "made", "END"}), sink.log);
  EXPECT_GT(dataBytesAtEnd, 22050u);  // more than half a second of speech
  EXPECT_EQ(sizeAtEnd, 44u + dataBytesAtEnd);
  EXPECT_EQ(sizeAtEnd, std::filesystem::file_size(path));
  // The last word starts before the end of the audio.
  EXPECT_LT(sink.times.back(), static_cast<int64_t>(dataBytesAtEnd / 2 * 1000 / 22050));
  std::filesystem::remove(path);
}

TEST(SpeechEngineStart, DataFolderThatDoesNotExistIsAFailureNamingIt) {
  system::PlainUiLoop loop;
  try {
    EspeakVoiceFactory factory(loop, AudioChoice::Silent(), "/nonexistent-voice-data");
    FAIL() << "started without voice data";
  } catch (const platform::Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("/nonexistent-voice-data"), std::string::npos)
        << failure.what();
  }
}

TEST(SpeechEngineStartDeathTest, UnreadableVoiceDataIsAFailureNotAnExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process whose engine has not started yet
  std::string empty = (std::filesystem::temp_directory_path() / "lectryn-empty-voice-data").string();
  std::filesystem::create_directories(empty);
  EXPECT_EXIT(
      {
        system::PlainUiLoop loop;
        try {
          EspeakVoiceFactory factory(loop, AudioChoice::Silent(), empty);
        } catch (const platform::Failure& failure) {
          std::fprintf(stderr, "%s\n", failure.what());
          std::exit(3);
        }
        std::exit(0);
      },
      ::testing::ExitedWithCode(3), "voice data in .*lectryn-empty-voice-data.*espeak-ng-data");
}

}  // namespace
}  // namespace lectryn::speech
