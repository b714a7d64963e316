#pragma once
// The process's one speech synthesiser. libespeak-ng is a process-wide singleton that is neither
// re-entrant nor safe to terminate and start again, so this object owns it for the life of the process:
// every call into the library happens on its synthesis thread, one run at a time.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/Voice.h"
#include "speech/AudioPlayer.h"
#include "speech/SpeechText.h"
#include "speech/SpokenWords.h"
#include "speech/VoiceLanguages.h"
#include "speech/WordRepair.h"

namespace lectryn::speech {

// One run: a text read from a sentence to its end, its audio and repaired words going to a player.
constexpr int32_t kLastSentence = 0;

struct SynthesisJob {
  std::shared_ptr<RunTicket> ticket;
  std::shared_ptr<AudioPlayer> player;
  std::shared_ptr<const SpeechText> text;
  std::shared_ptr<const std::vector<TextWord>> words;
  int32_t startSentence = 1;  // 1-based, in the synthesiser's own sentence count; kLastSentence: the last
  int32_t fromLast = 0;       // with kLastSentence: this many sentences on from the last (back when negative)
  int32_t firstWord = -1;     // when set, the run's audio and words begin at this word of startSentence
  int32_t rate = 0;           // words per minute; 0: as the run before
  std::string voice;          // identifier of the voice that reads it; empty: the one in use
  std::string fallbackVoice;  // reads it when voice does not load
  // Called on the synthesis thread to make the task posted for a word (with the number of its sentence)
  // and for the end of the run.
  std::function<PlayerTask(const TimedWord& word, int32_t sentence)> wordTask;
  std::function<PlayerTask()> endTask;
};

class EspeakEngine {
 public:
  // The engine, started on first use with voice data from dataPath (empty: ESPEAK_DATA_PATH or the
  // library's default; later calls cannot change it). Throws platform::Failure, every time, when the
  // library could not start.
  static EspeakEngine& Instance(const std::string& dataPath = {});

  // Queues a run; runs whose ticket is cancelled are dropped or aborted within a callback.
  void Submit(SynthesisJob job);
  // Waits (two seconds at most) until every run submitted so far is done and has let go of what it
  // held (its player, whose last owner it may be): then nothing of theirs posts to a UI loop about to go.
  void WaitForRuns();

  // The installed voices and their languages, read once at start; the default follows the user's locale
  // as it was then. Safe from any thread: it never changes.
  const VoiceLanguages& Languages() const { return *languages_; }
  // The voices with each variant, as the user can choose them. Safe from any thread: it never changes.
  const std::vector<platform::InstalledVoice>& Choices() const { return choices_; }
  // The library's own speed, in words per minute.
  int32_t DefaultRate() const { return defaultRate_; }

 private:
  explicit EspeakEngine(const std::string& dataPath);
  EspeakEngine(const EspeakEngine&) = delete;
  EspeakEngine& operator=(const EspeakEngine&) = delete;

  void Main();
  std::string Start(const std::string& dataPath);
  void Synthesize(const SynthesisJob& job);
  void SelectVoice(const SynthesisJob& job);
  void SelectRate(int32_t rate);
  int32_t LastSentence(const SynthesisJob& job);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;  // a run was finished and let go
  std::deque<SynthesisJob> jobs_;
  bool running_ = false;  // a run is taken off jobs_ and not yet let go
  std::string startError_;                           // set once, before Instance returns
  std::unique_ptr<const VoiceLanguages> languages_;  // set once, before Instance returns
  std::vector<platform::InstalledVoice> choices_;    // set once, before Instance returns
  int32_t defaultRate_ = 175;                        // set once, before Instance returns
  std::string currentVoice_;                         // synthesis thread only
  int32_t currentRate_ = 0;                          // synthesis thread only
  std::set<std::string> failedVoices_;               // synthesis thread only: said once each
  std::thread thread_;
};

}  // namespace lectryn::speech
