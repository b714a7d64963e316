#pragma once
// Where the voice's audio goes: mono 16-bit samples at kSampleRate. The player asks an output how much of
// what it was given has been heard, and posts each word when its first sample has been.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace lectryn::speech {

constexpr int32_t kSampleRate = 22050;  // what the synthesiser produces

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Hands samples over; may block while the device's buffer is full.
  virtual void Write(std::span<const int16_t> samples) = 0;
  // How many of all samples written so far have been heard (written minus what the device still holds).
  virtual int64_t PlayedSamples() = 0;
  // Drops what was written but not yet heard; afterwards everything written counts as played.
  virtual void Flush() = 0;
  // Samples heard per second of the steady clock; 0 for an output that takes audio as fast as it comes
  // (a file), whose samples count as heard once written.
  virtual double PlaybackRate() const = 0;
  // How far ahead of the listener the player keeps the output filled, in samples.
  virtual int64_t LeadSamples() const = 0;
  // The player has nothing more to write for now (a file makes itself complete and readable here).
  virtual void Idle() {}
};

// Each returns no output and sets whyNot when the device does not open.
std::unique_ptr<AudioOutput> OpenSoundServerOutput(std::string& whyNot);
std::unique_ptr<AudioOutput> OpenAlsaOutput(std::string& whyNot);

}  // namespace lectryn::speech
