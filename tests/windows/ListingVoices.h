#pragma once
// A voice factory that lists a few installed voices and tells what each voice it made was asked to
// do; its voices say nothing and raise no event.
#include <memory>
#include <string>
#include <vector>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "platform/Voice.h"

namespace lectryn::testing {

// What one voice of the factory was told, in the order it was told.
struct VoiceLog {
  std::vector<std::string> calls;
  bool dropped = false;
};

class LoggingVoice : public platform::SpVoice {
 public:
  explicit LoggingVoice(std::shared_ptr<VoiceLog> log) : log_(std::move(log)) {}
  ~LoggingVoice() override { log_->dropped = true; }
  int32_t Speak(const std::u16string& text, int32_t) override {
    log_->calls.push_back("Speak " + platform::ToUtf8(text));
    return 1;
  }
  int32_t Skip(const std::u16string&, int32_t) override { return 0; }
  platform::SpeechVoiceStatus Status() const override { return {}; }
  void SetLanguage(const std::u16string& tag) override {
    log_->calls.push_back("Language " + platform::ToUtf8(tag));
  }
  void SetRate(int32_t wordsPerMinute) override {
    log_->calls.push_back("Rate " + std::to_string(wordsPerMinute));
  }
  void SetVoiceChoices(const platform::VoiceChoices& choices) override {
    std::string said = "Choices";
    for (const auto& [language, voice] : choices) said += " " + language + "=" + voice;
    log_->calls.push_back(said);
  }

 private:
  std::shared_ptr<VoiceLog> log_;
};

class ListingVoices : public platform::VoiceFactory {
 public:
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents&) override {
    if (failing) throw platform::Failure("no voice data");
    made.push_back(std::make_shared<VoiceLog>());
    return std::make_shared<LoggingVoice>(made.back());
  }
  std::vector<platform::InstalledVoice> InstalledVoices() override {
    if (listFails) throw platform::Failure("cannot read the voice data");
    return installed;
  }
  std::string DefaultVoiceFor(const std::u16string& tag) override {
    std::string language = platform::ToUtf8(tag);
    if (language == "en") return "en-us";
    if (language == "ar") return "ar";
    return "";
  }
  int32_t DefaultRate() const override { return 175; }

  // Voices speaking English, Arabic and French, one of them two languages; none German.
  std::vector<platform::InstalledVoice> installed = {
      {"en-gb", u"English (Great Britain)", {"en-GB", "en"}},  {"en-us", u"English (America)", {"en-US"}},
      {"en-us+f2", u"English (America), female 2", {"en-US"}}, {"ar", u"Arabic", {"ar"}},
      {"fr-be", u"French (Belgium)", {"fr-BE", "nl-BE"}},      {"fr-fr", u"French (France)", {"fr-FR"}},
  };
  std::vector<std::shared_ptr<VoiceLog>> made;
  bool failing = false;    // CreateVoice fails
  bool listFails = false;  // InstalledVoices fails
};

// A desktop speech server's voices: a voice per module and language, and the server's own choice,
// the default of every language, at a speed of its own.
class ServerVoices : public ListingVoices {
 public:
  ServerVoices() {
    installed = {
        {"sd:", u"As the desktop sets it", {"en", "fr", "de"}},
        {"sd:espeak-ng:English", u"espeak-ng: English", {"en"}},
        {"sd:espeak-ng:French (Belgium)", u"espeak-ng: French (Belgium)", {"fr-BE"}},
        {"sd:festival:", u"festival", {"de"}},
    };
  }
  std::string DefaultVoiceFor(const std::u16string&) override { return "sd:"; }
  int32_t DefaultRate() const override { return 160; }
};

// Voices from two engines: "own" lists ListingVoices' voices, "server" a desktop server's. Voices,
// lists and speeds come from the one in use.
class EngineVoices : public platform::VoiceFactory {
 public:
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override {
    return EngineFactory(inUse).CreateVoice(sink);
  }
  std::vector<platform::InstalledVoice> InstalledVoices() override {
    return EngineFactory(inUse).InstalledVoices();
  }
  std::string DefaultVoiceFor(const std::u16string& tag) override {
    return EngineFactory(inUse).DefaultVoiceFor(tag);
  }
  int32_t DefaultRate() const override {
    return inUse == "server" ? server.DefaultRate() : own.DefaultRate();
  }
  std::vector<platform::VoiceEngine> Engines() const override {
    return {{"own", u"Own voices"}, {"server", u"Desktop voices"}};
  }
  std::string EngineInUse() const override { return inUse; }
  bool UseEngine(const std::string& key) override {
    if (key != "own" && key != "server") return false;
    inUse = key;
    return true;
  }
  platform::VoiceFactory& EngineFactory(const std::string& key) override {
    if (key == "server") return server;
    if (key == "own") return own;
    return *this;
  }

  ListingVoices own;
  ServerVoices server;
  std::string inUse = "own";
};

}  // namespace lectryn::testing
