#pragma once
// An output into a file: it takes audio as fast as it comes, so every sample counts as heard once
// written. The file is finished by Close, which says what went wrong.
#include <atomic>
#include <cstdint>
#include <string>

#include "speech/AudioOutput.h"

namespace lectryn::speech {

class AudioFileOutput : public AudioOutput {
 public:
  // Samples that cannot be written (after a failure or Close) still count as heard, so that the words
  // of a reading go on and it ends.
  void Write(std::span<const int16_t> samples) final {
    handed_ += static_cast<int64_t>(samples.size());
    WriteToFile(samples);
  }
  int64_t PlayedSamples() override { return handed_; }
  void Flush() override {}
  double PlaybackRate() const override { return 0; }
  int64_t LeadSamples() const override { return 0; }

  // Samples written so far; safe from any thread.
  int64_t WrittenSamples() const { return written_; }
  // Completes the file and closes it; what is written afterwards is dropped. Returns what went wrong
  // for people ("No space left on device"), empty when the file is whole. Calling it again returns the
  // same.
  virtual std::string Close() = 0;

 protected:
  // Adds the samples to the file and to written_, or drops them.
  virtual void WriteToFile(std::span<const int16_t> samples) = 0;

  std::atomic<int64_t> written_{0};

 private:
  std::atomic<int64_t> handed_{0};
};

}  // namespace lectryn::speech
