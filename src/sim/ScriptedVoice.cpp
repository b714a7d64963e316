#include "sim/ScriptedVoice.h"
#include "sim/SimUiLoop.h"

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

ScriptedVoice::ScriptedVoice(platform::UiLoop& loop, platform::VoiceEvents& sink, int32_t msPerWord,
                             std::shared_ptr<std::vector<std::u16string>> spoken,
                             std::shared_ptr<std::vector<std::u16string>> languages)
    : loop_(loop),
      sink_(sink),
      msPerWord_(msPerWord),
      spoken_(std::move(spoken)),
      languages_(languages ? std::move(languages) : std::make_shared<std::vector<std::u16string>>()) {}

int32_t ScriptedVoice::Speak(const std::u16string& text, int32_t /*flags*/) {
  spoken_->push_back(text);
  languages_->push_back(language_);
  words_ = SplitScriptedWords(text);
  next_ = 0;
  speaking_ = true;
  ++generation_;
  ++stream_;
  streamStartMs_ = loop_.NowMs();
  ScheduleNext(0);
  return stream_;
}

int32_t ScriptedVoice::Skip(const std::u16string& type, int32_t count) {
  if (!platform::EqualsIgnoringAsciiCase(type, u"SENTENCE")) throw platform::Failure("unsupported skip type");
  if (!speaking_ || count <= 0) return 0;
  // The word raised last is being spoken: its sentence is the one left.
  int32_t current = next_ > 0 ? words_[next_ - 1].sentence : (words_.empty() ? 0 : words_[0].sentence);
  size_t target = next_;
  int32_t skipped = 0;
  while (skipped < count && target < words_.size()) {
    while (target < words_.size() && words_[target].sentence <= current) ++target;
    ++skipped;
    if (target < words_.size()) current = words_[target].sentence;
  }
  next_ = target;
  ++generation_;
  ScheduleNext(0);
  return skipped;
}

platform::SpeechVoiceStatus ScriptedVoice::Status() const {
  return {static_cast<int32_t>(speaking_ ? platform::SpeechRunState::IsSpeaking
                                         : platform::SpeechRunState::Done)};
}

void ScriptedVoice::ScheduleNext(int64_t delayMs) {
  std::weak_ptr<ScriptedVoice> self = weak_from_this();
  uint64_t generation = generation_;
  loop_.PostDelayed(delayMs, [self, generation] {
    // A dropped voice raises nothing, not even what it had already posted.
    if (auto voice = self.lock()) voice->RaiseNext(generation);
  });
}

void ScriptedVoice::RaiseNext(uint64_t generation) {
  if (generation != generation_ || !speaking_) return;
  int64_t audioMs = loop_.NowMs() - streamStartMs_;
  if (next_ >= words_.size()) {
    speaking_ = false;
    sink_.pVoice_EndStream(stream_, audioMs);  // may Speak again on this voice
    return;
  }
  const ScriptedWord word = words_[next_++];
  ScheduleNext(msPerWord_);
  sink_.pVoice_Word(stream_, audioMs, word.position, word.length);
}

std::shared_ptr<platform::SpVoice> ScriptedVoiceFactory::CreateVoice(platform::VoiceEvents& sink) {
  ++created_;
  return std::make_shared<ScriptedVoice>(loop_, sink, msPerWord_, spoken_, languages_);
}

}  // namespace lectryn::sim
