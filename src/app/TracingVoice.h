#pragma once
// A voice factory that wraps another: the program's voice is unchanged, and the reader learns of
// every text handed to the voice and of every event after the narration has handled it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Voice.h"

namespace lectryn::app {

// Each hook is optional. Word hooks run around the sink's handling of the word; end runs before the
// sink's end-of-text handling (which may start the next piece), afterEnd after it; failed runs before
// the sink learns that the voice failed.
struct VoiceHooks {
  // With the language chosen for the text (empty: the default).
  std::function<void(const std::u16string& text, const std::u16string& language)> speak;
  // After speak, when the user chose the voice of the text's language (primary language, identifier).
  std::function<void(const std::string& language, const std::string& identifier)> voice;
  std::function<void()> beforeWord;
  std::function<void(int32_t position, int32_t length, int64_t audioMs)> afterWord;
  std::function<void(int64_t audioMs)> end;  // audioMs: the length of the text's audio
  std::function<void()> afterEnd;
  std::function<void(const std::string& message)> failed;
};

class TracingVoiceFactory : public platform::VoiceFactory {
 public:
  TracingVoiceFactory(platform::VoiceFactory& inner, VoiceHooks hooks)
      : inner_(inner), hooks_(std::move(hooks)) {}
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  std::vector<platform::InstalledVoice> InstalledVoices() override { return inner_.InstalledVoices(); }
  std::string DefaultVoiceFor(const std::u16string& tag) override { return inner_.DefaultVoiceFor(tag); }
  int32_t DefaultRate() const override { return inner_.DefaultRate(); }
  // An export is not a reading aloud: its voices are not traced.
  std::unique_ptr<platform::AudioRecorder> CreateRecorder(const std::string& path) override {
    return inner_.CreateRecorder(path);
  }
  std::vector<platform::VoiceEngine> Engines() const override { return inner_.Engines(); }
  std::string EngineInUse() const override { return inner_.EngineInUse(); }
  bool UseEngine(const std::string& key) override { return inner_.UseEngine(key); }
  // Listing only: the engine's own factory, or this one for a key the wrapped factory does not know.
  platform::VoiceFactory& EngineFactory(const std::string& key) override {
    platform::VoiceFactory& engine = inner_.EngineFactory(key);
    return &engine == &inner_ ? *this : engine;
  }

 private:
  platform::VoiceFactory& inner_;
  VoiceHooks hooks_;
};

}  // namespace lectryn::app
