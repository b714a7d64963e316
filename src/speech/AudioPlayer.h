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

// One synthesis run. Cancelling it (from any thread) drops its audio and events wherever they are.
struct RunTicket {
  explicit RunTicket(std::shared_ptr<SpeechStream> stream) : stream(std::move(stream)) {}
  std::atomic<bool> cancelled{false};
  const std::shared_ptr<SpeechStream> stream;
};

struct PlayedEvent {
  int64_t sample;    // in the output, counted over everything the player wrote
  int64_t streamMs;  // from the start of the stream's audio
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
  void PushEvent(const std::shared_ptr<RunTicket>& run, int64_t runSample, PlayerTask task);
  // The run is complete: task is posted once its last sample has been heard.
  void PushEnd(const std::shared_ptr<RunTicket>& run, PlayerTask task);

  // Blocks the synthesiser while more than about two seconds of audio wait to be written. Returns false
  // when the run was cancelled meanwhile.
  bool WaitForRoom(const RunTicket& run);
  // Cancels the run and wakes the player, which drops it and silences what the device holds of it.
  void Cancel(RunTicket& run);
  // Waits until everything pushed has been written and every event posted.
  void WaitUntilIdle();

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
    PlayerTask task;
  };
  struct Written {
    std::shared_ptr<RunTicket> run;
    int64_t end;  // output sample after its last one
  };

  void Push(Item item);
  void Run();
  // Player thread: whether the device still holds unheard audio of a cancelled run.
  bool HoldsCancelledAudio(int64_t played);
  void EnterRun(const std::shared_ptr<RunTicket>& run);

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

  // Player thread only.
  std::deque<Pending> pending_;
  std::deque<Written> written_;
  std::shared_ptr<RunTicket> currentRun_;
  int64_t runBase_ = 0;
  int64_t writtenSamples_ = 0;

  std::thread thread_;
};

}  // namespace lectryn::speech
