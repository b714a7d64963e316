// Audio through the sound server's simple blocking API.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>

#include "speech/AudioOutput.h"

namespace lectryn::speech {
namespace {

class SoundServerOutput : public AudioOutput {
 public:
  explicit SoundServerOutput(pa_simple* stream) : stream_(stream) {}
  ~SoundServerOutput() override { pa_simple_free(stream_); }

  void Write(std::span<const int16_t> samples) override {
    int error = 0;
    if (pa_simple_write(stream_, samples.data(), samples.size_bytes(), &error) < 0)
      return;  // counted as heard
    written_ += static_cast<int64_t>(samples.size());
  }

  int64_t PlayedSamples() override {
    int error = 0;
    pa_usec_t latency = pa_simple_get_latency(stream_, &error);
    if (latency == static_cast<pa_usec_t>(-1)) return written_;
    auto held = static_cast<int64_t>(latency * kSampleRate / 1000000);
    return std::max<int64_t>(0, written_ - held);
  }

  void Flush() override {
    int error = 0;
    pa_simple_flush(stream_, &error);
  }

  double PlaybackRate() const override { return kSampleRate; }
  // Well under the server's buffer, so a write never blocks the player past a word that is due.
  int64_t LeadSamples() const override { return kSampleRate * 8 / 100; }

 private:
  pa_simple* stream_;
  int64_t written_ = 0;
};

}  // namespace

std::unique_ptr<AudioOutput> OpenSoundServerOutput(std::string& whyNot) {
  pa_sample_spec format{};
  format.format = PA_SAMPLE_S16LE;
  format.rate = kSampleRate;
  format.channels = 1;
  // Room for the lead the player keeps plus one block of synthesis; a stop flushes it.
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<uint32_t>(-1);
  attributes.tlength = kSampleRate * 2 / 5;  // 200 ms of 16-bit samples
  // Playback starts after 10 ms rather than a full buffer, so a short text is heard, and ends, too.
  attributes.prebuf = kSampleRate * 2 / 100;
  attributes.minreq = static_cast<uint32_t>(-1);
  attributes.fragsize = static_cast<uint32_t>(-1);
  int error = 0;
  pa_simple* stream = pa_simple_new(nullptr, "Lectryn", PA_STREAM_PLAYBACK, nullptr, "reading", &format,
                                    nullptr, &attributes, &error);
  if (!stream) {
    whyNot = std::string("sound server: ") + pa_strerror(error);
    return nullptr;
  }
  return std::make_unique<SoundServerOutput>(stream);
}

}  // namespace lectryn::speech
