#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

#include <algorithm>

#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::sim {
namespace {

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x00A0 || c == 0x3000 ||
         (c >= 0x2000 && c <= 0x200B);
}

bool IsAsciiPunctuation(char16_t c) {
  return c < 0x80 && !IsSpace(c) && !(c >= u'0' && c <= u'9') && !(c >= u'a' && c <= u'z') &&
         !(c >= u'A' && c <= u'Z') && c != u'_';
}

bool IsWordChar(const std::u16string& text, size_t i) {
  char16_t c = text[i];
  if (IsSpace(c)) return false;
  if (c == u'\'') {
    return i > 0 && i + 1 < text.size() && !IsSpace(text[i - 1]) && !IsAsciiPunctuation(text[i - 1]) &&
           !IsSpace(text[i + 1]) && !IsAsciiPunctuation(text[i + 1]);
  }
  return !IsAsciiPunctuation(c) && c >= 0x20;
}

}  // namespace

std::vector<ScriptedWord> SplitScriptedWords(const std::u16string& text) {
  std::vector<ScriptedWord> words;
  int32_t sentence = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (IsWordChar(text, i)) {
      size_t start = i;
      while (i < text.size() && IsWordChar(text, i)) ++i;
      words.push_back({static_cast<int32_t>(start), static_cast<int32_t>(i - start), sentence});
      continue;
    }
    char16_t c = text[i];
    if ((c == u'.' || c == u'!' || c == u'?') && (i + 1 == text.size() || IsSpace(text[i + 1])) &&
        !words.empty() && words.back().sentence == sentence) {
      ++sentence;
    }
    ++i;
  }
  return words;
}

namespace {


}  // namespace

std::vector<platform::InstalledVoice> ScriptedInstalledVoices() {
  return {
      {"sim/en", u"Scripted English", {"en", "en-US"}},
      {"sim/en-GB", u"Scripted English (Britain)", {"en-GB", "en"}},
      {"sim/fr", u"Scripted French", {"fr"}},
      {"sim/de", u"Scripted German", {"de", "de-CH"}},
  };
}

std::string ScriptedDefaultVoiceFor(const std::u16string& tag) {
  std::string primary = platform::ChoiceLanguageOf(platform::ToUtf8(tag));
  for (const platform::InstalledVoice& voice : ScriptedInstalledVoices()) {
    if (platform::ChoiceLanguageOf(voice.languages.front()) == primary) return voice.identifier;
  }
  return "sim/en";
}

ScriptedVoice::ScriptedVoice(platform::UiLoop& loop, platform::VoiceEvents& sink, int32_t msPerWord,
                             std::shared_ptr<ScriptedLog> log, std::shared_ptr<ScriptedFailure> failure)
    : loop_(loop), sink_(sink), msPerWord_(msPerWord), log_(std::move(log)), failure_(std::move(failure)) {}

int32_t ScriptedVoice::Speak(const std::u16string& text, int32_t flags) {
  auto chosen = choices_.find(platform::ChoiceLanguageOf(platform::ToUtf8(language_)));
  log_->spoken.push_back(text);
  log_->languages.push_back(language_);
  log_->voices.push_back(chosen != choices_.end() ? chosen->second : ScriptedDefaultVoiceFor(language_));
  words_ = SplitScriptedWords(text);
  speaking_ = true;
  ++stream_;
  audioBaseMs_ = 0;
  runningSinceMs_ = loop_.NowMs();
  size_t first = 0;
  if ((flags & platform::SVSFStartAtLastSentence) && !words_.empty()) {
    while (words_[first].sentence != words_.back().sentence) ++first;
  }
  JumpTo(first, first < words_.size() ? words_[first].sentence : 0);
  return stream_;
}

int32_t ScriptedVoice::Skip(const std::u16string& type, int32_t count) {
  if (!platform::EqualsIgnoringAsciiCase(type, u"SENTENCE")) throw platform::Failure("unsupported skip type");
  if (!speaking_ || words_.empty()) return 0;
  int32_t last = words_.back().sentence;
  // Past the last sentence counts as one more: the stream then ends.
  int32_t moved = count > 0 ? std::min(count, last + 1 - sentence_) : std::max(count, -sentence_);
  int32_t target = sentence_ + moved;
  size_t next = 0;
  while (next < words_.size() && words_[next].sentence < target) ++next;
  JumpTo(next, target);
  return moved;
}

