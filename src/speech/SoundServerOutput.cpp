// Audio through the sound server's simple blocking API.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <chrono>

#include "speech/AudioOutput.h"

namespace lectryn::speech {
namespace {

class SoundServerOutput : public AudioOutput {
 public:
  explicit SoundServerOutput(pa_simple* stream) : stream_(stream) {}
  ~SoundServerOutput() override { pa_simple_free(stream_); }

  void Write(std::span<const int16_t> samples) override {
    int error = 0;
    // Counted as written either way: audio the server refused is never heard, and must not hold back
    // the words after it.
    pa_simple_write(stream_, samples.data(), samples.size_bytes(), &error);
    written_ += static_cast<int64_t>(samples.size());
    heldAtWrite_ = Latency();
    lastWrite_ = Clock::now();
  }

  int64_t PlayedSamples() override {
    // Once its stream runs dry the server goes on reporting its sink's latency (a null sink 112 ms, a
    // Bluetooth headset 200 ms) as if it still held that much of ours, though it plays in real time:
    // what was held at the last write has been heard after that long.
    auto since = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - lastWrite_).count();
    int64_t drained = std::max<int64_t>(0, heldAtWrite_ - since * kSampleRate / 1000000);
    int64_t held = std::min(Latency(), drained);
    return std::max<int64_t>(0, written_ - held);
  }

  void Flush() override {
    int error = 0;
    pa_simple_flush(stream_, &error);
  }

  double PlaybackRate() const override { return kSampleRate; }
  // More than a headset's latency, so that its sink never runs dry; well under the stream's buffer, so
  // that a write never blocks the player past a word that is due.
  int64_t LeadSamples() const override { return kSampleRate * 3 / 10; }

 private:
  using Clock = std::chrono::steady_clock;

  // Samples the server holds, in its buffer and its sink; all of them when it cannot say.
  int64_t Latency() {
    int error = 0;
    pa_usec_t latency = pa_simple_get_latency(stream_, &error);
    if (latency == static_cast<pa_usec_t>(-1)) return 0;
    return static_cast<int64_t>(latency * kSampleRate / 1000000);
  }

  pa_simple* stream_;
  int64_t written_ = 0;
  int64_t heldAtWrite_ = 0;
  Clock::time_point lastWrite_ = Clock::now();
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
  attributes.tlength = kSampleRate * 2;  // 500 ms of 16-bit samples: the lead and a block of synthesis
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
