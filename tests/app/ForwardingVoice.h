#pragma once
// Voices over those of another factory that pass the calls every voice takes on: a test voice overrides
// only what the voice it stands for does differently.
#include <memory>
#include <string>

#include "platform/Voice.h"

namespace lectryn::app::testing {

struct ForwardingVoice : platform::SpVoice {
  std::shared_ptr<platform::SpVoice> inner;
  int32_t Speak(const std::u16string& text, int32_t flags) override { return inner->Speak(text, flags); }
  int32_t Skip(const std::u16string& type, int32_t count) override { return inner->Skip(type, count); }
  platform::SpeechVoiceStatus Status() const override { return inner->Status(); }
  void SetLanguage(const std::u16string& tag) override { inner->SetLanguage(tag); }
};

// Makes voices of type Voice (a ForwardingVoice) over the voices of inner.
template <class Voice>
class ForwardingVoices : public platform::VoiceFactory {
 public:
  explicit ForwardingVoices(platform::VoiceFactory& inner) : inner_(inner) {}
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override {
    auto voice = std::make_shared<Voice>();
    voice->inner = inner_.CreateVoice(sink);
    return voice;
  }

 protected:
  platform::VoiceFactory& inner_;
};

}  // namespace lectryn::app::testing