platform::SpeechVoiceStatus ScriptedVoice::Status() const {
  platform::SpeechVoiceStatus status;
  status.RunningState =
      static_cast<int32_t>(speaking_ ? platform::SpeechRunState::IsSpeaking : platform::SpeechRunState::Done);
  status.Paused = paused_;
  status.CurrentSentence = sentence_;
  status.SentenceHeardMs = speaking_ ? AudioMs() - sentenceStartMs_ : 0;
  return status;
}

bool ScriptedVoice::Pause() {
  if (!speaking_ || paused_) return true;
  audioBaseMs_ = AudioMs();
  paused_ = true;
  ++generation_;  // the event already posted must not come
  return true;
}

void ScriptedVoice::Resume() {
  if (!paused_) return;
  paused_ = false;
  runningSinceMs_ = loop_.NowMs();
  ScheduleNext(dueAudioMs_ - AudioMs());
}

void ScriptedVoice::SetRate(int32_t wordsPerMinute) {
  rate_ = platform::ClampedWordsPerMinute(wordsPerMinute);
}

int64_t ScriptedVoice::AudioMs() const {
  return audioBaseMs_ + (paused_ ? 0 : loop_.NowMs() - runningSinceMs_);
}

int64_t ScriptedVoice::WordMs() const {
  if (rate_ == 0) return msPerWord_;
  return (static_cast<int64_t>(msPerWord_) * kScriptedDefaultRate + rate_ / 2) / rate_;
}

void ScriptedVoice::JumpTo(size_t next, int32_t sentence) {
  next_ = next;
  sentence_ = sentence;
  sentenceStartMs_ = AudioMs();
  ScheduleNext(0);
}

void ScriptedVoice::ScheduleNext(int64_t delayMs) {
  ++generation_;
  dueAudioMs_ = AudioMs() + delayMs;
  if (paused_) return;  // Resume posts it
  std::weak_ptr<ScriptedVoice> self = weak_from_this();
  uint64_t generation = generation_;
  loop_.PostDelayed(delayMs, [self, generation] {
    // A dropped voice raises nothing, not even what it had already posted.
    if (auto voice = self.lock()) voice->RaiseNext(generation);
  });
}

bool ScriptedVoice::FailsNow() {
  if (!failure_ || !failure_->armed) return false;
  if (failure_->wordsLeft > 0) return false;
  failure_->armed = false;
  return true;
}

void ScriptedVoice::RaiseNext(uint64_t generation) {
  if (generation != generation_ || !speaking_) return;
  if (FailsNow()) {
    speaking_ = false;
    std::string message = failure_->message;  // the handler may arm the factory again
    sink_.pVoice_Failed(message);
    return;
  }
  int64_t audioMs = AudioMs();
  if (next_ >= words_.size()) {
    speaking_ = false;
    sink_.pVoice_EndStream(stream_, audioMs);  // may Speak again on this voice
    return;
  }
  const ScriptedWord word = words_[next_++];
  if (word.sentence != sentence_) {
    sentence_ = word.sentence;
    sentenceStartMs_ = audioMs;
  }
  ScheduleNext(WordMs());
  if (failure_ && failure_->armed) --failure_->wordsLeft;
  sink_.pVoice_Word(stream_, audioMs, word.position, word.length);
}

std::shared_ptr<platform::SpVoice> ScriptedVoiceFactory::CreateVoice(platform::VoiceEvents& sink) {
  ++created_;
  return std::make_shared<ScriptedVoice>(loop_, sink, msPerWord_, log_, failure_);
}

void ScriptedVoiceFactory::FailAfterWords(int32_t words, std::string message) {
  *failure_ = {true, std::max(words, 0), std::move(message)};
}

}  // namespace lectryn::sim
