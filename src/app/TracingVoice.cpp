#include "app/TracingVoice.h"

#include "platform/Text.h"

namespace lectryn::app {
namespace {

class TracingVoice : public platform::SpVoice,
                     public platform::VoiceEvents,
                     public std::enable_shared_from_this<TracingVoice> {
 public:
  TracingVoice(platform::VoiceEvents& sink, const VoiceHooks& hooks) : sink_(sink), hooks_(hooks) {}
  ~TracingVoice() override { inner_.reset(); }  // the inner voice stops before its sink goes

  void Bind(platform::VoiceFactory& factory) { inner_ = factory.CreateVoice(*this); }

  int32_t Speak(const std::u16string& text, int32_t flags) override {
    if (hooks_.speak) hooks_.speak(text, language_);
    if (hooks_.voice) {
      auto chosen = choices_.find(platform::ChoiceLanguageOf(platform::ToUtf8(language_)));
      if (chosen != choices_.end()) hooks_.voice(chosen->first, chosen->second);
    }
    return inner_->Speak(text, flags);
  }
  void SetLanguage(const std::u16string& tag) override {
    language_ = tag;
    inner_->SetLanguage(tag);
  }
  int32_t Skip(const std::u16string& type, int32_t count) override { return inner_->Skip(type, count); }
  platform::SpeechVoiceStatus Status() const override { return inner_->Status(); }
  bool Pause() override { return inner_->Pause(); }
  void Resume() override { inner_->Resume(); }
  void SetRate(int32_t wordsPerMinute) override { inner_->SetRate(wordsPerMinute); }
  int32_t Rate() const override { return inner_->Rate(); }
  void SetVoiceChoices(const platform::VoiceChoices& choices) override {
    choices_ = choices;
    inner_->SetVoiceChoices(choices);
  }
  bool WordTimesEstimated() const override { return inner_->WordTimesEstimated(); }

  void pVoice_Word(int32_t stream, int64_t position, int32_t character, int32_t length) override {
    auto keep = shared_from_this();  // the handler may drop this voice
    if (hooks_.beforeWord) hooks_.beforeWord();
    sink_.pVoice_Word(stream, position, character, length);
    if (hooks_.afterWord) hooks_.afterWord(character, length, position);
  }
  void pVoice_EndStream(int32_t stream, int64_t position) override {
    auto keep = shared_from_this();
    // The end is traced before the handler starts the next piece, so the trace reads in order.
    if (hooks_.end) hooks_.end(position);
    sink_.pVoice_EndStream(stream, position);
    if (hooks_.afterEnd) hooks_.afterEnd();
  }
  void pVoice_Failed(const std::string& message) override {
    auto keep = shared_from_this();  // the handler drops this voice
    if (hooks_.failed) hooks_.failed(message);
    sink_.pVoice_Failed(message);
  }

 private:
  platform::VoiceEvents& sink_;
  const VoiceHooks& hooks_;
  std::shared_ptr<platform::SpVoice> inner_;
  std::u16string language_;  // as last chosen, for the trace
  platform::VoiceChoices choices_;
};

}  // namespace

std::shared_ptr<platform::SpVoice> TracingVoiceFactory::CreateVoice(platform::VoiceEvents& sink) {
  auto voice = std::make_shared<TracingVoice>(sink, hooks_);
  voice->Bind(inner_);
  return voice;
}

}  // namespace lectryn::app
