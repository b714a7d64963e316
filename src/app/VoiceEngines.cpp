#include "app/VoiceEngines.h"

namespace lectryn::app {

VoiceEngines::VoiceEngines(platform::VoiceFactory& espeak, platform::VoiceFactory& speechd)
    : engines_{{{kEspeak, u"Lectryn's voices (espeak-ng)"}, espeak},
               {{kSpeechd, u"Desktop voices (speech-dispatcher)"}, speechd}} {}

std::shared_ptr<platform::SpVoice> VoiceEngines::CreateVoice(platform::VoiceEvents& sink) {
  return InUse().CreateVoice(sink);
}

std::vector<platform::InstalledVoice> VoiceEngines::InstalledVoices() {
  return InUse().InstalledVoices();
}

std::string VoiceEngines::DefaultVoiceFor(const std::u16string& tag) {
  return InUse().DefaultVoiceFor(tag);
}

int32_t VoiceEngines::DefaultRate() const {
  return InUse().DefaultRate();
}

std::unique_ptr<platform::AudioRecorder> VoiceEngines::CreateRecorder(const std::string& path) {
  return engines_.front().factory.CreateRecorder(path);
}

std::vector<platform::VoiceEngine> VoiceEngines::Engines() const {
  std::vector<platform::VoiceEngine> engines;
  for (const Engine& engine : engines_) engines.push_back(engine.engine);
  return engines;
}

std::string VoiceEngines::EngineInUse() const {
  return engines_[inUse_].engine.key;
}

bool VoiceEngines::UseEngine(const std::string& key) {
  const Engine* engine = Find(key);
  if (!engine) return false;
  inUse_ = static_cast<size_t>(engine - engines_.data());
  return true;
}

platform::VoiceFactory& VoiceEngines::EngineFactory(const std::string& key) {
  const Engine* engine = Find(key);
  return engine ? engine->factory : *this;
}

const VoiceEngines::Engine* VoiceEngines::Find(const std::string& key) const {
  for (const Engine& engine : engines_)
    if (engine.engine.key == key) return &engine;
  return nullptr;
}

}  // namespace lectryn::app
