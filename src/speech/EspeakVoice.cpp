#include "speech/EspeakVoice.h"

#include <algorithm>
#include <functional>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "speech/speechd/SpeechdVoiceFactory.h"

namespace lectryn::speech {

EspeakVoice::EspeakVoice(platform::VoiceEvents& sink, EspeakEngine& engine,
                         std::shared_ptr<AudioPlayer> player)
    : sink_(sink), engine_(engine), player_(std::move(player)) {}

EspeakVoice::~EspeakVoice() {
  CancelRuns();
  // The player is shared with the factory's other voices, which must not stay silent.
  if (paused_) player_->Resume();
}

int32_t EspeakVoice::Speak(const std::u16string& text, int32_t flags) {
  text_ = std::make_shared<const SpeechText>(text);
  words_ = std::make_shared<const std::vector<TextWord>>(SplitSpokenWords(text));
  // The user's voice for the language, else the one that speaks it best. A choice of the desktop's
  // voices belongs to the other engine: for this one the language has no choice.
  const std::string& fallback = engine_.Languages().Choose(language_);
  auto chosen = choices_.find(engine_.Languages().PrimaryLanguage(language_));
  bool ours = chosen != choices_.end() && !speechd::IsSpeechdVoice(chosen->second);
  voice_ = ours ? chosen->second : fallback;
  fallbackVoice_ = fallback;
  ++streamNumber_;
  speaking_ = true;
  stream_ = std::make_shared<SpeechStream>();
  fromLast_ = 0;
  StartRun((flags & platform::SVSFStartAtLastSentence) ? kLastSentence : 1, -1, Generation::New);
  return streamNumber_;
}

int32_t EspeakVoice::Skip(const std::u16string& type, int32_t count) {
  if (!platform::EqualsIgnoringAsciiCase(type, u"SENTENCE")) {
    throw platform::Failure("cannot skip by \"" + platform::ToUtf8(type) +
                            "\": the voice skips only by SENTENCE");
  }
  if (!speaking_) return 0;
  if (heardSentence_ == 0 && !runs_.empty() && runs_.back()->firstSentence == kLastSentence) {
    // The synthesiser has not yet found the text's last sentence: it goes on from there.
    fromLast_ += count;
    StartRun(kLastSentence, -1, Generation::New);
    return count;
  }
  int32_t from = HeardSentence();
  // Past the last sentence the run reads nothing and ends at once, which ends the stream as usual.
  int32_t to = std::max(1, from + count);
  StartRun(to, -1, Generation::New);
  return to - from;
}

int32_t EspeakVoice::HeardSentence() const {
  if (heardSentence_ > 0) return heardSentence_;
  return runs_.empty() ? 1 : std::max(1, runs_.back()->firstSentence.load());
}

platform::SpeechVoiceStatus EspeakVoice::Status() const {
  auto state = speaking_ ? platform::SpeechRunState::IsSpeaking : platform::SpeechRunState::Done;
  platform::SpeechVoiceStatus status{static_cast<int32_t>(state)};
  if (!speaking_) return status;
  status.Paused = paused_;
  status.CurrentSentence = HeardSentence() - 1;
  if (sentenceStart_ >= 0) {
    status.SentenceHeardMs =
        std::max<int64_t>(0, player_->HeardSample() - sentenceStart_) * 1000 / kSampleRate;
  }
  return status;
}

void EspeakVoice::SetLanguage(const std::u16string& tag) {
  language_ = tag;
}

bool EspeakVoice::Pause() {
  if (paused_) return true;
  if (!speaking_ || !player_->Pause()) return false;
  paused_ = true;
  return true;
}

void EspeakVoice::Resume() {
  if (!paused_) return;
  paused_ = false;
  // Heard before the pause, they come before anything heard after it.
  std::vector<std::function<void()>> held = std::move(heldEvents_);
  heldEvents_.clear();
  for (const auto& event : held) event();
  if (!paused_) player_->Resume();  // unless an event's handler paused again
}

void EspeakVoice::SetRate(int32_t wordsPerMinute) {
  int32_t rate = platform::ClampedWordsPerMinute(wordsPerMinute);
  if (rate == rate_) return;
  rate_ = rate;
  if (!speaking_ || runs_.empty()) return;
  RunTicket& run = *runs_.back();
  RunCut cut = player_->Cut(run);
  switch (cut.kind) {
    case RunCut::Kind::AtWord:
      // The words before the cut are heard at the old speed, the rest at the new one.
      StartRun(cut.mark.sentence, cut.mark.word, Generation::Same);
      break;
    case RunCut::Kind::NotStarted: {
      // Nothing of it was heard yet: it is made again, at the new speed.
      std::shared_ptr<RunTicket> stale = std::move(runs_.back());
      runs_.pop_back();
      player_->Cancel(*stale);
      StartRun(stale->firstSentence, stale->firstWord, Generation::Same);
      break;
    }
    case RunCut::Kind::NoWordAhead:
      break;  // the words still to come are already made; the next text takes the new speed
  }
}

void EspeakVoice::CancelRuns() {
  for (const auto& run : runs_) player_->Cancel(*run);
  runs_.clear();
}

void EspeakVoice::StartRun(int32_t sentence, int32_t firstWord, Generation generation) {
  if (generation == Generation::New) {
    CancelRuns();
    ++generation_;
    heardSentence_ = sentence;
    sentenceStart_ = -1;
  }
  runs_.push_back(std::make_shared<RunTicket>(stream_, sentence, firstWord));

  std::weak_ptr<EspeakVoice> self = weak_from_this();
  uint64_t current = generation_;
  SynthesisJob job;
  job.ticket = runs_.back();
  job.player = player_;
  job.text = text_;
  job.words = words_;
  job.startSentence = sentence;
  job.fromLast = fromLast_;
  job.firstWord = firstWord;
  job.rate = rate_ ? rate_ : engine_.DefaultRate();
  job.voice = voice_;
  job.fallbackVoice = fallbackVoice_;
  // These run on the synthesis thread and only copy what they capture into the tasks; the tasks run on
  // the UI thread and do nothing for a voice that is gone or has started something else since.
  job.wordTask = [self, current](const TimedWord& word, int32_t wordSentence) -> PlayerTask {
    return [self, current, index = word.index, wordSentence](const PlayedEvent& at) {
      if (auto voice = self.lock()) voice->OnWord(current, index, wordSentence, at);
    };
  };
  job.endTask = [self, current]() -> PlayerTask {
    return [self, current](const PlayedEvent& at) {
      if (auto voice = self.lock()) voice->OnEnd(current, at.streamMs);
    };
  };
  engine_.Submit(std::move(job));
}

void EspeakVoice::OnWord(uint64_t generation, int32_t wordIndex, int32_t sentence, const PlayedEvent& at) {
  if (generation != generation_) return;
  if (paused_) {
    // Posted by the player just before it saw the pause: kept for Resume.
    heldEvents_.push_back(
        [this, generation, wordIndex, sentence, at] { OnWord(generation, wordIndex, sentence, at); });
    return;
  }
  if (sentence != heardSentence_ || sentenceStart_ < 0) sentenceStart_ = at.sample;
  heardSentence_ = sentence;
  const TextWord& word = (*words_)[wordIndex];
  sink_.pVoice_Word(streamNumber_, at.streamMs, word.startUtf16, word.lengthUtf16);
}

void EspeakVoice::OnEnd(uint64_t generation, int64_t streamMs) {
  if (generation != generation_ || !speaking_) return;
  if (paused_) {
    heldEvents_.push_back([this, generation, streamMs] { OnEnd(generation, streamMs); });
    return;
  }
  speaking_ = false;
  runs_.clear();
  sink_.pVoice_EndStream(streamNumber_, streamMs);  // may Speak again on this voice
}

}  // namespace lectryn::speech
