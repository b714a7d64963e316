#include "speech/speechd/SpeechdVoiceFactory.h"

#include "platform/Failure.h"

namespace lectryn::speech::speechd {

class SpeechdWorker {};

SpeechdVoiceFactory::SpeechdVoiceFactory(platform::UiLoop& loop, std::string /*address*/) : loop_(loop) {}
SpeechdVoiceFactory::~SpeechdVoiceFactory() = default;

std::shared_ptr<platform::SpVoice> SpeechdVoiceFactory::CreateVoice(platform::VoiceEvents& /*sink*/) {
  throw platform::Failure("the desktop's voices are being built");
}

std::vector<platform::InstalledVoice> SpeechdVoiceFactory::InstalledVoices() { return installed_; }

std::string SpeechdVoiceFactory::DefaultVoiceFor(const std::u16string& /*tag*/) {
  return std::string(kIdentifierPrefix);
}

std::unique_ptr<platform::AudioRecorder> SpeechdVoiceFactory::CreateRecorder(const std::string& path) {
  throw platform::Failure("cannot record " + path +
                          ": audio files are written with the espeak-ng voice, not speech-dispatcher");
}

}  // namespace lectryn::speech::speechd
