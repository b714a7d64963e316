#pragma once
// A voice for tests and headless runs: it "speaks" on the virtual clock, one word every msPerWord,
// by simple word and sentence rules, and raises the same events as a real voice.
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

class ScriptedVoice : public platform::SpVoice, public std::enable_shared_from_this<ScriptedVoice> {
 public:
  ScriptedVoice(platform::UiLoop& loop, platform::VoiceEvents& sink, int32_t msPerWord,
                std::shared_ptr<std::vector<std::u16string>> spoken,
                std::shared_ptr<std::vector<std::u16string>> languages = nullptr);

  int32_t Speak(const std::u16string& text, int32_t flags) override;
  int32_t Skip(const std::u16string& type, int32_t count) override;
  platform::SpeechVoiceStatus Status() const override;
  void SetLanguage(const std::u16string& tag) override { language_ = tag; }

 private:
  void ScheduleNext(int64_t delayMs);
  void RaiseNext(uint64_t generation);

  platform::UiLoop& loop_;
  platform::VoiceEvents& sink_;
  int32_t msPerWord_;
  std::shared_ptr<std::vector<std::u16string>> spoken_;
  std::shared_ptr<std::vector<std::u16string>> languages_;
  std::u16string language_;
  std::vector<ScriptedWord> words_;
  size_t next_ = 0;  // index of the next word to raise; words_.size() means EndStream is next
  bool speaking_ = false;
  uint64_t generation_ = 0;
  int32_t stream_ = 0;
  int64_t streamStartMs_ = 0;
};

class ScriptedVoiceFactory : public platform::VoiceFactory {
 public:
  explicit ScriptedVoiceFactory(platform::UiLoop& loop, int32_t msPerWord = 100)
      : loop_(loop), msPerWord_(msPerWord) {}
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  // A ScriptedRecorder at this factory's pace (ScriptedRecorder.cpp).
  std::unique_ptr<platform::AudioRecorder> CreateRecorder(const std::string& path) override;

  // Every text handed to Speak by any voice of this factory, in order.
  const std::vector<std::u16string>& Spoken() const { return *spoken_; }
  // The language each of those texts was spoken in (empty: the default).
  const std::vector<std::u16string>& Languages() const { return *languages_; }
  int32_t VoicesCreated() const { return created_; }

 private:
  platform::UiLoop& loop_;
  int32_t msPerWord_;
  std::shared_ptr<std::vector<std::u16string>> spoken_ = std::make_shared<std::vector<std::u16string>>();
  std::shared_ptr<std::vector<std::u16string>> languages_ = std::make_shared<std::vector<std::u16string>>();
  int32_t created_ = 0;
};

}  // namespace lectryn::sim
