// The desktop's voices against a private speech-dispatcher per test.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "speech/SpokenWords.h"
#include "speech/speechd/SpeechServer.h"
#include "speech/speechd/SpeechdVoiceFactory.h"
#include "system/PlainUiLoop.h"

namespace lectryn::speech::speechd {
namespace {

using platform::FromUtf8;
using platform::ToUtf8;
using Clock = std::chrono::steady_clock;

const char kPage[] =
    "Reading aloud helps many people. It keeps the eyes on the text & the mind on its sense, "
    "\"word by word\". A <voice> that follows the page is easy to follow too; numbers such as 42 or 3.5 "
    "are read as well. The last sentence ends here.";

class Recorder : public platform::VoiceEvents {
 public:
  void pVoice_Word(int32_t, int64_t streamMs, int32_t position, int32_t length) override {
    words.push_back(ToUtf8(text.substr(position, length)));
    times.push_back(streamMs);
    if (voice) estimated.push_back(voice->WordTimesEstimated());
    if (onWord) onWord(words.back());
  }
  void pVoice_EndStream(int32_t, int64_t) override {
    ++ends;
    if (onEnd) onEnd();
  }
  void pVoice_Failed(const std::string& message) override {
    failures.push_back(message);
    failedAt = Clock::now();
  }

  std::u16string text;
  platform::SpVoice* voice = nullptr;
  std::vector<std::string> words;
  std::vector<int64_t> times;
  std::vector<bool> estimated;
  int ends = 0;
  std::vector<std::string> failures;
  Clock::time_point failedAt;
  std::function<void(const std::string&)> onWord;
  std::function<void()> onEnd;
};

std::vector<std::string> WordsOf(const std::u16string& text) {
  std::vector<std::string> words;
  for (const TextWord& word : SplitSpokenWords(text))
    words.push_back(ToUtf8(text.substr(word.startUtf16, word.lengthUtf16)));
  return words;
}

class SpeechdVoiceTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    server = std::make_unique<SpeechServer>(Module());
    ASSERT_TRUE(server->Ready()) << server->Problem();
    factory = std::make_unique<SpeechdVoiceFactory>(loop, server->Address());
    voice = factory->CreateVoice(sink);
    sink.voice = voice.get();
  }

  virtual std::string Module() const { return GetParam(); }

  void Speak(const std::u16string& text) {
    sink.text = text;
    voice->Speak(text, platform::SVSFlagsAsync);
  }

  // Runs the loop until done or the limit, a guard against a hang and not a measurement.
  bool RunUntil(const std::function<bool()>& done, int32_t limitMs = 60000) {
    auto guard = loop.StartTimer(limitMs, [&] { loop.Quit(); });
    bool finished = done() || loop.Run(done);
    loop.StopTimer(guard);
    return finished;
  }
  void RunFor(int32_t ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    RunUntil([&] { return Clock::now() >= end; }, ms + 1000);
  }

  system::PlainUiLoop loop;
  Recorder sink;
  std::unique_ptr<SpeechServer> server;
  std::unique_ptr<SpeechdVoiceFactory> factory;
  std::shared_ptr<platform::SpVoice> voice;
};

TEST_P(SpeechdVoiceTest, ReadsEveryWordOnceInOrder) {
  std::u16string page = FromUtf8(kPage);
  Speak(page);
  EXPECT_TRUE(platform::IsSpeaking(*voice));
  ASSERT_TRUE(RunUntil([&] { return sink.ends > 0 || !sink.failures.empty(); }));
  ASSERT_TRUE(sink.failures.empty()) << sink.failures.front();
  EXPECT_EQ(WordsOf(page), sink.words);
  EXPECT_EQ(1, sink.ends);
  EXPECT_FALSE(platform::IsSpeaking(*voice));
  EXPECT_TRUE(std::is_sorted(sink.times.begin(), sink.times.end()));
  // Modules with marks time the words by the sound; flite reports none, so its words are estimated.
  bool markless = std::string(GetParam()) == "flite";
  for (size_t i = 0; i < sink.estimated.size(); ++i)
    EXPECT_EQ(markless, sink.estimated[i]) << "word " << i << " " << sink.words[i];
}

INSTANTIATE_TEST_SUITE_P(Modules, SpeechdVoiceTest, ::testing::Values("espeak-ng", "festival", "flite"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::erase(name, '-');
                           return name;
                         });

