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

void AudioPlayer::PushEvent(const std::shared_ptr<RunTicket>& run, int64_t runSample, PlayerTask task,
                            const WordMark* word) {
  if (word) {
    std::lock_guard lock(mutex_);
    run->marks.push_back(*word);
  }
  Push({Kind::Event, run, {}, runSample, std::move(task)});
}

void AudioPlayer::PushEnd(const std::shared_ptr<RunTicket>& run, PlayerTask task) {
  {
    std::lock_guard lock(mutex_);
    run->ended = true;
  }
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
  room_.wait(lock,
             [&] { return stop_ || run.cancelled || run.cutAt >= 0 || queuedSamples_ <= kMaxQueuedSamples; });
  return !stop_ && !run.cancelled && run.cutAt < 0;
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

RunCut AudioPlayer::Cut(RunTicket& run) {
  RunCut cut{RunCut::Kind::NoWordAhead};
  {
    std::lock_guard lock(mutex_);
    if (run.cutAt >= 0 || run.cancelled) return cut;
    // Taking audio happens under this lock, so nothing of the run past the mark can have been written.
    auto ahead = std::find_if(run.marks.begin(), run.marks.end(),
                              [&](const WordMark& mark) { return mark.runSample >= run.taken; });
    if (ahead != run.marks.end()) {
      cut = {RunCut::Kind::AtWord, *ahead};
      run.cutAt = ahead->runSample;
      ++cuts_;
    } else if (run.taken == 0 && !run.ended) {
      cut.kind = RunCut::Kind::NotStarted;
    }
  }
  if (cut.kind == RunCut::Kind::AtWord) {
    wake_.notify_one();
    room_.notify_all();
  }
  return cut;
}

void AudioPlayer::WaitUntilIdle() {
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return stop_ || (queue_.empty() && idle_); });
}

bool AudioPlayer::Pause() {
  if (!paced_) return false;
  {
    std::lock_guard lock(mutex_);
    paused_ = true;
  }
  wake_.notify_one();
  return true;
}

void AudioPlayer::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  wake_.notify_one();
}

void AudioPlayer::EnterRun(const std::shared_ptr<RunTicket>& run) {
  if (run == currentRun_) return;
  currentRun_ = run;
  runBase_ = writtenSamples_;
  if (run->stream->firstSample < 0) run->stream->firstSample = runBase_;
}

bool AudioPlayer::Dropped(const Item& item) const {
  const RunTicket& run = *item.run;
  if (run.cancelled) return true;
  int64_t cutAt = run.cutAt;
  if (cutAt < 0) return false;
  switch (item.kind) {
    case Kind::End:
      return true;  // the run that goes on in its place ends the stream
    case Kind::Event:
      return item.runSample >= cutAt;
    case Kind::Audio:
      return run.taken >= cutAt;
  }
  return false;
}

bool AudioPlayer::HoldsCancelledAudio(int64_t played) {
  while (!written_.empty() && written_.front().End() <= played) written_.pop_front();
  return std::any_of(written_.begin(), written_.end(),
                     [](const Written& w) { return w.run->cancelled.load(); });
}

void AudioPlayer::WriteItem(Item item) {
  EnterRun(item.run);
  output_->Write(item.samples);
  written_.push_back({std::move(item.run), writtenSamples_, std::move(item.samples)});
  writtenSamples_ = written_.back().End();
}

void AudioPlayer::HoldSound() {
  int64_t played = Played();
  output_->Flush();
  // The device now counts all it was given as played; from here the player's count goes on at the
  // sample heard last, and the audio after it is written again.
  skew_ += writtenSamples_ - played;
  writtenSamples_ = played;
  std::vector<Item> unheard;
  for (Written& block : written_) {
    if (block.End() <= played || block.run->cancelled) continue;
    auto from = block.samples.begin() + std::max<int64_t>(0, played - block.start);
    unheard.push_back({Kind::Audio, block.run, std::vector<int16_t>(from, block.samples.end()), 0, {}});
  }
  written_.clear();
  heard_ = played;
  std::lock_guard lock(mutex_);
  for (auto item = unheard.rbegin(); item != unheard.rend(); ++item) {
    auto size = static_cast<int64_t>(item->samples.size());
    item->run->taken -= size;
    queuedSamples_ += size;
    queue_.push_front(std::move(*item));
  }
}

