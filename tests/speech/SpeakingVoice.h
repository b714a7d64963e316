#pragma once
// A voice of the speech engine on a silent output that runs faster than real time, and the events it
// raised, for the tests of the voice.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "speech/EspeakVoiceFactory.h"
#include "system/PlainUiLoop.h"

namespace lectryn::speech {

using platform::FromUtf8;
using platform::ToUtf8;
using Log = std::vector<std::string>;

constexpr double kSpeed = 40;  // silent output, this many times faster than real time

// Records the words cut out of the spoken text, and "END".
class Recorder : public platform::VoiceEvents {
 public:
  void pVoice_Word(int32_t, int64_t streamMs, int32_t position, int32_t length) override {
    std::string word = ToUtf8(text.substr(position, length));
    log.push_back(word);
    positions.push_back(position);
    times.push_back(streamMs);
    if (onWord) onWord(word);
  }
  void pVoice_EndStream(int32_t, int64_t streamMs) override {
    log.push_back("END");
    endMs = streamMs;
    ++ends;
    if (onEnd) onEnd();
  }

  std::u16string text;
  Log log;
  std::vector<int32_t> positions;
  std::vector<int64_t> times;
  int ends = 0;
  int64_t endMs = -1;
  std::function<void(const std::string&)> onWord;
  std::function<void()> onEnd;
};

class SpeakingVoice : public ::testing::Test {
 protected:
  void Speak(const std::u16string& text, int32_t flags = platform::SVSFlagsAsync) {
    sink.text = text;
    voice->Speak(text, flags);
  }
  void Speak(const char* utf8, int32_t flags = platform::SVSFlagsAsync) { Speak(FromUtf8(utf8), flags); }
  int32_t State() const { return voice->Status().RunningState; }

  // Runs the loop until that many streams have ended, then runs whatever the voices still post.
  void RunUntilEnds(int ends) {
    // Only a guard against a hang, not a measurement.
    auto guard = loop.StartTimer(60000, [&] { loop.Quit(); });
    bool finished = sink.ends >= ends || loop.Run([&] { return sink.ends >= ends; });
    loop.StopTimer(guard);
    ASSERT_TRUE(finished) << "no end of speech";
    factory->WaitUntilIdle();
    loop.DoEvents();
  }

  system::PlainUiLoop loop;
  Recorder sink;
  std::unique_ptr<EspeakVoiceFactory> factory =
      std::make_unique<EspeakVoiceFactory>(loop, AudioChoice::Silent(kSpeed));
  std::shared_ptr<platform::SpVoice> voice = factory->CreateVoice(sink);
};

}  // namespace lectryn::speech