class SpeechdControls : public SpeechdVoiceTest {
 protected:
  std::string Module() const override { return "espeak-ng"; }
  // Many sentences, so that the reading is still going when a test acts on it.
  static std::u16string LongText() {
    std::string text;
    for (int i = 1; i <= 40; ++i) text += "Sentence number " + std::to_string(i) + " has six words. ";
    return FromUtf8(text);
  }
};

TEST_F(SpeechdControls, DroppedVoiceRaisesNothingMore) {
  sink.onWord = [&](const std::string&) {
    if (sink.words.size() == 3) {
      sink.voice = nullptr;
      voice.reset();  // what stops a reading
    }
  };
  Speak(LongText());
  ASSERT_TRUE(RunUntil([&] { return !voice; }));
  RunFor(600);
  EXPECT_EQ(3u, sink.words.size());
  EXPECT_EQ(0, sink.ends);
  EXPECT_TRUE(sink.failures.empty());
}

TEST_F(SpeechdControls, SkipGoesOnFromTheNextSentenceAndBack) {
  std::u16string text = FromUtf8("One two three. Four five six. Seven eight. Nine ten.");
  bool skipped = false;
  sink.onWord = [&](const std::string& word) {
    if (word == "two" && !skipped) {
      skipped = true;
      EXPECT_EQ(1, voice->Skip(u"SENTENCE", 1));
    } else if (word == "eight" && std::count(sink.words.begin(), sink.words.end(), "eight") == 1) {
      EXPECT_EQ(-1, voice->Skip(u"SENTENCE", -1));  // back to "Four five six."
    }
  };
  Speak(text);
  ASSERT_TRUE(RunUntil([&] { return sink.ends > 0 || !sink.failures.empty(); }));
  EXPECT_EQ((std::vector<std::string>{"One", "two", "Four", "five", "six", "Seven", "eight", "Four", "five",
                                      "six", "Seven", "eight", "Nine", "ten"}),
            sink.words);
  EXPECT_EQ(1, sink.ends);
  EXPECT_THROW(voice->Skip(u"WORD", 1), platform::Failure);
}

TEST_F(SpeechdControls, SkipPastTheEndEndsOnce) {
  sink.onWord = [&](const std::string& word) {
    if (word == "One") voice->Skip(u"SENTENCE", 5);
  };
  Speak(u"One two. Three four.");
  ASSERT_TRUE(RunUntil([&] { return sink.ends > 0; }));
  RunFor(300);
  EXPECT_EQ((std::vector<std::string>{"One"}), sink.words);
  EXPECT_EQ(1, sink.ends);
}

TEST_F(SpeechdControls, PauseHoldsTheWordsUntilResume) {
  bool paused = false;
  sink.onWord = [&](const std::string&) {
    if (sink.words.size() == 2 && !paused) {
      paused = true;
      EXPECT_TRUE(voice->Pause());
    }
  };
  std::u16string text = FromUtf8("Alpha beta gamma delta. Epsilon zeta eta theta.");
  Speak(text);
  ASSERT_TRUE(RunUntil([&] { return paused; }));
  RunFor(500);
  EXPECT_EQ(2u, sink.words.size());
  EXPECT_TRUE(voice->Status().Paused);
  EXPECT_TRUE(platform::IsSpeaking(*voice));
  voice->Resume();
  ASSERT_TRUE(RunUntil([&] { return sink.ends > 0; }));
  EXPECT_EQ(WordsOf(text), sink.words);
}

TEST_F(SpeechdControls, NewSpeedGoesOnFromTheNextWord) {
  sink.onWord = [&](const std::string&) {
    if (sink.words.size() == 3) voice->SetRate(300);
  };
  std::u16string text = FromUtf8("Alpha beta gamma delta epsilon. Zeta eta theta.");
  Speak(text);
  ASSERT_TRUE(RunUntil([&] { return sink.ends > 0; }));
  EXPECT_EQ(WordsOf(text), sink.words);
  EXPECT_EQ(300, voice->Rate());
}

TEST_F(SpeechdControls, ChoiceOfModuleWithoutMarksIsEstimated) {
  voice->SetVoiceChoices({{"en", "speechd:flite:"}});
  voice->SetLanguage(u"en-GB");
  std::u16string text = FromUtf8("One two three. Four five.");
  Speak(text);
  ASSERT_TRUE(RunUntil([&] { return sink.ends > 0 || !sink.failures.empty(); }));
  EXPECT_EQ(WordsOf(text), sink.words);
  ASSERT_FALSE(sink.estimated.empty());
  EXPECT_TRUE(sink.estimated.back());
}

