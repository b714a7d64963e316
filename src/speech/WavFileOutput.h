#pragma once
// Writes the voice's audio to a WAV file (22050 Hz, mono, 16-bit PCM) as fast as it is synthesised.
// The header holds the true length whenever the player is idle and after the output is closed or
// destroyed, so a program that ends after its speech finished leaves a complete file.
#include <cstdio>
#include <mutex>
#include <string>

#include "speech/AudioFileOutput.h"

namespace lectryn::speech {

class WavFileOutput : public AudioFileOutput {
 public:
  // Throws platform::Failure when the file cannot be created.
  explicit WavFileOutput(std::string path);
  ~WavFileOutput() override;

  void Idle() override;
  std::string Close() override;

 private:
  void WriteToFile(std::span<const int16_t> samples) override;
  void WriteHeader();
  void ReportError(const char* action);

  std::string path_;
  std::mutex mutex_;  // Close may come from another thread than the player's
  std::FILE* file_ = nullptr;
  int64_t headerWritten_ = -1;  // samples the header last announced
  std::string error_;           // for people; the file is incomplete
};

}  // namespace lectryn::speech
