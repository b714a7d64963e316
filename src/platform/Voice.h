#pragma once
// The speech voice: speaks text on its own and reports each word through the UI loop.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Failure.h"

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
  // The voice lost what speaks for it (a speech server that died or cannot be reached) and stopped:
  // no EndStream follows. message is for people. The voice's next Speak tries again.
  virtual void pVoice_Failed(const std::string& /*message*/) {}
};

enum class SpeechRunState : int32_t { Done = 1, IsSpeaking = 2 };

struct SpeechVoiceStatus {
  int32_t RunningState = static_cast<int32_t>(SpeechRunState::Done);
  bool Paused = false;           // speaking, but held by Pause
  int32_t CurrentSentence = 0;   // 0-based sentence of the text that is being heard
  int64_t SentenceHeardMs = 0;   // how much of that sentence has been heard, in milliseconds of audio
};

// Flags of Speak.
constexpr int32_t SVSFlagsAsync = 1;
// Starts at the text's last sentence rather than its first: going back into a piece read before.
constexpr int32_t SVSFStartAtLastSentence = 1 << 16;

// Speeds in words per minute that a voice takes; 0 means the voice's own.
constexpr int32_t kMinWordsPerMinute = 80;
constexpr int32_t kMaxWordsPerMinute = 450;

// A speed a voice takes: 0 stays 0, anything else is clamped to kMinWordsPerMinute..kMaxWordsPerMinute.
inline int32_t ClampedWordsPerMinute(int32_t wordsPerMinute) {
  if (wordsPerMinute == 0) return 0;
  return wordsPerMinute < kMinWordsPerMinute   ? kMinWordsPerMinute
         : wordsPerMinute > kMaxWordsPerMinute ? kMaxWordsPerMinute
                                               : wordsPerMinute;
}

// An installed voice the user can choose.
struct InstalledVoice {
  std::string identifier;              // what VoiceChoices hold ("gmw/en-GB-x-rp+f2")
  std::u16string name;                 // for people ("English (Received Pronunciation), female 2")
  std::vector<std::string> languages;  // BCP 47 tags it speaks, best first
};

// The user's voice for each language: lower-case primary language ("en", "ar") to an identifier.
using VoiceChoices = std::map<std::string, std::string>;

// The language a BCP 47 tag's choice is kept under: "pt-BR" and "PT_br" give "pt".
inline std::string ChoiceLanguageOf(std::string_view tag) {
  std::string language(tag.substr(0, tag.find_first_of("-_")));
  for (char& c : language)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return language;
}

// One voice object. Dropping the last reference stops its speech at once, and none of its events
// runs afterwards, not even one already posted to the UI loop.
class SpVoice {
 public:
  virtual ~SpVoice() = default;
  // Starts speaking text and returns at once; Word per word, EndStream once at the end.
  // Returns the stream number. A new Speak replaces what the voice was speaking.
  virtual int32_t Speak(const std::u16string& text, int32_t flags) = 0;
  // Goes on count items ("SENTENCE") on from the one being heard: back for a negative count, to the
  // start of the sentence being heard for 0. Returns the count moved, which is short when the text
  // has no more sentences before (so -1 at the first sentence returns 0 and restarts it).
  virtual int32_t Skip(const std::u16string& type, int32_t count) = 0;
  virtual SpeechVoiceStatus Status() const = 0;
  // The language of what the next Speak says: a BCP 47 tag ("fr", "pt-BR", "zh-Hant"); empty is
  // the program's default. A tag the voice lacks is spoken with its nearest language; never fails.
  virtual void SetLanguage(const std::u16string& tag) = 0;

  // Holds the sound where it is, within a few milliseconds: no word event comes until Resume, which
  // goes on from the same sample. False when this voice cannot pause. Pausing a paused or silent
  // voice, or resuming one that is not paused, does nothing. A paused voice stays paused through
  // Speak and Skip: what they start is heard on Resume.
  virtual bool Pause() { return false; }
  virtual void Resume() {}
  // Speed in words per minute, clamped to kMinWordsPerMinute..kMaxWordsPerMinute; 0 is the voice's
  // own. While speaking it takes effect from the next word, which is neither repeated nor skipped.
  virtual void SetRate(int32_t /*wordsPerMinute*/) {}
  virtual int32_t Rate() const { return 0; }
  // Which installed voice speaks each language; a language without a choice gets the default voice.
  // Applies from the next Speak.
  virtual void SetVoiceChoices(const VoiceChoices& /*choices*/) {}
  // True when the word events of the text being spoken are timed by estimate (an engine that reports
  // no word boundaries) rather than by the sound.
  virtual bool WordTimesEstimated() const { return false; }
};

inline bool IsSpeaking(const SpVoice& voice) {
  return voice.Status().RunningState == static_cast<int32_t>(SpeechRunState::IsSpeaking);
}

class AudioRecorder;

// What speaks for a factory: its own synthesiser, or a speech server of the desktop.
struct VoiceEngine {
  std::string key;      // kept in the settings: "espeak", "speechd"
  std::u16string name;  // for people: "Desktop voices (speech-dispatcher)"
};

// Creates voices bound to an event sink that outlives them (the window holding the voice).
class VoiceFactory {
 public:
  virtual ~VoiceFactory() = default;
  // Throws Failure when no voice can be made (voice data missing, for example).
  virtual std::shared_ptr<SpVoice> CreateVoice(VoiceEvents& sink) = 0;

  // The voices the user can choose from, in a stable order; empty when there is no choice.
  virtual std::vector<InstalledVoice> InstalledVoices() { return {}; }
  // The voice that speaks a language (a BCP 47 tag, empty: the default) when the user chose none.
  virtual std::string DefaultVoiceFor(const std::u16string& /*tag*/) { return {}; }
  // The words per minute of rate 0.
  virtual int32_t DefaultRate() const { return 175; }
  // Voices that write their audio into a file instead of playing it (WAV, or Ogg Opus for a name
  // ending in .ogg or .opus). Throws Failure when the file cannot be made or this factory cannot
  // record.
  virtual std::unique_ptr<AudioRecorder> CreateRecorder(const std::string& path);

  // A factory that can speak through several engines lists them; voices come from the one in use.
  // A factory with one engine lists none.
  virtual std::vector<VoiceEngine> Engines() const { return {}; }
  virtual std::string EngineInUse() const { return {}; }
  // From the next CreateVoice on; an unknown key changes nothing and returns false.
  virtual bool UseEngine(const std::string& /*key*/) { return false; }
  // One engine's factory, to list its voices before it is chosen; this factory for an unknown key.
  virtual VoiceFactory& EngineFactory(const std::string& /*key*/) { return *this; }
};

// Its voices write into one file, one text after the other, as fast as the audio is made; each word
// event comes once its audio is written. The file appears at its path whole, at Commit; a recorder
// dropped without Commit leaves nothing behind.
class AudioRecorder : public VoiceFactory {
 public:
  // Milliseconds of audio written to the file so far: where the next text's audio will begin once
  // the voice has ended the stream before it.
  virtual int64_t RecordedMs() const = 0;
  // Waits for the audio handed over, completes the file and moves it to its path. Throws Failure.
  virtual void Commit() = 0;
};

inline std::unique_ptr<AudioRecorder> VoiceFactory::CreateRecorder(const std::string& path) {
  throw Failure("cannot record speech into " + path + ": this voice only speaks aloud");
}

}  // namespace lectryn::platform