TEST_F(SpeechdControls, ServerDeathEndsTheReadingAndTheNextReadingReconnects) {
  Clock::time_point killedAt;
  sink.onWord = [&](const std::string&) {
    if (sink.words.size() == 3) {
      killedAt = Clock::now();
      server->Kill();
    }
  };
  Speak(LongText());
  ASSERT_TRUE(RunUntil([&] { return !sink.failures.empty() || sink.ends > 0; }, 10000));
  RunFor(300);
  ASSERT_EQ(1u, sink.failures.size());
  EXPECT_NE(std::string::npos, sink.failures[0].find("speech-dispatcher"));
  EXPECT_LT(sink.failedAt - killedAt, std::chrono::seconds(1));
  EXPECT_EQ(0, sink.ends);
  EXPECT_FALSE(platform::IsSpeaking(*voice));

  sink.onWord = nullptr;
  ASSERT_TRUE(server->Restart()) << server->Problem();
  sink.words.clear();
  std::u16string again = FromUtf8("Back again.");
  Speak(again);
  ASSERT_TRUE(RunUntil([&] { return sink.ends > 0 || sink.failures.size() > 1; }));
  EXPECT_EQ(1u, sink.failures.size());
  EXPECT_EQ(WordsOf(again), sink.words);
}

TEST_F(SpeechdControls, ListsModulesAndTheirVoices) {
  std::vector<platform::InstalledVoice> voices = factory->InstalledVoices();
  auto find = [&](const std::string& identifier) {
    return std::find_if(voices.begin(), voices.end(), [&](const auto& v) { return v.identifier == identifier; });
  };
  ASSERT_NE(voices.end(), find("speechd:"));
  ASSERT_NE(voices.end(), find("speechd:espeak-ng:"));
  ASSERT_NE(voices.end(), find("speechd:flite:"));
  EXPECT_NE(voices.end(), find("speechd:flite:kal16"));
  bool french = std::any_of(voices.begin(), voices.end(), [](const auto& v) {
    return v.identifier.starts_with("speechd:espeak-ng:") && !v.languages.empty() &&
           platform::ChoiceLanguageOf(v.languages[0]) == "fr";
  });
  EXPECT_TRUE(french);
  // Variants are left out: the module lists each voice again with each of them.
  EXPECT_LT(voices.size(), 1000u);
  EXPECT_EQ("speechd:", factory->DefaultVoiceFor(u"fr"));
}

TEST(SpeechdUnreachable, SpeakFailsWithOneMessageAndNothingHangs) {
  system::PlainUiLoop loop;
  Recorder sink;
  SpeechdVoiceFactory factory(loop, "unix_socket:/nonexistent/lectryn/speechd.sock");
  auto voice = factory.CreateVoice(sink);
  sink.text = u"Hello there.";
  voice->Speak(sink.text, platform::SVSFlagsAsync);
  auto guard = loop.StartTimer(20000, [&] { loop.Quit(); });
  loop.Run([&] { return !sink.failures.empty(); });
  loop.StopTimer(guard);
  ASSERT_EQ(1u, sink.failures.size());
  EXPECT_NE(std::string::npos, sink.failures[0].find("cannot reach speech-dispatcher"));
  EXPECT_EQ(std::string::npos, sink.failures[0].find('\n'));
  EXPECT_FALSE(platform::IsSpeaking(*voice));
  EXPECT_TRUE(factory.InstalledVoices().empty());
  EXPECT_THROW(factory.CreateRecorder("/tmp/x.wav"), platform::Failure);
}

TEST(SpeechdUnreachable, AddressThatIsNotUnderstoodIsSaid) {
  system::PlainUiLoop loop;
  Recorder sink;
  SpeechdVoiceFactory factory(loop, "carrier-pigeon:home");
  auto voice = factory.CreateVoice(sink);
  voice->Speak(u"Hi.", platform::SVSFlagsAsync);
  auto guard = loop.StartTimer(5000, [&] { loop.Quit(); });
  loop.Run([&] { return !sink.failures.empty(); });
  loop.StopTimer(guard);
  ASSERT_EQ(1u, sink.failures.size());
  EXPECT_NE(std::string::npos, sink.failures[0].find("carrier-pigeon:home"));
}

}  // namespace
}  // namespace lectryn::speech::speechd
