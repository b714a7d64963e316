#pragma once
// The speech voice: speaks text on its own and reports each word through the UI loop.
#include <cstdint>
#include <memory>
#include <string>

namespace lectryn::platform {

// Receives a voice's events on the UI thread, one at a time. Positions and lengths count UTF-16
// units of the text given to Speak. StreamPosition is the audio time in milliseconds from the start
// of that text's speech.
class VoiceEvents {
 public:
  virtual ~VoiceEvents() = default;
  virtual void pVoice_Word(int32_t StreamNumber, int64_t StreamPosition, int32_t CharacterPosition,
                           int32_t Length) = 0;
  virtual void pVoice_EndStream(int32_t StreamNumber, int64_t StreamPosition) = 0;
};

enum class SpeechRunState : int32_t { Done = 1, IsSpeaking = 2 };

struct SpeechVoiceStatus {
  int32_t RunningState = static_cast<int32_t>(SpeechRunState::Done);
};

// Flags of Speak.
constexpr int32_t SVSFlagsAsync = 1;

// One voice object. Dropping the last reference stops its speech at once, and none of its events
// runs afterwards, not even one already posted to the UI loop.
class SpVoice {
 public:
  virtual ~SpVoice() = default;
  // Starts speaking text and returns at once; Word per word, EndStream once at the end.
  // Returns the stream number. A new Speak replaces what the voice was speaking.
  virtual int32_t Speak(const std::u16string& text, int32_t flags) = 0;
  // Goes on at the next item ("SENTENCE") of the text being spoken; returns the count skipped.
  virtual int32_t Skip(const std::u16string& type, int32_t count) = 0;
  virtual SpeechVoiceStatus Status() const = 0;
  // The language of what the next Speak says: a BCP 47 tag ("fr", "pt-BR", "zh-Hant"); empty is
  // the program's default. A tag the voice lacks is spoken with its nearest language; never fails.
  virtual void SetLanguage(const std::u16string& tag) = 0;
};

inline bool IsSpeaking(const SpVoice& voice) {
  return voice.Status().RunningState == static_cast<int32_t>(SpeechRunState::IsSpeaking);
}

// Creates voices bound to an event sink that outlives them (the window holding the voice).
class VoiceFactory {
 public:
  virtual ~VoiceFactory() = default;
  // Throws Failure when no voice can be made (voice data missing, for example).
  virtual std::shared_ptr<SpVoice> CreateVoice(VoiceEvents& sink) = 0;
};

}  // namespace lectryn::platform
