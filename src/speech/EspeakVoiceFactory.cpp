#include "speech/EspeakVoiceFactory.h"

#include <cstdio>
#include <mutex>

#include "platform/Failure.h"
#include "speech/AudioFileRecorder.h"
#include "speech/EspeakVoice.h"
#include "speech/SilentOutput.h"
#include "speech/WavFileOutput.h"

namespace lectryn::speech {

std::unique_ptr<AudioOutput> OpenAudio(const AudioChoice& choice) {
  std::string whyNot;
  switch (choice.kind) {
    case AudioChoice::Kind::Silent:
      return std::make_unique<SilentOutput>(choice.speed);
    case AudioChoice::Kind::WavFile:
      return std::make_unique<WavFileOutput>(choice.path);
    case AudioChoice::Kind::SoundServer:
      if (auto output = OpenSoundServerOutput(whyNot)) return output;
      throw platform::Failure("cannot play speech through the " + whyNot +
                              "; start the sound server or choose ALSA");
    case AudioChoice::Kind::Alsa:
      if (auto output = OpenAlsaOutput(whyNot)) return output;
      throw platform::Failure("cannot play speech on the " + whyNot +
                              "; check the sound card and its permissions");
    case AudioChoice::Kind::Auto:
      break;
  }
  if (auto output = OpenSoundServerOutput(whyNot)) return output;
  std::string whyNotAlsa;
  if (auto output = OpenAlsaOutput(whyNotAlsa)) return output;
  static std::once_flag announced;
  std::call_once(announced, [&] {
    std::fprintf(stderr, "lectryn: no sound device: reading silently in real time (%s; %s)\n", whyNot.c_str(),
                 whyNotAlsa.c_str());
  });
  return std::make_unique<SilentOutput>(1.0);
}

EspeakVoiceFactory::EspeakVoiceFactory(platform::UiLoop& loop, const AudioChoice& audio,
                                       const std::string& dataPath)
    : EspeakVoiceFactory(loop, OpenAudio(audio), dataPath) {}

EspeakVoiceFactory::EspeakVoiceFactory(platform::UiLoop& loop, std::unique_ptr<AudioOutput> output,
                                       const std::string& dataPath)
    : loop_(loop),
      engine_(EspeakEngine::Instance(dataPath)),
      player_(std::make_shared<AudioPlayer>(std::move(output), loop)) {}

EspeakVoiceFactory::~EspeakVoiceFactory() {
  engine_.WaitForRuns();
}

std::shared_ptr<platform::SpVoice> EspeakVoiceFactory::CreateVoice(platform::VoiceEvents& sink) {
  return std::make_shared<EspeakVoice>(sink, engine_, player_);
}

std::unique_ptr<platform::AudioRecorder> EspeakVoiceFactory::CreateRecorder(const std::string& path) {
  return std::make_unique<AudioFileRecorder>(*this, loop_, engine_, path);
}

void EspeakVoiceFactory::WaitUntilIdle() {
  player_->WaitUntilIdle();
}

}  // namespace lectryn::speech
