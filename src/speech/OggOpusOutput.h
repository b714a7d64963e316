#pragma once
// Writes the voice's audio to an Ogg Opus file as fast as it is synthesised. Opus files are far smaller
// than WAV for speech; the file is playable once Close has ended its stream.
#include <cstdio>
#include <mutex>
#include <string>

#include "speech/AudioFileOutput.h"

struct OggOpusEnc;

namespace lectryn::speech {

class OggOpusOutput : public AudioFileOutput {
 public:
  // Throws platform::Failure when the file cannot be created.
  explicit OggOpusOutput(std::string path);
  ~OggOpusOutput() override;

  std::string Close() override;

 private:
  void WriteToFile(std::span<const int16_t> samples) override;
  static int WritePage(void* self, const unsigned char* data, int32_t length);
  void Fail(const std::string& what);

  std::string path_;
  std::mutex mutex_;  // Close may come from another thread than the player's
  std::FILE* file_ = nullptr;
  OggOpusEnc* encoder_ = nullptr;
  std::string error_;  // for people; the file is incomplete
};

}  // namespace lectryn::speech
