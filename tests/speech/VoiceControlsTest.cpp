// The listener's controls on the voice: speed, pause and resume, going back by sentences, voices per
// language.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <span>

#include "speech/SilentOutput.h"
#include "speech/SpeakingVoice.h"
#include "speech/SpokenWords.h"

namespace lectryn::speech {
namespace {

constexpr const char* kSentences = "One two. Three four. Five six. Seven eight.";

Log WordsOf(const std::u16string& text) {
  Log words;
  for (const TextWord& word : SplitSpokenWords(text)) {
    words.push_back(ToUtf8(text.substr(word.startUtf16, word.lengthUtf16)));
  }
  words.push_back("END");
  return words;
}

// Keeps every sample it is given, and where each flush dropped what it held.
class RecordingOutput : public SilentOutput {
 public:
  struct FlushAt {
    int64_t written;
    int64_t played;
  };
  RecordingOutput() : SilentOutput(kSpeed) {}
  void Write(std::span<const int16_t> samples) override {
    {
      std::lock_guard lock(mutex_);
      samples_.insert(samples_.end(), samples.begin(), samples.end());
    }
    SilentOutput::Write(samples);
  }
  void Flush() override {
    {
      std::lock_guard lock(mutex_);
      flushes_.push_back({static_cast<int64_t>(samples_.size()), SilentOutput::PlayedSamples()});
    }
    SilentOutput::Flush();
  }
  std::vector<int16_t> Samples() {
    std::lock_guard lock(mutex_);
    return samples_;
  }
  std::vector<FlushAt> Flushes() {
    std::lock_guard lock(mutex_);
    return flushes_;
  }

 private:
  std::mutex mutex_;
  std::vector<int16_t> samples_;
  std::vector<FlushAt> flushes_;
};

// A voice whose output keeps what it is given.
class RecordedVoice : public SpeakingVoice {
 protected:
  RecordedVoice() { Record(); }

  void Record() {
    voice.reset();
    auto recording = std::make_unique<RecordingOutput>();
    output = recording.get();
    factory = std::make_unique<EspeakVoiceFactory>(loop, std::move(recording));
    voice = factory->CreateVoice(sink);
    sink = Recorder{};
  }
  // The audio of a text read through, on a fresh voice prepared by the caller.
  std::vector<int16_t> AudioOf(const std::u16string& text,
                               const std::function<void(platform::SpVoice&)>& prepare = {}) {
    Record();
    if (prepare) prepare(*voice);
    Speak(text);
    RunUntilEnds(1);
    return output->Samples();
  }
  // Runs the loop for a while of real time.
  void Wait(int64_t ms) {
    bool done = false;
    loop.PostDelayed(ms, [&] { done = true; });
    loop.Run([&] { return done; });
  }

