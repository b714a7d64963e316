#include "app/TracingVoice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
