#pragma once
// A voice of the speech engine: speaks one text at a time on the engine's thread and raises its word
// and end events on the UI loop when they are heard.
#include <cstdint>
#include <functional>
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
  bool Pause() override;
  void Resume() override;
  void SetRate(int32_t wordsPerMinute) override;
  int32_t Rate() const override { return rate_; }
  void SetVoiceChoices(const platform::VoiceChoices& choices) override { choices_ = choices; }

 private:
  enum class Generation { New, Same };
  // Starts reading the current text at the given sentence (1-based, or kLastSentence), from firstWord
  // of it when set. A new generation cancels the runs in progress; the same one goes on after them.
  void StartRun(int32_t sentence, int32_t firstWord, Generation generation);
  void CancelRuns();
  int32_t HeardSentence() const;
  void OnWord(uint64_t generation, int32_t wordIndex, int32_t sentence, const PlayedEvent& at);
  void OnEnd(uint64_t generation, int64_t streamMs);

  platform::VoiceEvents& sink_;
  EspeakEngine& engine_;
  std::shared_ptr<AudioPlayer> player_;

  std::u16string language_;         // for the next Speak
  platform::VoiceChoices choices_;  // for the next Speak
  std::string voice_;               // for the text being spoken, which its skips keep
  std::string fallbackVoice_;       // reads it when voice_ does not load
  int32_t rate_ = 0;
  std::shared_ptr<const SpeechText> text_;
  std::shared_ptr<const std::vector<TextWord>> words_;
  std::shared_ptr<SpeechStream> stream_;
  std::vector<std::shared_ptr<RunTicket>> runs_;  // of this generation, the one going on last
  uint64_t generation_ = 0;                       // events of older runs are ignored
  int32_t streamNumber_ = 0;
  bool speaking_ = false;
  bool paused_ = false;
  std::vector<std::function<void()>> heldEvents_;  // came while paused; run by Resume, in order
  int32_t fromLast_ = 0;                           // sentences skipped before the last one was found
  int32_t heardSentence_ = 0;   // sentence of the word heard last, or where the run starts; 0: ask the run
  int64_t sentenceStart_ = -1;  // player sample of the first word heard of it; -1 before any
};

}  // namespace lectryn::speech