  RecordingOutput* output = nullptr;
};

TEST_F(SpeakingVoice, TwiceTheRateHalvesTheAudioAndKeepsEveryWord) {
  const std::u16string text = FromUtf8(
      "Reading faster should leave every word in its place. The listener still hears each one, "
      "in order, only sooner than before.");
  auto readAt = [&](int32_t rate) {
    sink = Recorder{};
    voice->SetRate(rate);
    Speak(text);
    RunUntilEnds(1);
    EXPECT_EQ(WordsOf(text), sink.log) << "at " << rate;
    return sink.endMs;
  };
  int64_t own = readAt(0);
  // The synthesiser varies its audio a little from one reading to the next.
  EXPECT_NEAR(own, readAt(factory->DefaultRate()), own / 25);
  int64_t fast = readAt(350);
  EXPECT_GT(fast, own * 4 / 10);
  EXPECT_LT(fast, own * 65 / 100);
  EXPECT_GT(readAt(80), own * 17 / 10);

  voice->SetRate(10);
  EXPECT_EQ(platform::kMinWordsPerMinute, voice->Rate());
  voice->SetRate(1000);
  EXPECT_EQ(platform::kMaxWordsPerMinute, voice->Rate());
}

TEST_F(SpeakingVoice, RateChangeWhileSpeakingGoesOnFromTheNextWordAtTheNewSpeed) {
  const std::u16string text = FromUtf8(
      "The first words are read at the usual speed. Then the listener asks for more speed, and the "
      "words after that come twice as fast. None of them is lost or said twice. The end comes sooner.");
  Speak(text);
  RunUntilEnds(1);
  std::vector<int64_t> usual = sink.times;
  int64_t usualEnd = sink.endMs;

  constexpr size_t kChangeAt = 6;  // "usual"
  sink = Recorder{};
  sink.onWord = [&](const std::string&) {
    if (sink.log.size() == kChangeAt + 1) voice->SetRate(350);
  };
  Speak(text);
  RunUntilEnds(1);
  EXPECT_EQ(WordsOf(text), sink.log);
  ASSERT_EQ(usual.size(), sink.times.size());
  // The synthesiser varies its timing by a percent or two from one reading to the next.
  for (size_t i = 0; i <= kChangeAt; ++i) EXPECT_NEAR(usual[i], sink.times[i], 20 + usual[i] / 25) << i;
  for (size_t i = 1; i < sink.times.size(); ++i) EXPECT_LT(sink.times[i - 1], sink.times[i]) << i;
  // From a few words on, all of it at the new speed.
  size_t from = kChangeAt + 4;
  int64_t before = usual.back() - usual[from];
  int64_t after = sink.times.back() - sink.times[from];
  EXPECT_GT(after, before * 4 / 10);
  EXPECT_LT(after, before * 65 / 100);
  EXPECT_LT(sink.endMs, usualEnd * 7 / 10);
}

TEST_F(RecordedVoice, PauseHoldsTheWordsAndResumeGoesOnFromTheSampleHeard) {
  const std::u16string text = FromUtf8(kSentences);
  int64_t unpaused = static_cast<int64_t>(AudioOf(text).size());

  Record();
  int64_t playedAtPause = -1;
  size_t wordsAtPause = 0;
  int64_t playedWhilePaused = -1;
  sink.onWord = [&](const std::string& word) {
    if (word != "Three") return;
    playedAtPause = output->PlayedSamples();
    ASSERT_TRUE(voice->Pause());
    EXPECT_TRUE(voice->Pause());  // already paused
    EXPECT_TRUE(voice->Status().Paused);
    wordsAtPause = sink.log.size();
    loop.PostDelayed(150, [&] { playedWhilePaused = output->PlayedSamples(); });
    loop.PostDelayed(350, [&] {
      EXPECT_EQ(wordsAtPause, sink.log.size()) << "a word came while paused";
      EXPECT_EQ(playedWhilePaused, output->PlayedSamples()) << "sound went on while paused";
      EXPECT_EQ(2, State());
      voice->Resume();
      EXPECT_FALSE(voice->Status().Paused);
    });
  };
  Speak(text);
  RunUntilEnds(1);
  EXPECT_EQ(WordsOf(text), sink.log);

  // After the pause the output is given again what it dropped, from the sample the listener had reached.
  std::vector<RecordingOutput::FlushAt> flushes = output->Flushes();
  ASSERT_EQ(1u, flushes.size());
  std::vector<int16_t> samples = output->Samples();
  auto dropped = samples.begin() + flushes[0].written;
  int64_t resumedAt = -1;
  for (int64_t at = playedAtPause; at <= flushes[0].played && resumedAt < 0; ++at) {
    if (std::equal(samples.begin() + at, dropped, dropped)) resumedAt = at;
  }
  ASSERT_GE(resumedAt, 0) << "the audio after the pause does not go on from a sample heard before it";
  // Nothing else went missing or came twice; the synthesiser varies its length by a percent or two.
  int64_t heard = resumedAt + static_cast<int64_t>(samples.end() - dropped);
  EXPECT_NEAR(unpaused, heard, unpaused / 20);
}

TEST_F(RecordedVoice, PausedVoiceStaysPausedThroughSpeakAndSkip) {
  Speak(kSentences);
  sink.onWord = [&](const std::string& word) {
    if (word != "two") return;
    ASSERT_TRUE(voice->Pause());
    size_t words = sink.log.size();
    Speak("Other words. Last ones.");
    EXPECT_EQ(1, voice->Skip(u"SENTENCE", 1));
    EXPECT_TRUE(voice->Status().Paused);
    loop.PostDelayed(200, [&, words] {
      EXPECT_EQ(words, sink.log.size()) << "a word came while paused";
      voice->Resume();
    });
  };
  RunUntilEnds(1);
  EXPECT_EQ((Log{"One", "two", "Last", "ones", "END"}), sink.log);
}

TEST_F(RecordedVoice, DroppingAPausedVoiceStopsItAndTheNextVoiceIsHeard) {
  Speak(kSentences);
  sink.onWord = [&](const std::string& word) {
    if (word == "two") {
      ASSERT_TRUE(voice->Pause());
    }
  };
  auto guard = loop.StartTimer(60000, [&] { loop.Quit(); });
  ASSERT_TRUE(loop.Run([&] { return voice->Status().Paused; }));
  voice.reset();
  Recorder next;
  next.text = u"Next voice.";
  auto fresh = factory->CreateVoice(next);
  fresh->Speak(next.text, platform::SVSFlagsAsync);
  ASSERT_TRUE(loop.Run([&] { return next.ends == 1; }));
  loop.StopTimer(guard);
  EXPECT_EQ((Log{"One", "two"}), sink.log);
  EXPECT_EQ((Log{"Next", "voice", "END"}), next.log);
}

struct BackCase {
  const char* during;
  int32_t count;
  int32_t moved;
  Log expected;  // each word with the sentence the voice said it was in while it was heard
};

void PrintTo(const BackCase& c, std::ostream* out) {
  *out << "skip " << c.count << " during " << c.during;
}

class VoiceSkipBack : public SpeakingVoice, public ::testing::WithParamInterface<BackCase> {};

TEST_P(VoiceSkipBack, GoesBackBySentencesAndStopsAtTheFirst) {
  bool skipped = false;
  sink.onWord = [&](const std::string& word) {
    sink.log.back() += ":" + std::to_string(voice->Status().CurrentSentence);
    if (word == GetParam().during && !skipped) {
      skipped = true;
      EXPECT_EQ(GetParam().moved, voice->Skip(u"SENTENCE", GetParam().count));
    }
  };
  Speak(kSentences);
  RunUntilEnds(1);
  EXPECT_EQ(GetParam().expected, sink.log);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, VoiceSkipBack,
    ::testing::Values(BackCase{"One",
                               -1,
                               0,
                               {"One:0", "One:0", "two:0", "Three:1", "four:1", "Five:2", "six:2", "Seven:3",
                                "eight:3", "END"}},
                      BackCase{"four",
                               0,
                               0,
                               {"One:0", "two:0", "Three:1", "four:1", "Three:1", "four:1", "Five:2", "six:2",
                                "Seven:3", "eight:3", "END"}},
                      BackCase{"Five",
                               -1,
                               -1,
                               {"One:0", "two:0", "Three:1", "four:1", "Five:2", "Three:1", "four:1",
                                "Five:2", "six:2", "Seven:3", "eight:3", "END"}},
                      BackCase{
                          "eight",
                          -2,
                          -2,
                          {"One:0", "two:0", "Three:1", "four:1", "Five:2", "six:2", "Seven:3", "eight:3",
                           "Three:1", "four:1", "Five:2", "six:2", "Seven:3", "eight:3", "END"}},
                      BackCase{"Five",
                               -5,
                               -2,
                               {"One:0", "two:0", "Three:1", "four:1", "Five:2", "One:0", "two:0", "Three:1",
                                "four:1", "Five:2", "six:2", "Seven:3", "eight:3", "END"}}));

TEST_F(SpeakingVoice, SentenceHeardGrowsWithinTheSentenceAndStartsAgainAtTheNext) {
  std::vector<int64_t> heard;
  sink.onWord = [&](const std::string&) { heard.push_back(voice->Status().SentenceHeardMs); };
  Speak(
      "Many words make this first sentence long enough to be heard for several seconds before the "
      "second one, which is short, begins. Next.");
  RunUntilEnds(1);
  ASSERT_EQ(23u, heard.size());
  // When a word is reported its first sample has been heard; how much more depends on the machine.
  for (size_t i = 0; i < 22; ++i) EXPECT_GE(heard[i], sink.times[i] - sink.times[0] - 1) << i;
  EXPECT_LT(heard[22], heard[21]) << "the count did not start again at the second sentence";
}

TEST_F(SpeakingVoice, StartAtLastSentenceReadsOnlyTheLastOneAndGoesBackFromIt) {
  Speak(kSentences, platform::SVSFlagsAsync | platform::SVSFStartAtLastSentence);
  RunUntilEnds(1);
  EXPECT_EQ((Log{"Seven", "eight", "END"}), sink.log);

  sink = Recorder{};
  Speak("Only one sentence here", platform::SVSFStartAtLastSentence);
  RunUntilEnds(1);
  EXPECT_EQ((Log{"Only", "one", "sentence", "here", "END"}), sink.log);

  sink = Recorder{};
  Speak("One two. Three four.\n\n  ", platform::SVSFStartAtLastSentence);
  RunUntilEnds(1);
  EXPECT_EQ((Log{"Three", "four", "END"}), sink.log);

  // Going back before a word of it was heard, even before the last sentence is known.
  sink = Recorder{};
  Speak(kSentences, platform::SVSFStartAtLastSentence);
  voice->Skip(u"SENTENCE", -1);
  RunUntilEnds(1);
  EXPECT_EQ((Log{"Five", "six", "Seven", "eight", "END"}), sink.log);
}

const platform::InstalledVoice* Find(const std::vector<platform::InstalledVoice>& voices,
                                     const std::string& identifier) {
  auto found = std::find_if(voices.begin(), voices.end(),
                            [&](const platform::InstalledVoice& v) { return v.identifier == identifier; });
  return found == voices.end() ? nullptr : &*found;
}

TEST_F(RecordedVoice, InstalledVoicesComeWithVariantsOnceALanguageAndLanguageTags) {
  std::vector<platform::InstalledVoice> voices = factory->InstalledVoices();
  const platform::InstalledVoice* rp = Find(voices, "gmw/en-GB-x-rp");
  ASSERT_NE(nullptr, rp);
  EXPECT_EQ(u"English (Received Pronunciation)", rp->name);
  EXPECT_EQ("en-GB-x-rp", rp->languages.at(0));
  // The female variants come once a language, with one of its voices.
  size_t english = 0;
  const platform::InstalledVoice* female = nullptr;
  for (const platform::InstalledVoice& voice : voices) {
    if (platform::ChoiceLanguageOf(voice.languages.at(0)) != "en") continue;
    ++english;
    if (voice.identifier.ends_with("+f2")) female = &voice;
    EXPECT_FALSE(voice.identifier.ends_with("+croak")) << voice.identifier;
  }
  ASSERT_NE(nullptr, female);
  EXPECT_TRUE(platform::ToUtf8(female->name).ends_with(", female 2")) << platform::ToUtf8(female->name);
  const platform::InstalledVoice* carrier = Find(voices, female->identifier.substr(0, female->identifier.find('+')));
  ASSERT_NE(nullptr, carrier);
  EXPECT_EQ(carrier->languages, female->languages);
  EXPECT_LT(english, 60u) << "every variant listed with every English voice";

  std::string arabic = factory->DefaultVoiceFor(u"ar");
  const platform::InstalledVoice* found = Find(voices, arabic);
  ASSERT_NE(nullptr, found) << arabic;
  EXPECT_NE(found->languages.end(), std::find(found->languages.begin(), found->languages.end(), "ar"));
}

// The median fundamental frequency of the voiced parts of the audio, in hertz: tells a female voice from
// a male one.
double MedianPitch(const std::vector<int16_t>& audio) {
  constexpr size_t kFrame = kSampleRate / 25;
  constexpr size_t kMinLag = kSampleRate / 400;
  constexpr size_t kMaxLag = kSampleRate / 60;
  std::vector<double> pitches;
  for (size_t at = 0; at + kFrame + kMaxLag <= audio.size(); at += kFrame) {
    double energy = 0;
    for (size_t i = at; i < at + kFrame; ++i) energy += double(audio[i]) * audio[i];
    if (energy / kFrame < 1000.0 * 1000.0) continue;  // quiet, or a pause
    double best = 0;
    size_t bestLag = 0;
    for (size_t lag = kMinLag; lag <= kMaxLag; ++lag) {
      double product = 0, shifted = 0;
      for (size_t i = at; i < at + kFrame; ++i) {
        product += double(audio[i]) * audio[i + lag];
        shifted += double(audio[i + lag]) * audio[i + lag];
      }
      double correlation = product / std::sqrt(energy * shifted + 1);
      if (correlation > best) {
        best = correlation;
        bestLag = lag;
      }
    }
    if (best > 0.6) pitches.push_back(double(kSampleRate) / bestLag);
  }
  if (pitches.empty()) return 0;
  std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
  return pitches[pitches.size() / 2];
}

TEST_F(RecordedVoice, ChosenVoiceReadsItsLanguageOnly) {
  const std::u16string english = u"Hello there, how are you today?";
  const std::u16string arabic = u"مرحبا بكم، كيف حالكم اليوم؟";
  auto inArabic = [](platform::SpVoice& v) { v.SetLanguage(u"ar"); };
  auto withFemale = [](platform::SpVoice& v) { v.SetVoiceChoices({{"en", "gmw/en-US+f2"}}); };

  double englishDefault = MedianPitch(AudioOf(english));
  ASSERT_GT(englishDefault, 0);
  EXPECT_GT(MedianPitch(AudioOf(english, withFemale)), englishDefault * 1.3);
  double arabicDefault = MedianPitch(AudioOf(arabic, inArabic));
  ASSERT_GT(arabicDefault, 0);
  EXPECT_NEAR(arabicDefault,
              MedianPitch(AudioOf(arabic,
                                  [&](platform::SpVoice& v) {
                                    withFemale(v);
                                    inArabic(v);
                                  })),
              arabicDefault * 0.15);
}

TEST_F(RecordedVoice, ChosenVoiceThatDoesNotLoadFallsBackToTheDefaultSayingSoOnce) {
  const std::u16string english = u"Hello there, how are you today?";
  // The engine says it once per process: a name of its own for each run of the test.
  static int runs = 0;
  std::string gone = "gmw/no-such-voice-" + std::to_string(++runs);
  auto missing = [&](platform::SpVoice& v) { v.SetVoiceChoices({{"en", gone}}); };
  auto female = [](platform::SpVoice& v) { v.SetVoiceChoices({{"en", "gmw/en-US+f2"}}); };
  double englishDefault = MedianPitch(AudioOf(english));
  ::testing::internal::CaptureStderr();
  AudioOf(english, female);  // the voice in use is not the default when the missing one is asked for
  double first = MedianPitch(AudioOf(english, missing));
  double second = MedianPitch(AudioOf(english, missing));
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NEAR(englishDefault, first, englishDefault * 0.15);
  EXPECT_NEAR(englishDefault, second, englishDefault * 0.15);
  EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
  EXPECT_NE(std::string::npos, said.find(gone)) << said;
}

// The choices are stored for both engines: one of the desktop's voices is no voice of this engine, so
// the language is read by its default voice, without a word about a voice that did not load.
TEST_F(RecordedVoice, ChoiceOfTheDesktopsVoicesIsNoChoiceHereAndSaysNothing) {
  const std::u16string english = u"Hello there, how are you today?";
  auto desktops = [](platform::SpVoice& v) {
    v.SetVoiceChoices({{"en", "speechd:espeak-ng:English (America)"}, {"fr", "speechd:"}});
  };
  auto female = [](platform::SpVoice& v) { v.SetVoiceChoices({{"en", "gmw/en-US+f2"}}); };
  double englishDefault = MedianPitch(AudioOf(english));
  ASSERT_GT(englishDefault, 0);
  ::testing::internal::CaptureStderr();
  AudioOf(english, female);  // the voice in use is not the default when the other engine's is asked for
  double chosen = MedianPitch(AudioOf(english, desktops));
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NEAR(englishDefault, chosen, englishDefault * 0.15);
  EXPECT_EQ("", said);
}

}  // namespace
}  // namespace lectryn::speech
