#pragma once
// Languages named for people, in the language of the user's locale, through ICU's locale data.
#include <string>
#include <vector>

namespace lectryn::windows::voices {

struct NamedLanguage {
  std::string code;     // lower-case primary language ("de")
  std::u16string name;  // for people ("German", "Allemand")
};

// The user's locale as ICU takes it from the environment ("de_DE"; "en_US_POSIX" for "C").
std::string UserLocale();

// The name of a language code in the language of a locale ("de" in "fr_FR": "allemand"). A code
// ICU does not know is its own name.
std::u16string LanguageName(const std::string& code, const std::string& locale);

// The languages named in the language of locale and sorted as its readers expect. Each comes with
// the name it has where ICU does not know it (the name of a voice that speaks it, say); names that
// two languages share are told apart by their codes: "Chinese (cmn)", "Chinese (zh)".
std::vector<NamedLanguage> NameLanguages(const std::vector<NamedLanguage>& languages,
                                         const std::string& locale);

}  // namespace lectryn::windows::voices
