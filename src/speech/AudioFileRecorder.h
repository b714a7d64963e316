#pragma once
// Speech recorded into a WAV or Ogg Opus file (Ogg Opus for a name ending in .ogg or .opus). The audio
// goes into a hidden file beside the target, made afresh, which Commit completes and renames to the
// target: the target never holds half a recording, and a recorder dropped without Commit removes it.
#include <memory>
#include <string>

#include "platform/UiLoop.h"
#include "platform/Voice.h"
#include "speech/AudioFileOutput.h"
#include "speech/AudioPlayer.h"
#include "speech/EspeakEngine.h"

namespace lectryn::speech {

class AudioFileRecorder : public platform::AudioRecorder {
 public:
  // voices: the factory whose voice list and defaults the recorder shares; it outlives the recorder.
  // Throws platform::Failure, for people, when the file cannot be made (folder missing, not writable).
  AudioFileRecorder(platform::VoiceFactory& voices, platform::UiLoop& loop, EspeakEngine& engine,
                    std::string path);
  ~AudioFileRecorder() override;
  AudioFileRecorder(const AudioFileRecorder&) = delete;
  AudioFileRecorder& operator=(const AudioFileRecorder&) = delete;

  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  std::vector<platform::InstalledVoice> InstalledVoices() override { return voices_.InstalledVoices(); }
  std::string DefaultVoiceFor(const std::u16string& tag) override { return voices_.DefaultVoiceFor(tag); }
  int32_t DefaultRate() const override { return voices_.DefaultRate(); }

  int64_t RecordedMs() const override;
  // Waits for the audio handed over, completes the file and renames it to its path. Voices that
  // speak afterwards write nothing. Throws platform::Failure; the file is then gone.
  void Commit() override;

  // The hidden file the audio goes to until Commit; for tests.
  const std::string& PartPath() const { return partPath_; }

 private:
  void RemovePart();

  platform::VoiceFactory& voices_;
  EspeakEngine& engine_;
  const std::string path_;
  std::string partPath_;
  AudioFileOutput* output_ = nullptr;  // owned by player_
  std::shared_ptr<AudioPlayer> player_;
  bool done_ = false;  // committed, or failed and removed
};

// True for a name that is recorded as Ogg Opus (.ogg or .opus, in any case).
bool RecordsOggOpus(const std::string& path);

}  // namespace lectryn::speech
