#include "speech/speechd/SpeechdVoice.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "speech/speechd/SpeechdVoiceFactory.h"

namespace lectryn::speech::speechd {
namespace {

constexpr int32_t kDefaultWordsPerMinute = 175;
// A word with the space after it, on average: the first guess of the pace before any message ended.
constexpr double kUnitsPerWord = 6.0;

// The language whose choice applies to a text without a language: the user's.
std::string UserChoiceLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value && std::string_view(value) != "C" && std::string_view(value) != "POSIX")
      return platform::ChoiceLanguageOf(value);
  }
  return "en";
}

}  // namespace

std::optional<int32_t> ServerRate(int32_t wordsPerMinute, int32_t defaultWordsPerMinute) {
  if (wordsPerMinute == 0) return std::nullopt;
  int32_t wpm = platform::ClampedWordsPerMinute(wordsPerMinute);
  int32_t rate = wpm >= defaultWordsPerMinute
                     ? (wpm - defaultWordsPerMinute) * 100 / (platform::kMaxWordsPerMinute - defaultWordsPerMinute)
                     : (wpm - defaultWordsPerMinute) * 100 / (defaultWordsPerMinute - platform::kMinWordsPerMinute);
  return std::clamp(rate, -100, 100);
}

SaySettings SettingsOf(const std::string& identifier) {
  SaySettings settings;
  if (!IsSpeechdVoice(identifier)) return settings;
  std::string rest = identifier.substr(kIdentifierPrefix.size());
  size_t colon = rest.find(':');
  settings.module = rest.substr(0, colon);
  if (colon != std::string::npos) settings.voice = rest.substr(colon + 1);
  return settings;
}

bool ModuleLacksMarks(const std::string& module) {
  // flite and pico report no marks; a generic module runs a program that reports nothing but its end.
  return module == "flite" || module == "pico" || module.find("generic") != std::string::npos;
}

SpeechdVoice::SpeechdVoice(platform::VoiceEvents& sink, platform::UiLoop& loop,
                           std::shared_ptr<SpeechdWorker> worker)
    : sink_(sink), loop_(loop), worker_(std::move(worker)), msPerUnit_(60000.0 / kDefaultWordsPerMinute / kUnitsPerWord) {}

SpeechdVoice::~SpeechdVoice() {
  if (session_) worker_->Close(session_);
}

void SpeechdVoice::Open() {
  std::weak_ptr<SpeechdVoice> self = weak_from_this();
  platform::UiLoop* loop = &loop_;
  session_ = worker_->OpenSession([self, loop](SessionEvent event) {
    loop->Post([self, event = std::move(event)] {
      if (auto voice = self.lock()) voice->OnEvent(event);
    });
  });
}

int32_t SpeechdVoice::Speak(const std::u16string& text, int32_t flags) {
  std::string language = platform::ToUtf8(language_);
  text_ = std::make_shared<const MarkedText>(text, language);
  auto chosen = choices_.find(language.empty() ? UserChoiceLanguage() : platform::ChoiceLanguageOf(language));
  settings_ = SettingsOf(chosen != choices_.end() ? chosen->second : std::string());
  settings_.language = language;
  settings_.rate = ServerRate(rate_, kDefaultWordsPerMinute);
  ++streamNumber_;
  speaking_ = true;
  streamStartMs_ = loop_.NowMs();
  pausedMs_ = 0;
  pauseStartMs_ = streamStartMs_;
  sentenceStartStreamMs_ = 0;
  if (text_->WordCount() == 0) {
    ++generation_;
    messages_.clear();
    worker_->Cancel(session_);
    PostFinish();
    return streamNumber_;
  }
  heardSentence_ = (flags & platform::SVSFStartAtLastSentence) ? text_->SentenceCount() - 1 : 0;
  StartFrom(text_->FirstWordOf(heardSentence_));
  return streamNumber_;
}

int32_t SpeechdVoice::Skip(const std::u16string& type, int32_t count) {
  if (!platform::EqualsIgnoringAsciiCase(type, u"SENTENCE")) {
    throw platform::Failure("cannot skip by \"" + platform::ToUtf8(type) +
                            "\": the voice skips only by SENTENCE");
  }
  if (!speaking_ || !text_ || text_->WordCount() == 0) return 0;
  int32_t from = heardSentence_;
  int32_t to = std::max(0, from + count);
  sentenceStartStreamMs_ = StreamMs();
  if (to >= text_->SentenceCount()) {
    // Past the last sentence nothing is left to say: the text ends.
    ++generation_;
    messages_.clear();
    worker_->Cancel(session_);
    PostFinish();
  } else {
    heardSentence_ = to;
    StartFrom(text_->FirstWordOf(to));
  }
  return to - from;
}