void AudioPlayer::Run() {
  uint64_t cancelsSeen = 0;
  uint64_t cutsSeen = 0;
  bool runOpen = false;  // audio of a run was written and its end not yet reached
  bool outputToldIdle = true;
  bool holding = false;  // the sound is held by a pause
  int64_t lastPlayed = -1;
  Clock::time_point lastProgress = Clock::now();

  std::unique_lock lock(mutex_);
  for (;;) {
    if (stop_) return;
    bool cancelled = cancelsSeen != cancels_ || cutsSeen != cuts_;
    cancelsSeen = cancels_;
    cutsSeen = cuts_;
    bool queueShrank = false;
    // Events and ends go to pending as soon as they come; audio waits for room in the device.
    while (!queue_.empty()) {
      Item& item = queue_.front();
      if (Dropped(item)) {
        queuedSamples_ -= static_cast<int64_t>(item.samples.size());
        queue_.pop_front();
        queueShrank = true;
        continue;
      }
      if (item.kind == Kind::Audio) break;
      EnterRun(item.run);
      int64_t sample = item.kind == Kind::Event ? runBase_ + item.runSample : writtenSamples_;
      if (item.kind == Kind::End) runOpen = false;
      pending_.push_back(
          {item.run, sample, item.kind == Kind::Event ? item.runSample : -1, std::move(item.task)});
      queue_.pop_front();
    }
    if (cancelled && currentRun_ && currentRun_->cancelled) runOpen = false;
    bool hold = paused_ && !holding;
    if (!paused_ && holding) {
      holding = false;
      lastProgress = Clock::now();
    }
    bool tellIdle = queue_.empty() && !runOpen && !outputToldIdle;
    lock.unlock();
    if (queueShrank) room_.notify_all();
    if (tellIdle) {
      // Before the end of the run is posted: a file is complete by the time anyone hears of the end.
      outputToldIdle = true;
      output_->Idle();
    }
    if (cancelled) {
      std::erase_if(pending_, [](const Pending& p) {
        int64_t cutAt = p.run->cutAt;
        return p.run->cancelled.load() || (cutAt >= 0 && (p.runSample < 0 || p.runSample >= cutAt));
      });
      // A dropped voice falls silent at once, not after what the device still holds.
      if (HoldsCancelledAudio(Played())) {
        output_->Flush();
        written_.clear();
      }
    }
    if (hold) {
      holding = true;
      HoldSound();
      lock.lock();
      continue;  // what was put back is looked at again
    }

    int64_t played = holding ? heard_.load() : Played();
    heard_ = played;
    while (!written_.empty() && written_.front().End() <= played) written_.pop_front();
    auto now = Clock::now();
    if (played != lastPlayed || pending_.empty() || holding) {
      lastPlayed = played;
      lastProgress = now;
    }
    while (!holding && !pending_.empty() && pending_.front().sample <= played) {
      Pending due = std::move(pending_.front());
      pending_.pop_front();
      if (due.run->cancelled) continue;
      PlayedEvent at{due.sample, (due.sample - due.run->stream->firstSample) * 1000 / kSampleRate};
      loop_.Post([task = std::move(due.task), at] { task(at); });
    }

    const double rate = output_->PlaybackRate();
    lock.lock();
    bool audioNext =
        !holding && !queue_.empty() && queue_.front().kind == Kind::Audio && !queue_.front().run->cancelled;
    if (audioNext && (rate <= 0 || writtenSamples_ - played < output_->LeadSamples())) {
      Item item = std::move(queue_.front());
      queue_.pop_front();
      queuedSamples_ -= static_cast<int64_t>(item.samples.size());
      if (int64_t cutAt = item.run->cutAt; cutAt >= 0) {
        item.samples.resize(
            static_cast<size_t>(std::min<int64_t>(item.samples.size(), cutAt - item.run->taken)));
      }
      item.run->taken += static_cast<int64_t>(item.samples.size());
      lock.unlock();
      room_.notify_all();
      WriteItem(std::move(item));
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
    if (!pending_.empty() && !audioNext && !holding && rate > 0 && writtenSamples_ > played &&
        now - lastProgress > stalledAfter_) {
      lock.unlock();
      output_->Flush();
      written_.clear();
      lastProgress = Clock::now();
      lock.lock();
      continue;
    }

    // Items that came while the lock was free are handled before any sleep.
    bool unhandled = !queue_.empty() && (queue_.front().kind != Kind::Audio || Dropped(queue_.front()));
    if (stop_ || cancels_ != cancelsSeen || cuts_ != cutsSeen || unhandled || paused_ != holding) continue;
    size_t queued = queue_.size();
    auto woken = [&] {
      return stop_ || cancels_ != cancelsSeen || cuts_ != cutsSeen || queue_.size() != queued ||
             paused_ != holding;
    };
    starving_ = !audioNext;
    if (holding || (pending_.empty() && !audioNext)) {
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
