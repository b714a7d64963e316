#pragma once
// Plays the synthesised audio of voice runs through an output on a thread of its own, and posts each
// event of a run to the UI loop when the output reports that the event's sample has been heard.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/UiLoop.h"
#include "speech/AudioOutput.h"

namespace lectryn::speech {

// The audio of one Speak, over all its runs (a skip starts a new run of the same stream).
struct SpeechStream {
  int64_t firstSample = -1;  // where its audio began in the output; player thread only
};

// A word of a run as the player will play it.
struct WordMark {
  int32_t word;      // index into the text's words
  int32_t sentence;  // the synthesiser's 1-based sentence number
  int64_t runSample;
};

// One synthesis run. Cancelling it (from any thread) drops its audio and events wherever they are.
struct RunTicket {
  explicit RunTicket(std::shared_ptr<SpeechStream> stream, int32_t firstSentence = 1, int32_t firstWord = -1)
      : stream(std::move(stream)), firstSentence(firstSentence), firstWord(firstWord) {}
  std::atomic<bool> cancelled{false};
  // Set by Cut: the run's audio ends at this run sample and what comes after is dropped; -1 while whole.
  std::atomic<int64_t> cutAt{-1};
  const std::shared_ptr<SpeechStream> stream;
  std::atomic<int32_t> firstSentence;  // 1-based; the synthesiser settles it for a run at the last one
  const int32_t firstWord;             // the word of it the run begins with; -1: its first

  // Under the player's lock.
  std::vector<WordMark> marks;  // every word pushed, in order
  int64_t taken = 0;            // samples the player took to write (and kept)
  bool ended = false;           // its synthesis finished
};

struct PlayedEvent {
  int64_t sample;    // counted over everything the player played, without what a pause set aside
  int64_t streamMs;  // from the start of the stream's audio
};

// Where Cut ends a run.
struct RunCut {
  enum class Kind {
    AtWord,      // at mark.runSample: the rest of the text goes on from mark.word
    NotStarted,  // none of its audio was taken yet; it can be started again as a whole
    NoWordAhead  // every word it has made so far is already on its way to the device
  };
  Kind kind;
  WordMark mark{};
};
using PlayerTask = std::function<void(const PlayedEvent&)>;

class AudioPlayer {
 public:
  // A device that holds audio without playing any of it for stalledAfter is flushed, so that the
  // remaining events of its runs still come.
  AudioPlayer(std::unique_ptr<AudioOutput> output, platform::UiLoop& loop,
              std::chrono::milliseconds stalledAfter = std::chrono::seconds(1));
  ~AudioPlayer();
  AudioPlayer(const AudioPlayer&) = delete;
  AudioPlayer& operator=(const AudioPlayer&) = delete;

  // A run's items, in order, from the synthesis thread. runSample counts from the run's first sample.
  void PushAudio(const std::shared_ptr<RunTicket>& run, std::vector<int16_t> samples);
  void PushEvent(const std::shared_ptr<RunTicket>& run, int64_t runSample, PlayerTask task,
                 const WordMark* word = nullptr);
  // The run is complete: task is posted once its last sample has been heard.
  void PushEnd(const std::shared_ptr<RunTicket>& run, PlayerTask task);

  // Blocks the synthesiser while more than about two seconds of audio wait to be written. Returns false
  // when the run was cancelled meanwhile.
  bool WaitForRoom(const RunTicket& run);
  // Cancels the run and wakes the player, which drops it and silences what the device holds of it.
  void Cancel(RunTicket& run);
  // Ends the run at its first word that the player has not yet begun to write; the synthesiser stops it.
  RunCut Cut(RunTicket& run);
  // Waits until everything pushed has been written and every event posted (never while paused).
  void WaitUntilIdle();

  // Pause drops what the device holds and keeps it, so that Resume goes on from the very sample that
  // was heard last; no event is posted in between and synthesis waits once its queue is full. False for
  // an output that is not played in real time (a file).
  bool Pause();
  void Resume();
  // The sample being heard, in PlayedEvent::sample's count; it stands still while paused.
  int64_t HeardSample() const { return heard_; }

  AudioOutput& Output() { return *output_; }

 private:
  enum class Kind { Audio, Event, End };
  struct Item {
    Kind kind;
    std::shared_ptr<RunTicket> run;
    std::vector<int16_t> samples;
    int64_t runSample = 0;
    PlayerTask task;
  };
  struct Pending {
    std::shared_ptr<RunTicket> run;
    int64_t sample;
    int64_t runSample;  // -1 for the end
    PlayerTask task;
  };
  // Audio in the device, kept until heard so that a pause can write it again.
  struct Written {
    std::shared_ptr<RunTicket> run;
    int64_t start;
    std::vector<int16_t> samples;
    int64_t End() const { return start + static_cast<int64_t>(samples.size()); }
  };

  void Push(Item item);
  void Run();
  // Player thread, locked: whether the item is dropped since its run was cancelled or cut before it.
  bool Dropped(const Item& item) const;
  // Player thread: whether the device still holds unheard audio of a cancelled run.
  bool HoldsCancelledAudio(int64_t played);
  void EnterRun(const std::shared_ptr<RunTicket>& run);
  // Player thread: samples heard, in the player's count.
  int64_t Played() { return output_->PlayedSamples() - skew_; }
  void WriteItem(Item item);
  // Player thread: silences the device and puts what it held back at the head of the queue.
  void HoldSound();

  std::unique_ptr<AudioOutput> output_;
  platform::UiLoop& loop_;
  const std::chrono::milliseconds stalledAfter_;
  const bool paced_;  // the output plays in real time (not a file)

  std::mutex mutex_;
  std::condition_variable wake_;  // the player: new items, cancellation, stop
  std::condition_variable room_;  // the synthesiser and WaitUntilIdle: queue shrank, cancellation
  std::deque<Item> queue_;
  int64_t queuedSamples_ = 0;
  uint64_t cancels_ = 0;
  bool idle_ = true;
  bool stop_ = false;
  bool starving_ = false;  // the player sleeps without audio to write
  bool paused_ = false;
  uint64_t cuts_ = 0;
  std::atomic<int64_t> heard_{0};

  // Player thread only.
  std::deque<Pending> pending_;
  std::deque<Written> written_;
  std::shared_ptr<RunTicket> currentRun_;
  int64_t runBase_ = 0;
  int64_t writtenSamples_ = 0;
  int64_t skew_ = 0;  // the output's sample count minus the player's: audio a pause set aside and wrote again

  std::thread thread_;
};

}  // namespace lectryn::speech
