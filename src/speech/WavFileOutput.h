#pragma once
// Writes the voice's audio to a WAV file (22050 Hz, mono, 16-bit PCM) as fast as it is synthesised.
// The header holds the true length whenever the player is idle and after the output is destroyed, so a
// program that ends after its speech finished leaves a complete file.
#include <cstdio>
#include <string>

#include "speech/AudioOutput.h"

namespace lectryn::speech {

class WavFileOutput : public AudioOutput {
 public:
  // Throws platform::Failure when the file cannot be created.
  explicit WavFileOutput(std::string path);
  ~WavFileOutput() override;

  void Write(std::span<const int16_t> samples) override;
  int64_t PlayedSamples() override { return written_; }
  void Flush() override {}
  double PlaybackRate() const override { return 0; }
  int64_t LeadSamples() const override { return 0; }
  void Idle() override;

 private:
  void WriteHeader();
  void ReportError(const char* action);

  std::string path_;
  std::FILE* file_ = nullptr;
  int64_t written_ = 0;         // samples
  int64_t headerWritten_ = -1;  // samples the header last announced
  bool failed_ = false;
};

}  // namespace lectryn::speech
