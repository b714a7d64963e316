#pragma once
// A voice of the speech engine: speaks one text at a time on the engine's thread and raises its word
// and end events on the UI loop when they are heard.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Voice.h"
#include "speech/AudioPlayer.h"
#include "speech/EspeakEngine.h"

namespace lectryn::speech {

// Everything below runs on the UI thread, including the events.
class EspeakVoice : public platform::SpVoice, public std::enable_shared_from_this<EspeakVoice> {
 public:
  EspeakVoice(platform::VoiceEvents& sink, EspeakEngine& engine, std::shared_ptr<AudioPlayer> player);
  ~EspeakVoice() override;

  int32_t Speak(const std::u16string& text, int32_t flags) override;
  int32_t Skip(const std::u16string& type, int32_t count) override;
  platform::SpeechVoiceStatus Status() const override;
  void SetLanguage(const std::u16string& tag) override;

 private:
  // Cancels the run in progress and starts reading the current text at the given sentence (1-based).
  void StartRun(int32_t sentence, std::shared_ptr<SpeechStream> stream);
  void CancelRun();
  void OnWord(uint64_t generation, int32_t wordIndex, int32_t sentence, int64_t streamMs);
  void OnEnd(uint64_t generation, int64_t streamMs);

  platform::VoiceEvents& sink_;
  EspeakEngine& engine_;
  std::shared_ptr<AudioPlayer> player_;

  std::string nextVoice_;  // identifier of the voice for the next Speak
  std::string voice_;      // and for the text being spoken, which its skips keep
  std::shared_ptr<const SpeechText> text_;
  std::shared_ptr<const std::vector<TextWord>> words_;
  std::shared_ptr<RunTicket> run_;
  uint64_t generation_ = 0;  // events of older runs are ignored
  int32_t stream_ = 0;
  bool speaking_ = false;
  int32_t heardSentence_ = 1;  // sentence of the word heard last, or where the run starts
};

}  // namespace lectryn::speech