platform::SpeechVoiceStatus SpeechdVoice::Status() const {
  auto state = speaking_ ? platform::SpeechRunState::IsSpeaking : platform::SpeechRunState::Done;
  platform::SpeechVoiceStatus status{static_cast<int32_t>(state)};
  if (!speaking_) return status;
  status.Paused = paused_;
  status.CurrentSentence = heardSentence_;
  status.SentenceHeardMs = std::max<int64_t>(0, StreamMs() - sentenceStartStreamMs_);
  return status;
}

bool SpeechdVoice::Pause() {
  if (paused_) return true;
  if (!speaking_) return false;
  // The server's own pause waits for the next mark and, with some modules, never comes back; so the
  // voice stops the sound at once and says the rest again on Resume, from the word that was heard.
  paused_ = true;
  pauseStartMs_ = loop_.NowMs();
  StartFrom(std::max(reported_, 0), reported_ >= 0);
  return true;
}

void SpeechdVoice::Resume() {
  if (!paused_) return;
  paused_ = false;
  pausedMs_ += loop_.NowMs() - pauseStartMs_;
  if (speaking_) StartFrom(resumeFrom_, resumeHeard_);
}

void SpeechdVoice::SetRate(int32_t wordsPerMinute) {
  int32_t rate = platform::ClampedWordsPerMinute(wordsPerMinute);
  if (rate == rate_) return;
  double before = EffectiveRate();
  rate_ = rate;
  settings_.rate = ServerRate(rate_, kDefaultWordsPerMinute);
  msPerUnit_ *= before / EffectiveRate();
  learntMs_ = learntUnits_ = 0;
  if (!speaking_ || paused_ || !text_ || reported_ + 1 >= text_->WordCount()) return;
  // The server takes a new rate with the next message: the rest of the text is said again from the word
  // after the one being heard, which is cut short.
  StartFrom(reported_ + 1);
}

double SpeechdVoice::EffectiveRate() const {
  return rate_ ? rate_ : kDefaultWordsPerMinute;
}

bool SpeechdVoice::Dropped() const {
  // Events run with a reference of their own; when it is the last one, the owner let the voice go.
  return weak_from_this().use_count() <= 1;
}

bool SpeechdVoice::Markless() const {
  auto learnt = moduleMarkless_.find(module_);
  return learnt != moduleMarkless_.end() ? learnt->second : ModuleLacksMarks(module_);
}

int64_t SpeechdVoice::StreamMs() const {
  int64_t now = loop_.NowMs();
  int64_t paused = pausedMs_ + (paused_ ? now - pauseStartMs_ : 0);
  return std::max<int64_t>(0, now - streamStartMs_ - paused);
}

void SpeechdVoice::StartFrom(int32_t first, bool firstHeard) {
  ++generation_;
  ++estimates_;
  messages_.clear();
  worker_->Cancel(session_);
  reported_ = firstHeard ? first : first - 1;
  sentTo_ = first;
  if (paused_) {
    // Said on Resume.
    resumeFrom_ = first;
    resumeHeard_ = firstHeard;
    return;
  }
  SendAhead();
}

void SpeechdVoice::SendAhead() {
  // One sentence is heard while the next waits at the server, so that no pause falls between them.
  while (messages_.size() < 2 && sentTo_ < text_->WordCount()) {
    Message message;
    message.request = ++nextRequest_;
    message.first = sentTo_;
    message.end = text_->EndWordOf(text_->SentenceOf(sentTo_));
    messages_.push_back(message);
    worker_->Say(session_, message.request, text_->Ssml(message.first, message.end), settings_);
    sentTo_ = message.end;
  }
}

SpeechdVoice::Message* SpeechdVoice::FindMessage(int64_t id) {
  for (Message& message : messages_)
    if (message.id == id) return &message;
  return nullptr;
}

void SpeechdVoice::OnEvent(const SessionEvent& event) {
  auto self = shared_from_this();  // a handler of ours may drop the voice
  Handle(event);
}

