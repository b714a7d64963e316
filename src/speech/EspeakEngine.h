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
#include <string>
#include <thread>
#include <vector>

#include "speech/AudioPlayer.h"
#include "speech/SpeechText.h"
#include "speech/SpokenWords.h"
#include "speech/VoiceLanguages.h"
#include "speech/WordRepair.h"

namespace lectryn::speech {

// One run: a text read from a sentence to its end, its audio and repaired words going to a player.
struct SynthesisJob {
  std::shared_ptr<RunTicket> ticket;
  std::shared_ptr<AudioPlayer> player;
  std::shared_ptr<const SpeechText> text;
  std::shared_ptr<const std::vector<TextWord>> words;
  int32_t startSentence = 1;  // 1-based, in the synthesiser's own sentence count
  std::string voice;          // identifier of the voice that reads it; empty: the one in use
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

  // The installed voices and their languages, read once at start; the default follows the user's locale
  // as it was then. Safe from any thread: it never changes.
  const VoiceLanguages& Languages() const { return *languages_; }

 private:
  explicit EspeakEngine(const std::string& dataPath);
  EspeakEngine(const EspeakEngine&) = delete;
  EspeakEngine& operator=(const EspeakEngine&) = delete;

  void Main();
  std::string Start(const std::string& dataPath);
  void Synthesize(const SynthesisJob& job);
  void SelectVoice(const std::string& identifier);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<SynthesisJob> jobs_;
  std::string startError_;                           // set once, before Instance returns
  std::unique_ptr<const VoiceLanguages> languages_;  // set once, before Instance returns
  std::string currentVoice_;                         // synthesis thread only
  std::thread thread_;
};

}  // namespace lectryn::speech
