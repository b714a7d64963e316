#include "windows/voices/LanguageNames.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <map>
#include <memory>

namespace lectryn::windows::voices {
namespace {

std::u16string ToU16(const icu::UnicodeString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.getBuffer()),
                        static_cast<size_t>(text.length()));
}

}  // namespace

std::string UserLocale() {
  return icu::Locale::getDefault().getName();
}

std::u16string LanguageName(const std::string& code, const std::string& locale) {
  icu::UnicodeString name;
  icu::Locale(code.c_str()).getDisplayLanguage(icu::Locale(locale.c_str()), name);
  const std::u16string unknown(code.begin(), code.end());
  if (name.isEmpty() || ToU16(name) == unknown) return unknown;
  // Names are written for the middle of a sentence ("allemand"); a list item starts with a capital.
  UChar32 first = name.char32At(0);
  name.replace(0, U16_LENGTH(first), static_cast<UChar32>(u_totitle(first)));
  return ToU16(name);
}

std::vector<NamedLanguage> NameLanguages(const std::vector<NamedLanguage>& languages,
                                         const std::string& locale) {
  std::vector<NamedLanguage> named;
  std::map<std::u16string, int> uses;
  for (const NamedLanguage& language : languages) {
    std::u16string name = LanguageName(language.code, locale);
    bool known = name != std::u16string(language.code.begin(), language.code.end());
    named.push_back({language.code, known || language.name.empty() ? name : language.name});
    ++uses[named.back().name];
  }
  for (NamedLanguage& language : named) {
    if (uses[language.name] > 1)
      language.name += u" (" + std::u16string(language.code.begin(), language.code.end()) + u")";
  }
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale(locale.c_str()), status));
  auto before = [&](const NamedLanguage& a, const NamedLanguage& b) {
    if (!U_SUCCESS(status) || !collator) return a.name < b.name;
    UErrorCode compared = U_ZERO_ERROR;
    icu::UnicodeString left(a.name.data(), static_cast<int32_t>(a.name.size()));
    icu::UnicodeString right(b.name.data(), static_cast<int32_t>(b.name.size()));
    return collator->compare(left, right, compared) == UCOL_LESS;
  };
  std::stable_sort(named.begin(), named.end(), before);
  return named;
}

}  // namespace lectryn::windows::voices
