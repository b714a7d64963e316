#include "speech/EspeakVoice.h"

#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::speech {

EspeakVoice::EspeakVoice(platform::VoiceEvents& sink, EspeakEngine& engine,
                         std::shared_ptr<AudioPlayer> player)
    : sink_(sink), engine_(engine), player_(std::move(player)), nextVoice_(engine.Languages().Default()) {}

EspeakVoice::~EspeakVoice() {
  CancelRun();
}

int32_t EspeakVoice::Speak(const std::u16string& text, int32_t /*flags: always asynchronous*/) {
  text_ = std::make_shared<const SpeechText>(text);
  words_ = std::make_shared<const std::vector<TextWord>>(SplitSpokenWords(text));
  voice_ = nextVoice_;
  ++stream_;
  speaking_ = true;
  StartRun(1, std::make_shared<SpeechStream>());
  return stream_;
}

int32_t EspeakVoice::Skip(const std::u16string& type, int32_t count) {
  if (!platform::EqualsIgnoringAsciiCase(type, u"SENTENCE")) {
    throw platform::Failure("cannot skip by \"" + platform::ToUtf8(type) +
                            "\": the voice skips only by SENTENCE");
  }
  if (!speaking_ || count <= 0) return 0;
  // Past the last sentence the run reads nothing and ends at once, which ends the stream as usual.
  StartRun(heardSentence_ + count, run_->stream);
  return count;
}

platform::SpeechVoiceStatus EspeakVoice::Status() const {
  auto state = speaking_ ? platform::SpeechRunState::IsSpeaking : platform::SpeechRunState::Done;
  return {static_cast<int32_t>(state)};
}

void EspeakVoice::SetLanguage(const std::u16string& tag) {
  nextVoice_ = engine_.Languages().Choose(tag);
}

void EspeakVoice::CancelRun() {
  if (run_) player_->Cancel(*run_);
  run_.reset();
}

void EspeakVoice::StartRun(int32_t sentence, std::shared_ptr<SpeechStream> stream) {
  CancelRun();
  uint64_t generation = ++generation_;
  heardSentence_ = sentence;
  run_ = std::make_shared<RunTicket>(std::move(stream));

  std::weak_ptr<EspeakVoice> self = weak_from_this();
  SynthesisJob job;
  job.ticket = run_;
  job.player = player_;
  job.text = text_;
  job.words = words_;
  job.startSentence = sentence;
  job.voice = voice_;
  // These run on the synthesis thread and only copy what they capture into the tasks; the tasks run on
  // the UI thread and do nothing for a voice that is gone or has started something else since.
  job.wordTask = [self, generation](const TimedWord& word, int32_t wordSentence) -> PlayerTask {
    return [self, generation, index = word.index, wordSentence](const PlayedEvent& at) {
      if (auto voice = self.lock()) voice->OnWord(generation, index, wordSentence, at.streamMs);
    };
  };
  job.endTask = [self, generation]() -> PlayerTask {
    return [self, generation](const PlayedEvent& at) {
      if (auto voice = self.lock()) voice->OnEnd(generation, at.streamMs);
    };
  };
  engine_.Submit(std::move(job));
}

void EspeakVoice::OnWord(uint64_t generation, int32_t wordIndex, int32_t sentence, int64_t streamMs) {
  if (generation != generation_) return;
  heardSentence_ = sentence;
  const TextWord& word = (*words_)[wordIndex];
  sink_.pVoice_Word(stream_, streamMs, word.startUtf16, word.lengthUtf16);
}

void EspeakVoice::OnEnd(uint64_t generation, int64_t streamMs) {
  if (generation != generation_ || !speaking_) return;
  speaking_ = false;
  run_.reset();
  sink_.pVoice_EndStream(stream_, streamMs);  // may Speak again on this voice
}

}  // namespace lectryn::speech
