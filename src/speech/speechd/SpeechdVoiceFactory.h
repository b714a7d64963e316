#pragma once
// The desktop's voices: speech-dispatcher, reached through libspeechd at the user's address
// (SPEECHD_ADDRESS, else the runtime directory's socket, where libspeechd starts the server if it is not
// running). The user's speech-dispatcher settings (module, voice, rate) apply until a choice here says
// otherwise.
//
//   speech::speechd::SpeechdVoiceFactory voices(loop);
//   auto voice = voices.CreateVoice(sink);
//   voice->Speak(text, platform::SVSFlagsAsync);  // words from index marks, as they are heard
//
// Nothing here blocks the UI thread on the server: each voice talks to it from the factory's own
// thread. A server that cannot be reached or dies ends the reading with pVoice_Failed; the next Speak
// connects again.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/UiLoop.h"
#include "platform/Voice.h"

namespace lectryn::speech::speechd {

// Voice identifiers of this factory: "speechd:" then the output module and the module's voice name,
// each part optional: "speechd:" (the server's choice), "speechd:festival:" (festival's voice for the
// language), "speechd:espeak-ng:French (Belgium)".
inline constexpr std::string_view kIdentifierPrefix = "speechd:";
inline bool IsSpeechdVoice(std::string_view identifier) { return identifier.starts_with(kIdentifierPrefix); }

class SpeechdWorker;

class SpeechdVoiceFactory : public platform::VoiceFactory {
 public:
  // address: as SPEECHD_ADDRESS takes it ("unix_socket:/path"); empty for the user's default. Does not
  // connect: the first voice that speaks does.
  explicit SpeechdVoiceFactory(platform::UiLoop& loop, std::string address = {});
  ~SpeechdVoiceFactory() override;

  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  // Each output module with its voices per language (the module's own variants left out), fetched
  // once; empty when the server cannot be reached. Waits for the server, at most a few seconds.
  std::vector<platform::InstalledVoice> InstalledVoices() override;
  // "speechd:": the server picks the voice for the language as the user configured it.
  std::string DefaultVoiceFor(const std::u16string& tag) override;
  std::unique_ptr<platform::AudioRecorder> CreateRecorder(const std::string& path) override;

 private:
  platform::UiLoop& loop_;
  std::shared_ptr<SpeechdWorker> worker_;
  std::vector<platform::InstalledVoice> installed_;
  bool listed_ = false;
};

}  // namespace lectryn::speech::speechd
