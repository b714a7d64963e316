#pragma once
// An output without a device: samples are "heard" at real time (times a speed factor) and dropped, so
// words are timed as they would be with sound.
#include <chrono>
#include <mutex>

#include "speech/AudioOutput.h"

namespace lectryn::speech {

class SilentOutput : public AudioOutput {
 public:
  // speed 1 is real time; tests use more.
  explicit SilentOutput(double speed = 1.0);

  void Write(std::span<const int16_t> samples) override;
  int64_t PlayedSamples() override;
  void Flush() override;
  double PlaybackRate() const override { return kSampleRate * speed_; }
  int64_t LeadSamples() const override { return kSampleRate / 10; }

  // When the given sample (counted over everything written) is or was heard; for measuring the player.
  std::chrono::steady_clock::time_point TimeOfSample(int64_t sample);

 private:
  int64_t PlayedLocked(std::chrono::steady_clock::time_point now) const;

  const double speed_;
  std::mutex mutex_;
  int64_t written_ = 0;
  // The clock runs from (startTime_, startSample_) while there is audio; an output that ran dry starts
  // again when new audio comes.
  std::chrono::steady_clock::time_point startTime_;
  int64_t startSample_ = 0;
};

}  // namespace lectryn::speech
