#pragma once
// A voice for tests and headless runs: it "speaks" on the virtual clock, one word every msPerWord
// at the default rate, by simple word and sentence rules, and raises the same events as a real voice.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/UiLoop.h"
#include "platform/Voice.h"

namespace lectryn::sim {

struct ScriptedWord {
  int32_t position;  // UTF-16 units
  int32_t length;
  int32_t sentence;  // 0-based
};

// Words: runs of characters other than white space and ASCII punctuation (an apostrophe between
// two word characters belongs to the word). A sentence ends after ".", "!" or "?" followed by white
// space or the end of the text.
std::vector<ScriptedWord> SplitScriptedWords(const std::u16string& text);

// The words per minute of rate 0: a scripted voice takes msPerWord per word at this rate.
constexpr int32_t kScriptedDefaultRate = 175;

// The fake voices a scripted factory offers, and the one it uses for a language nobody chose.
std::vector<platform::InstalledVoice> ScriptedInstalledVoices();
std::string ScriptedDefaultVoiceFor(const std::u16string& tag);

// What every voice of one factory was asked to say, in order: one entry per Speak in each list.
struct ScriptedLog {
  std::vector<std::u16string> spoken;
  std::vector<std::u16string> languages;  // empty: the default
  std::vector<std::string> voices;        // the installed voice that spoke it
};

// A failure armed on a factory, shared by its voices: the voice that would raise the word after the
// next wordsLeft words stops instead and raises pVoice_Failed, once.
struct ScriptedFailure {
  bool armed = false;
  int32_t wordsLeft = 0;
  std::string message;
};

class ScriptedVoice : public platform::SpVoice, public std::enable_shared_from_this<ScriptedVoice> {
 public:
  ScriptedVoice(platform::UiLoop& loop, platform::VoiceEvents& sink, int32_t msPerWord,
                std::shared_ptr<ScriptedLog> log, std::shared_ptr<ScriptedFailure> failure = nullptr);

  int32_t Speak(const std::u16string& text, int32_t flags) override;
  int32_t Skip(const std::u16string& type, int32_t count) override;
  platform::SpeechVoiceStatus Status() const override;
  void SetLanguage(const std::u16string& tag) override { language_ = tag; }
  bool Pause() override;
  void Resume() override;
  void SetRate(int32_t wordsPerMinute) override;
  int32_t Rate() const override { return rate_; }
  void SetVoiceChoices(const platform::VoiceChoices& choices) override { choices_ = choices; }

 private:
  // Audio time of the current text: the virtual clock less the time spent paused.
  int64_t AudioMs() const;
  int64_t WordMs() const;
  // Goes on from word index next, which begins sentence; the next event comes at once.
  void JumpTo(size_t next, int32_t sentence);
  void ScheduleNext(int64_t delayMs);
  void RaiseNext(uint64_t generation);
  // True when the armed failure takes the place of the next event.
  bool FailsNow();

  platform::UiLoop& loop_;
  platform::VoiceEvents& sink_;
  int32_t msPerWord_;
  std::shared_ptr<ScriptedLog> log_;
  std::shared_ptr<ScriptedFailure> failure_;  // null: never fails
  std::u16string language_;
  platform::VoiceChoices choices_;
  int32_t rate_ = 0;
  std::vector<ScriptedWord> words_;
  size_t next_ = 0;  // index of the next word to raise; words_.size() means EndStream is next
  bool speaking_ = false;
  bool paused_ = false;
  uint64_t generation_ = 0;
  int32_t stream_ = 0;
  int64_t audioBaseMs_ = 0;      // audio heard before runningSinceMs_
  int64_t runningSinceMs_ = 0;   // clock time the audio last started or resumed
  int64_t dueAudioMs_ = 0;       // audio time of the next event
  int32_t sentence_ = 0;         // the sentence being heard
  int64_t sentenceStartMs_ = 0;  // audio time it began
};

class ScriptedVoiceFactory : public platform::VoiceFactory {
 public:
  explicit ScriptedVoiceFactory(platform::UiLoop& loop, int32_t msPerWord = 100)
      : loop_(loop), msPerWord_(msPerWord) {}
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  std::vector<platform::InstalledVoice> InstalledVoices() override { return ScriptedInstalledVoices(); }
  std::string DefaultVoiceFor(const std::u16string& tag) override { return ScriptedDefaultVoiceFor(tag); }
  int32_t DefaultRate() const override { return kScriptedDefaultRate; }
  // A ScriptedRecorder at this factory's pace (ScriptedRecorder.cpp).
  std::unique_ptr<platform::AudioRecorder> CreateRecorder(const std::string& path) override;

  // Every text handed to Speak by any voice of this factory, in order.
  const std::vector<std::u16string>& Spoken() const { return log_->spoken; }
  // The language each of those texts was spoken in (empty: the default).
  const std::vector<std::u16string>& Languages() const { return log_->languages; }
  // The installed voice that spoke each of them.
  const std::vector<std::string>& VoicesUsed() const { return log_->voices; }
  int32_t VoicesCreated() const { return created_; }
  // As a speech server that dies: after `words` more words raised by any voice of this factory, the
  // voice speaking stops where the next word or end of text would come and raises pVoice_Failed(message)
  // instead, with no EndStream. Once: what is spoken afterwards, on that voice or another, goes on as usual.
  void FailAfterWords(int32_t words, std::string message);

 private:
  platform::UiLoop& loop_;
  int32_t msPerWord_;
  std::shared_ptr<ScriptedLog> log_ = std::make_shared<ScriptedLog>();
  std::shared_ptr<ScriptedFailure> failure_ = std::make_shared<ScriptedFailure>();
  int32_t created_ = 0;
};

}  // namespace lectryn::sim
