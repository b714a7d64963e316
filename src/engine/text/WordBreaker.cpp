#include "engine/text/WordBreaker.h"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>
#include <string>

#include "engine/text/TextModel.h"

namespace lectryn::engine::text {
namespace {

enum class Class : uint8_t { Word, Space, Punct, Break, Object };

constexpr int32_t kContext = 32;  // units of context before (or after) the position
constexpr int32_t kMargin = 16;   // boundaries this close to a cut window edge are not trusted

struct BreakIteratorCloser {
  void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// Opening a break iterator loads rules and dictionaries: one per thread, reused.
UBreakIterator* WordIterator() {
  thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* opened = ubrk_open(UBRK_WORD, "", nullptr, 0, &status);
    return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(U_SUCCESS(status) ? opened : nullptr);
  }();
  return iterator.get();
}

Class ClassOf(UChar32 c) {
  if (c == kBreakUnit) return Class::Break;
  if (c == kObjectUnit) return Class::Object;
  if (c == u' ' || c == u'\t' || c == 0xA0 || u_charType(c) == U_SPACE_SEPARATOR) return Class::Space;
  if (IsWordCharacter(c)) return Class::Word;
  return Class::Punct;
}

bool IsSpaceUnit(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0xA0;
}

}  // namespace

bool IsWordCharacter(int32_t codePoint) {
  return codePoint == u'_' || u_isalnum(codePoint) || (U_GET_GC_MASK(codePoint) & U_GC_M_MASK) != 0;
}

std::vector<int32_t> WordBreaker::Boundaries(int32_t lo, int32_t hi) const {
  std::vector<int32_t> result;
  const int32_t size = hi - lo;
  if (size <= 0) {
    if (lo == 0 || lo == Length()) result.push_back(lo);
    return result;
  }
  // ICU sees BREAK and OBJECT as paragraph separators, which it never joins to anything.
  std::u16string window(story_.substr(static_cast<size_t>(lo), static_cast<size_t>(size)));
  for (char16_t& c : window) {
    if (c == kBreakUnit || c == kObjectUnit) c = 0x2029;
  }
  std::vector<Class> classes(static_cast<size_t>(size));
  std::vector<bool> icuBoundary(static_cast<size_t>(size) + 1, false);
  UBreakIterator* iterator = WordIterator();
  UErrorCode status = U_ZERO_ERROR;
  if (iterator != nullptr)
    ubrk_setText(iterator, reinterpret_cast<const UChar*>(window.data()), size, &status);
  bool useIcu = iterator != nullptr && U_SUCCESS(status);
  if (useIcu) ubrk_first(iterator);
  int32_t segmentStart = 0;
  while (segmentStart < size) {
    int32_t segmentEnd = size;
    int32_t ruleStatus = UBRK_WORD_NONE;
    if (useIcu) {
      segmentEnd = ubrk_next(iterator);
      if (segmentEnd == UBRK_DONE || segmentEnd > size) segmentEnd = size;
      ruleStatus = ubrk_getRuleStatus(iterator);
    }
    icuBoundary[static_cast<size_t>(segmentStart)] = true;
    bool word = ruleStatus >= UBRK_WORD_NUMBER;
    for (int32_t i = segmentStart; i < segmentEnd;) {
      int32_t at = i;
      UChar32 c;
      U16_NEXT(window.data(), i, segmentEnd, c);
      char16_t original = story_[static_cast<size_t>(lo + at)];
      Class cls = ClassOf(original == kBreakUnit || original == kObjectUnit ? original : c);
      if (word && cls != Class::Break && cls != Class::Object) cls = Class::Word;
      for (int32_t k = at; k < i; ++k) classes[static_cast<size_t>(k)] = cls;
    }
    segmentStart = segmentEnd;
  }
  if (lo == 0) result.push_back(0);
  for (int32_t k = 1; k < size; ++k) {
    Class before = classes[static_cast<size_t>(k - 1)];
    Class here = classes[static_cast<size_t>(k)];
    if (U16_IS_TRAIL(window[static_cast<size_t>(k)]) && U16_IS_LEAD(window[static_cast<size_t>(k - 1)]))
      continue;
    bool boundary;
    if (before == Class::Break || before == Class::Object || here == Class::Break || here == Class::Object) {
      boundary = true;
    } else if (here == Class::Space) {
      boundary = false;
    } else if (here == Class::Word) {
      boundary = before != Class::Word || icuBoundary[static_cast<size_t>(k)];
    } else {
      boundary = before != Class::Punct;
    }
    if (boundary) result.push_back(lo + k);
  }
  if (hi == Length()) result.push_back(hi);
  return result;
}

int32_t WordBreaker::Next(int32_t position) const {
  const int32_t length = Length();
  if (position >= length) return length;
  for (int32_t reach = 128;; reach *= 4) {
    int32_t lo = std::max(0, position - kContext);
    int32_t hi = std::min(length, position + reach);
    std::vector<int32_t> boundaries = Boundaries(lo, hi);
    bool last = hi == length || reach >= kMaxWordReach;
    int32_t trusted = last ? hi : hi - kMargin;
    for (int32_t boundary : boundaries) {
      if (boundary > position && boundary <= trusted) return boundary;
    }
    if (hi == length) return length;
    if (reach >= kMaxWordReach) return std::min(length, (position / kMaxWordReach + 1) * kMaxWordReach);
  }
}

int32_t WordBreaker::Previous(int32_t position) const {
  const int32_t length = Length();
  if (position <= 0) return 0;
  position = std::min(position, length);
  for (int32_t reach = 128;; reach *= 4) {
    int32_t lo = std::max(0, position - reach);
    int32_t hi = std::min(length, position + kContext);
    std::vector<int32_t> boundaries = Boundaries(lo, hi);
    bool last = lo == 0 || reach >= kMaxWordReach;
    int32_t trusted = last ? lo : lo + kMargin;
    for (auto it = boundaries.rbegin(); it != boundaries.rend(); ++it) {
      if (*it < position && *it >= trusted) return *it;
    }
    if (lo == 0) return 0;
    if (reach >= kMaxWordReach) return ((position - 1) / kMaxWordReach) * kMaxWordReach;
  }
}

bool WordBreaker::IsSentenceBoundary(int32_t position) const {
  if (position <= 0 || position >= Length()) return true;
  char16_t before = story_[static_cast<size_t>(position - 1)];
  if (before == kBreakUnit) return true;
  char16_t here = story_[static_cast<size_t>(position)];
  if (!IsSpaceUnit(before) || IsSpaceUnit(here)) return false;
  int32_t i = position - 1;
  while (i >= 0 && IsSpaceUnit(story_[static_cast<size_t>(i)])) --i;
  while (i >= 0 && std::u16string_view(u"\"')]}\u2019\u201D\u00BB").find(story_[static_cast<size_t>(i)]) !=
                       std::u16string_view::npos) {
    --i;
  }
  return i >= 0 && (story_[static_cast<size_t>(i)] == u'.' || story_[static_cast<size_t>(i)] == u'!' ||
                    story_[static_cast<size_t>(i)] == u'?');
}

int32_t WordBreaker::NextSentence(int32_t position) const {
  int32_t p = std::max(position, 0) + 1;
  while (p < Length() && !IsSentenceBoundary(p)) ++p;
  return std::min(p, Length());
}

int32_t WordBreaker::PreviousSentence(int32_t position) const {
  int32_t p = std::min(position, Length()) - 1;
  while (p > 0 && !IsSentenceBoundary(p)) --p;
  return std::max(p, 0);
}

}  // namespace lectryn::engine::text
