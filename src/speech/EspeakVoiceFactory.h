#pragma once
// The voices of the speech engine, for the program: create the factory once (after the UI loop, before
// any voice), create voices from it, and destroy the voices and then the factory before the loop.
//
//   system::PlainUiLoop loop;
//   speech::EspeakVoiceFactory voices(loop, speech::AudioChoice::Auto());
//   auto voice = voices.CreateVoice(sink);  // sink: platform::VoiceEvents
//   voice->Speak(text, platform::SVSFlagsAsync);
//
// Word events carry UTF-16 positions in the text given to Speak and the word's start in that text's audio
// in milliseconds (StreamPosition); they run on the loop when the word is heard.
#include <memory>
#include <string>

#include "platform/UiLoop.h"
#include "platform/Voice.h"
#include "speech/AudioOutput.h"
#include "speech/AudioPlayer.h"
#include "speech/EspeakEngine.h"

namespace lectryn::speech {

struct AudioChoice {
  enum class Kind {
    Auto,         // the sound server, else ALSA, else silent in real time (saying so once on stderr)
    SoundServer,  // only the sound server; failing that, the factory fails
    Alsa,         // only ALSA's default device
    Silent,       // no sound; words are timed as if heard, speed times faster than real time
    WavFile,      // a WAV file at path, written as fast as the speech is made
  };
  Kind kind = Kind::Auto;
  std::string path;
  double speed = 1.0;

  static AudioChoice Auto() { return {}; }
  static AudioChoice Silent(double speed = 1.0) { return {Kind::Silent, {}, speed}; }
  static AudioChoice WavFile(std::string path) { return {Kind::WavFile, std::move(path), 1.0}; }
};

// Opens the chosen output; throws platform::Failure naming the device or file that failed.
std::unique_ptr<AudioOutput> OpenAudio(const AudioChoice& choice);

class EspeakVoiceFactory : public platform::VoiceFactory {
 public:
  // Throws platform::Failure when the speech engine cannot start (voice data missing) or the chosen
  // output cannot be opened. dataPath: where espeak-ng-data lives, for the first factory of the process.
  EspeakVoiceFactory(platform::UiLoop& loop, const AudioChoice& audio, const std::string& dataPath = {});
  EspeakVoiceFactory(platform::UiLoop& loop, std::unique_ptr<AudioOutput> output,
                     const std::string& dataPath = {});

  // Waits for the runs of its dropped voices to let go of their players.
  ~EspeakVoiceFactory() override;

  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  std::vector<platform::InstalledVoice> InstalledVoices() override { return engine_.Choices(); }
  std::string DefaultVoiceFor(const std::u16string& tag) override { return engine_.Languages().Choose(tag); }
  int32_t DefaultRate() const override { return engine_.DefaultRate(); }
  // Voices that write into a WAV or Ogg Opus file instead of this factory's output.
  std::unique_ptr<platform::AudioRecorder> CreateRecorder(const std::string& path) override;

  // Blocks until all audio handed over so far has been written and every event posted. A WAV file is
  // complete whenever no voice is speaking, and is closed when the factory and its voices are gone.
  void WaitUntilIdle();

 private:
  platform::UiLoop& loop_;
  EspeakEngine& engine_;
  std::shared_ptr<AudioPlayer> player_;
};

}  // namespace lectryn::speech
