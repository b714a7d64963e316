// Audio straight to the ALSA default device.
#include <alsa/asoundlib.h>

#include <algorithm>

#include "speech/AudioOutput.h"

namespace lectryn::speech {
namespace {

class AlsaOutput : public AudioOutput {
 public:
  explicit AlsaOutput(snd_pcm_t* pcm) : pcm_(pcm) {}
  ~AlsaOutput() override {
    snd_pcm_drain(pcm_);
    snd_pcm_close(pcm_);
  }

  void Write(std::span<const int16_t> samples) override {
    const int16_t* data = samples.data();
    auto left = static_cast<snd_pcm_uframes_t>(samples.size());
    while (left > 0) {
      snd_pcm_sframes_t done = snd_pcm_writei(pcm_, data, left);
      if (done < 0) {
        // An underrun between two pieces of speech is normal; anything that does not recover drops the rest.
        if (snd_pcm_recover(pcm_, static_cast<int>(done), 1) < 0) break;
        continue;
      }
      data += done;
      left -= static_cast<snd_pcm_uframes_t>(done);
    }
    written_ += static_cast<int64_t>(samples.size());
  }

  int64_t PlayedSamples() override {
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_, &delay) < 0) return written_;  // ran dry: all of it was heard
    return std::max<int64_t>(0, written_ - std::max<snd_pcm_sframes_t>(0, delay));
  }

  void Flush() override {
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
  }

  double PlaybackRate() const override { return kSampleRate; }
  // Well under the device's buffer, so a write never blocks the player past a word that is due.
  int64_t LeadSamples() const override { return kSampleRate * 8 / 100; }

 private:
  snd_pcm_t* pcm_;
  int64_t written_ = 0;
};

// The library prints its own lines for a missing card; the caller reports the failure once, in its words.
void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::unique_ptr<AudioOutput> OpenAlsaOutput(std::string& whyNot) {
  snd_pcm_t* pcm = nullptr;
  snd_lib_error_set_handler(IgnoreAlsaMessage);
  int error = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
  snd_lib_error_set_handler(nullptr);
  if (error >= 0) {
    error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRate,
                               1 /* resample if needed */, 200000 /* buffer in microseconds */);
    if (error < 0) snd_pcm_close(pcm);
  }
  if (error >= 0) {
    // Start with the first block rather than a full buffer, or a short text would never be heard.
    snd_pcm_sw_params_t* software = nullptr;
    snd_pcm_sw_params_alloca(&software);
    if (snd_pcm_sw_params_current(pcm, software) == 0 &&
        snd_pcm_sw_params_set_start_threshold(pcm, software, kSampleRate / 100) == 0) {
      snd_pcm_sw_params(pcm, software);
    }
  }
  if (error < 0) {
    whyNot = std::string("ALSA default device: ") + snd_strerror(error);
    return nullptr;
  }
  return std::make_unique<AlsaOutput>(pcm);
}

}  // namespace lectryn::speech
