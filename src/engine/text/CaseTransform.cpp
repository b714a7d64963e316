#include "engine/text/CaseTransform.h"

#include <unicode/casemap.h>
#include <unicode/edits.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace lectryn::engine::text {

namespace {

// Letters, digits and apostrophes continue a word for capitalize, as the layout draws it.
bool ContinuesWord(UChar32 c) {
  return u_isalpha(c) || u_isdigit(c) || c == u'\'';
}

// ICU's full case mapping with the map of what came from where; the text unchanged if ICU fails.
CasedText MapCase(std::u16string_view text, const char* locale, bool upper) {
  const auto length = static_cast<int32_t>(text.size());
  CasedText out;
  icu::Edits edits;
  int32_t written = 0;
  out.text.resize(text.size() + 8);
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    edits.reset();
    auto* dest = reinterpret_cast<UChar*>(out.text.data());
    const auto* source = reinterpret_cast<const UChar*>(text.data());
    const auto capacity = static_cast<int32_t>(out.text.size());
    written = upper ? icu::CaseMap::toUpper(locale, 0, source, length, dest, capacity, &edits, status)
                    : icu::CaseMap::toLower(locale, 0, source, length, dest, capacity, &edits, status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.text.resize(static_cast<size_t>(written));
      continue;
    }
    if (U_FAILURE(status)) break;
    out.text.resize(static_cast<size_t>(written));
    out.sourceOffsets.assign(static_cast<size_t>(written), 0);
    icu::Edits::Iterator it = edits.getFineIterator();
    while (it.next(status)) {
      // A changed span's units all stand for its first source unit; unchanged ones map one to one.
      for (int32_t k = 0; k < it.newLength(); ++k)
        out.sourceOffsets[static_cast<size_t>(it.destinationIndex() + k)] =
            it.sourceIndex() + (it.hasChange() ? 0 : k);
    }
    if (U_SUCCESS(status)) return out;
    break;
  }
  out.text.assign(text);
  out.sourceOffsets.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) out.sourceOffsets[i] = static_cast<int32_t>(i);
  return out;
}

}  // namespace

CaseTransform::CaseTransform(css::TextTransform transform, std::string_view language)
    : transform_(transform) {
  for (char c : language) locale_.push_back(c == '-' ? '_' : c);
}

CasedText CaseTransform::Apply(std::u16string_view text, bool& wordStart) const {
  const auto length = static_cast<int32_t>(text.size());
  CasedText out;
  if (transform_ == css::TextTransform::Uppercase || transform_ == css::TextTransform::Lowercase) {
    out = MapCase(text, locale_.c_str(), transform_ == css::TextTransform::Uppercase);
  } else {
    // Capitalize titlecases the first letter of each word, in no language's rules (browsers give
    // "Istanbul" in Turkish too).
    out.text.reserve(text.size());
    bool start = wordStart;
    for (int32_t i = 0; i < length;) {
      int32_t from = i;
      UChar32 c = 0;
      U16_NEXT(text.data(), i, length, c);
      UChar32 shown =
          transform_ == css::TextTransform::Capitalize && start && u_isalpha(c) ? u_totitle(c) : c;
      start = !ContinuesWord(c);
      char16_t units[2];
      int32_t count = 0;
      U16_APPEND_UNSAFE(units, count, shown);
      for (int32_t k = 0; k < count; ++k) {
        out.text.push_back(units[k]);
        out.sourceOffsets.push_back(from);
      }
    }
  }
  if (length > 0) wordStart = StartsWordAfter(text);
  return out;
}

bool CaseTransform::StartsWordAfter(std::u16string_view text) {
  if (text.empty()) return true;
  UChar32 last = 0;
  auto end = static_cast<int32_t>(text.size());
  U16_PREV(text.data(), 0, end, last);
  return !ContinuesWord(last);
}

}  // namespace lectryn::engine::text
