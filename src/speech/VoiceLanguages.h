#pragma once
// Which of the synthesiser's voices speaks a language: BCP 47 tags matched against the languages each
// installed voice declares, with the user's locale as the default.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Voice.h"

namespace lectryn::speech {

// One installed voice as the synthesiser lists it.
struct VoiceEntry {
  struct Language {
    int priority;      // lower is a better match for this language
    std::string name;  // lower case, as the voice data spells it ("pt-br", "cmn")
  };
  std::string identifier;  // what selects the voice ("roa/pt-BR")
  std::vector<Language> languages;
};

// A variant of every voice ("f2" is read by "roa/pt-BR+f2").
struct VariantEntry {
  std::string identifier;  // without the data's folder ("f2")
  std::string name;        // as the voice data spells it ("female2")
};

class VoiceLanguages {
 public:
  // localeTag: the user's language as a BCP 47 tag, empty when unknown; English when it matches nothing.
  VoiceLanguages(std::vector<VoiceEntry> voices, std::string_view localeTag);

  // The voice for a tag: the whole tag, then shorter prefixes of it, each also under the name the voice
  // data uses for it ("zh-Hant" is Mandarin, "iw" Hebrew); an empty or unmatched tag gets the default.
  const std::string& Choose(std::u16string_view tag) const;
  // The lower-case primary language of a tag ("pt-BR" -> "pt"); for an empty tag, the default voice's.
  std::string PrimaryLanguage(std::u16string_view tag) const;
  // As Choose, but empty when nothing matches.
  const std::string& Find(std::string_view tag) const;
  // Empty only when no voice at all is installed.
  const std::string& Default() const { return default_; }
  const std::vector<VoiceEntry>& Voices() const { return voices_; }

 private:
  const std::string& Match(std::string_view language) const;

  std::vector<VoiceEntry> voices_;
  std::string default_;
};

// What the user chooses from: each voice, in the order given, and after the one voice of each language
// that names the bare language best (else its first) that voice with each variant. names
// holds each voice's name as the voice data spells it ("English_(Great_Britain)"); the choices' names are
// for people ("English (Great Britain), female 2") and their languages BCP 47 tags ("en-GB-x-rp").
std::vector<platform::InstalledVoice> VoiceChoices(const std::vector<VoiceEntry>& voices,
                                                   const std::vector<std::string>& names,
                                                   const std::vector<VariantEntry>& variants);

// A language as the voice data names it, as a BCP 47 tag: "en-gb-x-rp" -> "en-GB-x-rp".
std::string Bcp47Tag(std::string_view name);

// The user's language from LC_ALL, else LC_MESSAGES, else LANG ("fr_FR.UTF-8" -> "fr-FR"); empty for
// "C", "POSIX" or nothing set.
std::string LocaleLanguageTag();

}  // namespace lectryn::speech
