#include "speech/AudioPlayer.h"

#include <algorithm>
#include <chrono>

namespace lectryn::speech {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kMaxQueuedSamples = 2 * kSampleRate;  // synthesis stays about two seconds ahead
// A file takes audio in batches of this size; less than kMaxQueuedSamples, or synthesis would wait forever.
constexpr int64_t kFileBatchSamples = kSampleRate / 2;
constexpr auto kLongestSleep = std::chrono::milliseconds(50);  // device clocks are asked again this often

Clock::duration SamplesToWait(int64_t samples, double rate) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(samples / rate));
}

}  // namespace

AudioPlayer::AudioPlayer(std::unique_ptr<AudioOutput> output, platform::UiLoop& loop,
                         std::chrono::milliseconds stalledAfter)
    : output_(std::move(output)),
      loop_(loop),
      stalledAfter_(stalledAfter),
      paced_(output_->PlaybackRate() > 0),
      thread_([this] { Run(); }) {}

AudioPlayer::~AudioPlayer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  room_.notify_all();
  thread_.join();
}

void AudioPlayer::PushAudio(const std::shared_ptr<RunTicket>& run, std::vector<int16_t> samples) {
  if (samples.empty()) return;
  Push({Kind::Audio, run, std::move(samples), 0, {}});
}

void AudioPlayer::PushEvent(const std::shared_ptr<RunTicket>& run, int64_t runSample, PlayerTask task) {
  Push({Kind::Event, run, {}, runSample, std::move(task)});
}

void AudioPlayer::PushEnd(const std::shared_ptr<RunTicket>& run, PlayerTask task) {
  Push({Kind::End, run, {}, 0, std::move(task)});
}

void AudioPlayer::Push(Item item) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    queuedSamples_ += static_cast<int64_t>(item.samples.size());
    // Events wait for their audio anyway; waking the player for every block of a file would cost more
    // than writing it.
    wake = item.kind == Kind::End ||
           (item.kind == Kind::Audio && starving_ && (paced_ || queuedSamples_ >= kFileBatchSamples));
    queue_.push_back(std::move(item));
    idle_ = false;
  }
  if (wake) wake_.notify_one();
}

bool AudioPlayer::WaitForRoom(const RunTicket& run) {
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return stop_ || run.cancelled || queuedSamples_ <= kMaxQueuedSamples; });
  return !stop_ && !run.cancelled;
}

void AudioPlayer::Cancel(RunTicket& run) {
  run.cancelled = true;
  {
    std::lock_guard lock(mutex_);
    ++cancels_;
  }
  wake_.notify_one();
  room_.notify_all();
}

void AudioPlayer::WaitUntilIdle() {
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return stop_ || (queue_.empty() && idle_); });
}

void AudioPlayer::EnterRun(const std::shared_ptr<RunTicket>& run) {
  if (run == currentRun_) return;
  currentRun_ = run;
  runBase_ = writtenSamples_;
  if (run->stream->firstSample < 0) run->stream->firstSample = runBase_;
}

bool AudioPlayer::HoldsCancelledAudio(int64_t played) {
  while (!written_.empty() && written_.front().end <= played) written_.pop_front();
  return std::any_of(written_.begin(), written_.end(),
                     [](const Written& w) { return w.run->cancelled.load(); });
}

