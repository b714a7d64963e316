#pragma once
// The desktop program's voices from either of two engines: Lectryn's own espeak-ng voices and the
// desktop's speech server. Voices, their list, defaults and normal speed come from the engine in use;
// audio files are always written with espeak-ng, the engine that can record.
//
//   app::VoiceEngines voices(espeakVoices, speechdVoices);
//   voices.UseEngine(app::VoiceEngines::kSpeechd);  // from the next voice made on
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/Voice.h"

namespace lectryn::app {

class VoiceEngines : public platform::VoiceFactory {
 public:
  static constexpr char kEspeak[] = "espeak";
  static constexpr char kSpeechd[] = "speechd";

  // Both outlive this. espeak-ng is in use at first.
  VoiceEngines(platform::VoiceFactory& espeak, platform::VoiceFactory& speechd);

  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  std::vector<platform::InstalledVoice> InstalledVoices() override;
  std::string DefaultVoiceFor(const std::u16string& tag) override;
  int32_t DefaultRate() const override;
  std::unique_ptr<platform::AudioRecorder> CreateRecorder(const std::string& path) override;

  std::vector<platform::VoiceEngine> Engines() const override;
  std::string EngineInUse() const override;
  bool UseEngine(const std::string& key) override;
  platform::VoiceFactory& EngineFactory(const std::string& key) override;

 private:
  struct Engine {
    platform::VoiceEngine engine;
    platform::VoiceFactory& factory;
  };
  const Engine* Find(const std::string& key) const;
  platform::VoiceFactory& InUse() const { return engines_[inUse_].factory; }

  std::vector<Engine> engines_;  // espeak-ng first
  size_t inUse_ = 0;
};

}  // namespace lectryn::app
