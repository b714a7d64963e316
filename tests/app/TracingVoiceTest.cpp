#include "app/TracingVoice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ForwardingVoice.h"
#include "app/MemoryFile.h"
#include "app/Trace.h"
#include "narration/Narration.h"
#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

namespace lectryn::app {
namespace {

// A sink that drops its own voice at the end of the text, as the narration may.
struct Sink : platform::VoiceEvents {
  std::shared_ptr<platform::SpVoice> voice;
  std::vector<std::string>* log = nullptr;
  void pVoice_Word(int32_t, int64_t, int32_t position, int32_t) override {
    log->push_back("word " + std::to_string(position));
  }
  void pVoice_EndStream(int32_t, int64_t) override {
    log->push_back("end");
    voice.reset();
  }
  void pVoice_Failed(const std::string& message) override {
    log->push_back("failed " + message);
    voice.reset();
  }
};

TEST(TracingVoice, HooksSeeSpeakWordsAfterTheSinkAndEndBeforeIt) {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory scripted(loop, 10);
  std::vector<std::string> log;
  VoiceHooks hooks;
  hooks.speak = [&](const std::u16string& text, const std::u16string&) {
    log.push_back("speak " + std::to_string(text.size()));
  };
  hooks.afterWord = [&](int32_t position, int32_t, int64_t ms) {
    log.push_back("traced " + std::to_string(position) + "@" + std::to_string(ms));
  };
  hooks.end = [&](int64_t ms) { log.push_back("traced end@" + std::to_string(ms)); };
  TracingVoiceFactory factory(scripted, hooks);
  Sink sink;
  sink.log = &log;
  sink.voice = factory.CreateVoice(sink);
  sink.voice->Speak(u"ab cd", platform::SVSFlagsAsync);
  EXPECT_EQ(2, sink.voice->Status().RunningState);
  loop.RunUntilIdle();
  EXPECT_EQ((std::vector<std::string>{"speak 5", "word 0", "traced 0@0", "word 3", "traced 3@10",
                                      "traced end@20", "end"}),
            log);
  EXPECT_FALSE(sink.voice);  // dropped inside its own event without harm
}

TEST(TracingVoice, AFailureIsTracedBeforeTheSinkLearnsOfIt) {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory scripted(loop, 10);
  std::vector<std::string> log;
  VoiceHooks hooks;
  hooks.failed = [&](const std::string& message) { log.push_back("traced failed " + message); };
  TracingVoiceFactory factory(scripted, hooks);
  Sink sink;
  sink.log = &log;
  sink.voice = factory.CreateVoice(sink);
  scripted.FailAfterWords(1, "gone");
  sink.voice->Speak(u"ab cd", platform::SVSFlagsAsync);
  loop.RunUntilIdle();
  EXPECT_EQ((std::vector<std::string>{"word 0", "traced failed gone", "failed gone"}), log);
  EXPECT_FALSE(sink.voice);  // dropped inside its own failure without harm
}

// Voices of an engine that times its words by estimate, with two engines to choose from.
struct EstimatingVoice : testing::ForwardingVoice {
  bool WordTimesEstimated() const override { return true; }
};
class EstimatingVoices : public testing::ForwardingVoices<EstimatingVoice> {
 public:
  using ForwardingVoices::ForwardingVoices;
  std::vector<platform::VoiceEngine> Engines() const override {
    return {{"espeak", u"Ours"}, {"speechd", u"Theirs"}};
  }
  std::string EngineInUse() const override { return inUse; }
  bool UseEngine(const std::string& key) override {
    inUse = key;
    return true;
  }
  platform::VoiceFactory& EngineFactory(const std::string& key) override {
    return key == "speechd" ? inner_ : *this;
  }
  std::string inUse = "espeak";
};

// The trace of the narration's words says which were timed by estimate: the narration's voice is the
// tracing one, which answers for the voice it wraps.
TEST(TracingVoice, WordsOfAVoiceThatEstimatesAreTracedAsEstimated) {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory scripted(loop, 10);
  EstimatingVoices estimating(scripted);
  testing::MemoryFile file;
  Trace trace(file.get(), [] { return 0; });
  narration::Narration* reading = nullptr;
  VoiceHooks hooks;
  hooks.afterWord = [&](int32_t position, int32_t length, int64_t ms) {
    trace.Word(WordOfNarration(*reading, position, length, ms));
  };
  for (platform::VoiceFactory* voices :
       {static_cast<platform::VoiceFactory*>(&scripted), static_cast<platform::VoiceFactory*>(&estimating)}) {
    TracingVoiceFactory tracing(*voices, hooks);
    narration::Narration main(tracing);
    reading = &main;
    main.tbSpeach.SetText(u"hi");
    main.cbStart_Click();
    loop.RunUntilIdle();
  }
  EXPECT_EQ(
      "{\"event\":\"word\",\"position\":0,\"length\":2,\"word\":\"hi\",\"selection\":\"\","
      "\"selectionStart\":null,\"selectionEnd\":null,\"audioMs\":0,\"t\":0}\n"
      "{\"event\":\"word\",\"position\":0,\"length\":2,\"word\":\"hi\",\"selection\":\"\","
      "\"selectionStart\":null,\"selectionEnd\":null,\"audioMs\":0,\"estimated\":true,\"t\":0}\n",
      file.Text());
}

// The Voices dialog lists and chooses engines through the program's factory, traced or not; voices
// made for the engine in use are traced.
TEST(TracingVoice, EnginesAreTheWrappedFactorysAndItsOwnKeyStaysTraced) {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory scripted(loop, 10);
  EstimatingVoices engines(scripted);
  TracingVoiceFactory factory(engines, {});
  ASSERT_EQ(2u, factory.Engines().size());
  EXPECT_EQ("speechd", factory.Engines()[1].key);
  EXPECT_TRUE(factory.UseEngine("speechd"));
  EXPECT_EQ("speechd", factory.EngineInUse());
  EXPECT_EQ(&scripted, &factory.EngineFactory("speechd"));
  EXPECT_EQ(&factory, &factory.EngineFactory("espeak"));
}

// An export through the program's voices gets the real recorder, not the refusal of a plain factory.
TEST(TracingVoice, RecordersComeFromTheVoicesItWraps) {
  sim::SimUiLoop loop;
  sim::ScriptedVoiceFactory scripted(loop, 10);
  TracingVoiceFactory factory(scripted, {});
  std::string path = ::testing::TempDir() + "/tracing-recorder.wav";
  std::unique_ptr<platform::AudioRecorder> recorder = factory.CreateRecorder(path);
  ASSERT_NE(nullptr, recorder);
  EXPECT_EQ(0, recorder->RecordedMs());
}

}  // namespace
}  // namespace lectryn::app
