#pragma once
// A voice of the speech server. Each sentence of the text is one SSML message with a mark before every
// word; the server reports each mark as its sound is played, and the mark becomes the word's event.
// Pause cancels what the server is saying; Resume says it again from the word that was being heard.
// With a module that reports no marks, words are timed from the message's begin by the length of the
// words, at a pace learnt from the messages before (WordTimesEstimated says so).
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/UiLoop.h"
#include "platform/Voice.h"
#include "speech/speechd/MarkedText.h"
#include "speech/speechd/SpeechdWorker.h"

namespace lectryn::speech::speechd {

// The server's rate (-100..100, 0 its default) for words per minute; none for 0, the user's own.
std::optional<int32_t> ServerRate(int32_t wordsPerMinute, int32_t defaultWordsPerMinute);
// The module and voice an identifier names; empty parts leave the user's settings ("speechd:").
SaySettings SettingsOf(const std::string& identifier);
// Whether an output module is known to report no marks.
bool ModuleLacksMarks(const std::string& module);

// Everything below runs on the UI thread, including the events.
class SpeechdVoice : public platform::SpVoice, public std::enable_shared_from_this<SpeechdVoice> {
 public:
  SpeechdVoice(platform::VoiceEvents& sink, platform::UiLoop& loop, std::shared_ptr<SpeechdWorker> worker);
  ~SpeechdVoice() override;
  // Opens the voice's session with the server; once, right after construction.
  void Open();

  int32_t Speak(const std::u16string& text, int32_t flags) override;
  int32_t Skip(const std::u16string& type, int32_t count) override;
  platform::SpeechVoiceStatus Status() const override;
  void SetLanguage(const std::u16string& tag) override { language_ = tag; }
  bool Pause() override;
  void Resume() override;
  void SetRate(int32_t wordsPerMinute) override;
  int32_t Rate() const override { return rate_; }
  void SetVoiceChoices(const platform::VoiceChoices& choices) override { choices_ = choices; }
  bool WordTimesEstimated() const override { return speaking_ && Markless(); }

 private:
  struct Message {
    uint64_t request = 0;
    int64_t id = -1;  // the server's, once it is said
    int32_t first = 0;
    int32_t end = 0;
    bool begun = false;
    bool sawMark = false;
    int64_t beginMs = 0;
  };

  void OnEvent(const SessionEvent& event);
  void Handle(const SessionEvent& event);
  void OnMessageEvent(Message& message, const SessionEvent& event);
  Message* FindMessage(int64_t id);
  // Reads on from word first with a new generation: what was said is cancelled. firstHeard: its event
  // was raised already and is not raised again. While paused, only remembers where Resume starts.
  void StartFrom(int32_t first, bool firstHeard = false);
  void SendAhead();
  void ReportUpTo(int32_t word);
  void Finish();
  void PostFinish();
  void Fail(const std::string& error);
  void ScheduleEstimates(const Message& message, int32_t from);
  bool Markless() const;
  // Whether the voice's owner dropped it while one of its events was running: nothing more is raised.
  bool Dropped() const;
  int64_t StreamMs() const;
  double EffectiveRate() const;

  platform::VoiceEvents& sink_;
  platform::UiLoop& loop_;
  std::shared_ptr<SpeechdWorker> worker_;
  std::shared_ptr<SpeechdSession> session_;

  std::u16string language_;         // for the next Speak
  platform::VoiceChoices choices_;  // for the next Speak
  int32_t rate_ = 0;
  SaySettings settings_;            // of the text being spoken
  std::shared_ptr<const MarkedText> text_;
  std::deque<Message> messages_;    // said in this generation and not ended, in order
  std::map<int64_t, std::vector<SessionEvent>> early_;  // events that came before their Said
  int64_t knownUpTo_ = 0;           // highest message id said so far on this connection
  uint64_t nextRequest_ = 0;
  uint64_t generation_ = 0;
  uint64_t estimates_ = 0;          // estimated word timers of older numbers do nothing
  int32_t sentTo_ = 0;              // words before it are in messages said in this generation
  int32_t reported_ = -1;           // last word reported in this stream
  int32_t streamNumber_ = 0;
  bool speaking_ = false;
  bool paused_ = false;
  int32_t resumeFrom_ = 0;          // while paused: the word Resume says first
  bool resumeHeard_ = false;        // and whether its event was raised before the pause
  int64_t streamStartMs_ = 0;
  int64_t pausedMs_ = 0;            // paused time of this stream before the current pause
  int64_t pauseStartMs_ = 0;
  int32_t heardSentence_ = 0;
  int64_t sentenceStartStreamMs_ = 0;
  std::string module_;              // that speaks the text
  std::map<std::string, bool> moduleMarkless_;  // learnt: a module that ended a message without marks
  double msPerUnit_ = 0;            // estimated speech time per UTF-16 unit of text
  double learntMs_ = 0;
  double learntUnits_ = 0;
};

}  // namespace lectryn::speech::speechd
