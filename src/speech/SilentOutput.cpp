#include "speech/SilentOutput.h"

#include <algorithm>

namespace lectryn::speech {

using Clock = std::chrono::steady_clock;

SilentOutput::SilentOutput(double speed) : speed_(speed > 0 ? speed : 1.0), startTime_(Clock::now()) {}

int64_t SilentOutput::PlayedLocked(Clock::time_point now) const {
  double seconds = std::chrono::duration<double>(now - startTime_).count();
  auto played = startSample_ + static_cast<int64_t>(seconds * kSampleRate * speed_);
  return std::min(played, written_);
}

void SilentOutput::Write(std::span<const int16_t> samples) {
  std::lock_guard lock(mutex_);
  auto now = Clock::now();
  if (PlayedLocked(now) >= written_) {
    startTime_ = now;
    startSample_ = written_;
  }
  written_ += static_cast<int64_t>(samples.size());
}

int64_t SilentOutput::PlayedSamples() {
  std::lock_guard lock(mutex_);
  return PlayedLocked(Clock::now());
}

void SilentOutput::Flush() {
  std::lock_guard lock(mutex_);
  startTime_ = Clock::now();
  startSample_ = written_;
}

Clock::time_point SilentOutput::TimeOfSample(int64_t sample) {
  std::lock_guard lock(mutex_);
  double seconds = static_cast<double>(sample - startSample_) / (kSampleRate * speed_);
  return startTime_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace lectryn::speech