void SpeechdVoice::Handle(const SessionEvent& event) {
  switch (event.kind) {
    case SessionEvent::Kind::Said: {
      knownUpTo_ = std::max(knownUpTo_, event.message);
      auto early = early_.extract(event.message);
      for (Message& message : messages_) {
        if (message.request != event.request) continue;
        message.id = event.message;
        module_ = event.module;
        if (early) {
          uint64_t generation = generation_;
          for (const SessionEvent& waiting : early.mapped()) {
            if (generation != generation_ || Dropped()) break;
            Handle(waiting);
          }
        }
        break;
      }
      // Ids below the last one said belong to messages that were said and are gone.
      for (auto it = early_.begin(); it != early_.end() && it->first < knownUpTo_;) it = early_.erase(it);
      return;
    }
    case SessionEvent::Kind::Failed: {
      if (event.request == 0) {
        // The connection is gone; a new one numbers its messages afresh.
        knownUpTo_ = 0;
        early_.clear();
        if (speaking_) Fail(event.error);
        return;
      }
      for (const Message& message : messages_) {
        if (message.request == event.request) return Fail(event.error);
      }
      return;
    }
    case SessionEvent::Kind::Begin:
    case SessionEvent::Kind::End:
    case SessionEvent::Kind::Mark: {
      Message* message = FindMessage(event.message);
      if (!message) {
        if (event.message > knownUpTo_) early_[event.message].push_back(event);
        return;
      }
      OnMessageEvent(*message, event);
      return;
    }
    case SessionEvent::Kind::Cancelled:
      return;  // this voice asked for it and has moved on
  }
}

void SpeechdVoice::OnMessageEvent(Message& message, const SessionEvent& event) {
  switch (event.kind) {
    case SessionEvent::Kind::Begin: {
      message.begun = true;
      message.beginMs = loop_.NowMs();
      int32_t sentence = text_->SentenceOf(message.first);
      if (sentence != heardSentence_ || message.first == text_->FirstWordOf(sentence)) {
        heardSentence_ = sentence;
        sentenceStartStreamMs_ = StreamMs();
      }
      SendAhead();
      if (Markless()) ScheduleEstimates(message, std::max(reported_ + 1, message.first));
      return;
    }
    case SessionEvent::Kind::Mark:
      if (event.mark < message.first || event.mark >= message.end) return;
      message.sawMark = true;
      moduleMarkless_[module_] = false;
      ReportUpTo(event.mark);
      return;
    case SessionEvent::Kind::End: {
      if (!message.sawMark) {
        moduleMarkless_[module_] = true;
        // A sentence heard whole tells the module's pace.
        if (message.begun && message.first == text_->FirstWordOf(text_->SentenceOf(message.first))) {
          learntMs_ += static_cast<double>(loop_.NowMs() - message.beginMs);
          learntUnits_ += text_->SpanUnits(message.first, message.end);
          if (learntUnits_ > 0 && learntMs_ > 0) msPerUnit_ = learntMs_ / learntUnits_;
        }
      }
      ++estimates_;
      uint64_t generation = generation_;
      int32_t end = message.end;
      ReportUpTo(end - 1);
      if (generation != generation_ || !speaking_ || Dropped()) return;
      while (!messages_.empty() && messages_.front().end <= end) messages_.pop_front();
      if (end >= text_->WordCount()) {
        Finish();
      } else {
        SendAhead();
      }
      return;
    }
    default:
      return;
  }
}

void SpeechdVoice::ReportUpTo(int32_t word) {
  uint64_t generation = generation_;
  int32_t stream = streamNumber_;
  // A module that missed a mark still has its word heard: it is reported with the next one.
  while (reported_ < word && generation == generation_ && stream == streamNumber_ && speaking_ && !Dropped()) {
    ++reported_;
    const TextWord& spoken = text_->Words()[reported_];
    sink_.pVoice_Word(streamNumber_, StreamMs(), spoken.startUtf16, spoken.lengthUtf16);
  }
}

void SpeechdVoice::ScheduleEstimates(const Message& message, int32_t from) {
  uint64_t current = ++estimates_;
  std::weak_ptr<SpeechdVoice> self = weak_from_this();
  const std::vector<TextWord>& words = text_->Words();
  if (from >= message.end) return;
  for (int32_t word = from; word < message.end; ++word) {
    auto delay = static_cast<int64_t>((words[word].startUtf16 - words[from].startUtf16) * msPerUnit_);
    loop_.PostDelayed(delay, [self, current, word] {
      auto voice = self.lock();
      if (!voice || voice->estimates_ != current) return;
      voice->ReportUpTo(word);
    });
  }
}

void SpeechdVoice::Finish() {
  speaking_ = false;
  messages_.clear();
  ++estimates_;
  sink_.pVoice_EndStream(streamNumber_, StreamMs());  // may Speak again on this voice
}

void SpeechdVoice::PostFinish() {
  std::weak_ptr<SpeechdVoice> self = weak_from_this();
  uint64_t generation = generation_;
  loop_.Post([self, generation] {
    auto voice = self.lock();
    if (voice && voice->generation_ == generation && voice->speaking_) voice->Finish();
  });
}

void SpeechdVoice::Fail(const std::string& error) {
  speaking_ = false;
  paused_ = false;
  ++generation_;
  ++estimates_;
  messages_.clear();
  sink_.pVoice_Failed(error);
}

}  // namespace lectryn::speech::speechd