void AudioPlayer::Run() {
  uint64_t cancelsSeen = 0;
  bool runOpen = false;  // audio of a run was written and its end not yet reached
  bool outputToldIdle = true;
  int64_t lastPlayed = -1;
  Clock::time_point lastProgress = Clock::now();

  std::unique_lock lock(mutex_);
  for (;;) {
    if (stop_) return;
    bool cancelled = cancelsSeen != cancels_;
    cancelsSeen = cancels_;
    bool queueShrank = false;
    // Events and ends go to pending as soon as they come; audio waits for room in the device.
    while (!queue_.empty()) {
      Item& item = queue_.front();
      if (item.run->cancelled) {
        queuedSamples_ -= static_cast<int64_t>(item.samples.size());
        queue_.pop_front();
        queueShrank = true;
        continue;
      }
      if (item.kind == Kind::Audio) break;
      EnterRun(item.run);
      int64_t sample = item.kind == Kind::Event ? runBase_ + item.runSample : writtenSamples_;
      if (item.kind == Kind::End) runOpen = false;
      pending_.push_back({item.run, sample, std::move(item.task)});
      queue_.pop_front();
    }
    if (cancelled && currentRun_ && currentRun_->cancelled) runOpen = false;
    bool tellIdle = queue_.empty() && !runOpen && !outputToldIdle;
    lock.unlock();
    if (queueShrank) room_.notify_all();
    if (tellIdle) {
      // Before the end of the run is posted: a file is complete by the time anyone hears of the end.
      outputToldIdle = true;
      output_->Idle();
    }

    if (cancelled) {
      std::erase_if(pending_, [](const Pending& p) { return p.run->cancelled.load(); });
      // A dropped voice falls silent at once, not after what the device still holds.
      if (HoldsCancelledAudio(output_->PlayedSamples())) {
        output_->Flush();
        written_.clear();
      }
    }

    int64_t played = output_->PlayedSamples();
    auto now = Clock::now();
    if (played != lastPlayed || pending_.empty()) {
      lastPlayed = played;
      lastProgress = now;
    }
    while (!pending_.empty() && pending_.front().sample <= played) {
      Pending due = std::move(pending_.front());
      pending_.pop_front();
      if (due.run->cancelled) continue;
      PlayedEvent at{due.sample, (due.sample - due.run->stream->firstSample) * 1000 / kSampleRate};
      loop_.Post([task = std::move(due.task), at] { task(at); });
    }

    const double rate = output_->PlaybackRate();
    lock.lock();
    bool audioNext = !queue_.empty() && queue_.front().kind == Kind::Audio && !queue_.front().run->cancelled;
    if (audioNext && (rate <= 0 || writtenSamples_ - played < output_->LeadSamples())) {
      Item item = std::move(queue_.front());
      queue_.pop_front();
      queuedSamples_ -= static_cast<int64_t>(item.samples.size());
      lock.unlock();
      room_.notify_all();
      EnterRun(item.run);
      output_->Write(item.samples);
      writtenSamples_ += static_cast<int64_t>(item.samples.size());
      if (!written_.empty() && written_.back().run == item.run) {
        written_.back().end = writtenSamples_;
      } else {
        written_.push_back({item.run, writtenSamples_});
      }
      runOpen = true;
      outputToldIdle = false;
      lastProgress = Clock::now();
      lock.lock();
      continue;
    }
    if (queue_.empty() && pending_.empty()) {
      if (!idle_) {
        idle_ = true;
        room_.notify_all();
      }
    }
    // A device that holds audio and stops playing it must not hold back the last words and the end of
    // a run forever.
    if (!pending_.empty() && !audioNext && rate > 0 && writtenSamples_ > played &&
        now - lastProgress > stalledAfter_) {
      lock.unlock();
      output_->Flush();
      written_.clear();
      lastProgress = Clock::now();
      lock.lock();
      continue;
    }

    // Items that came while the lock was free are handled before any sleep.
    bool unhandled = !queue_.empty() && (queue_.front().kind != Kind::Audio || queue_.front().run->cancelled);
    if (stop_ || cancels_ != cancelsSeen || unhandled) continue;
    size_t queued = queue_.size();
    auto woken = [&] { return stop_ || cancels_ != cancelsSeen || queue_.size() != queued; };
    starving_ = !audioNext;
    if (pending_.empty() && !audioNext) {
      wake_.wait(lock, woken);
      starving_ = false;
      continue;
    }
    Clock::duration wait = kLongestSleep;
    if (rate > 0) {
      if (!pending_.empty()) wait = std::min(wait, SamplesToWait(pending_.front().sample - played, rate));
      if (audioNext) {
        wait = std::min(wait, SamplesToWait(writtenSamples_ - output_->LeadSamples() - played + 1, rate));
      }
    }
    if (wait > Clock::duration::zero()) wake_.wait_for(lock, wait, woken);
    starving_ = false;
  }
}

}  // namespace lectryn::speech
