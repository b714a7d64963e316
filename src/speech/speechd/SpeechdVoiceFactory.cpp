#include "speech/speechd/SpeechdVoiceFactory.h"

#include <algorithm>
#include <cstdio>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "speech/speechd/SpeechdVoice.h"
#include "speech/speechd/SpeechdWorker.h"

namespace lectryn::speech::speechd {
namespace {

// Long enough for libspeechd to start the server and the server its modules.
constexpr std::chrono::seconds kListTimeout{8};

void AddLanguage(std::vector<std::string>& languages, const std::string& language) {
  if (!language.empty() && std::find(languages.begin(), languages.end(), language) == languages.end())
    languages.push_back(language);
}

}  // namespace

SpeechdVoiceFactory::SpeechdVoiceFactory(platform::UiLoop& loop, std::string address)
    : loop_(loop), worker_(std::make_shared<SpeechdWorker>(std::move(address))) {}

SpeechdVoiceFactory::~SpeechdVoiceFactory() = default;

std::shared_ptr<platform::SpVoice> SpeechdVoiceFactory::CreateVoice(platform::VoiceEvents& sink) {
  auto voice = std::make_shared<SpeechdVoice>(sink, loop_, worker_);
  voice->Open();
  return voice;
}

std::vector<platform::InstalledVoice> SpeechdVoiceFactory::InstalledVoices() {
  if (listed_) return installed_;
  std::string error;
  std::optional<std::vector<ServerVoice>> voices = worker_->ListVoices(kListTimeout, error);
  if (!voices) {
    fprintf(stderr, "lectryn: %s\n", error.c_str());
    return {};
  }
  // The server's own choice, then each module's choice, then each module's voices.
  platform::InstalledVoice serverChoice{std::string(kIdentifierPrefix), u"speech-dispatcher's own choice", {}};
  std::vector<platform::InstalledVoice> modules;
  std::vector<platform::InstalledVoice> named;
  for (const ServerVoice& voice : *voices) {
    AddLanguage(serverChoice.languages, voice.language);
    std::string moduleIdentifier = std::string(kIdentifierPrefix) + voice.module + ":";
    auto module = std::find_if(modules.begin(), modules.end(),
                               [&](const auto& m) { return m.identifier == moduleIdentifier; });
    if (module == modules.end()) {
      modules.push_back({moduleIdentifier, platform::FromUtf8(voice.module) + u", its voice for the language", {}});
      module = modules.end() - 1;
    }
    AddLanguage(module->languages, voice.language);
    named.push_back({moduleIdentifier + voice.name, platform::FromUtf8(voice.module + ": " + voice.name),
                     {voice.language}});
  }
  installed_.clear();
  installed_.push_back(std::move(serverChoice));
  installed_.insert(installed_.end(), modules.begin(), modules.end());
  installed_.insert(installed_.end(), named.begin(), named.end());
  listed_ = true;
  return installed_;
}

std::string SpeechdVoiceFactory::DefaultVoiceFor(const std::u16string& /*tag*/) {
  return std::string(kIdentifierPrefix);
}

std::unique_ptr<platform::AudioRecorder> SpeechdVoiceFactory::CreateRecorder(const std::string& path) {
  throw platform::Failure("cannot record " + path +
                          ": audio files are written with the espeak-ng voice, not speech-dispatcher");
}

}  // namespace lectryn::speech::speechd
