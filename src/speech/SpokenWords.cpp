#include "speech/SpokenWords.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace lectryn::speech {
namespace {

struct CodePoint {
  char32_t value;
  int32_t units;  // UTF-16 units it takes
};

CodePoint At(std::u16string_view text, size_t i) {
  char32_t c = text[i];
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
    return {0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00), 2};
  return {c, 1};
}

bool IsWordChar(char32_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
  if (c >= 0xD800 && c <= 0xDFFF) return false;  // lone surrogate: read as nothing
  auto category = u_charType(static_cast<UChar32>(c));
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC) ||
         category == U_DECIMAL_DIGIT_NUMBER || category == U_OTHER_NUMBER || category == U_NON_SPACING_MARK ||
         category == U_COMBINING_SPACING_MARK || category == U_ENCLOSING_MARK;
}

bool IsDigit(char32_t c) {
  return c < 0x80 ? (c >= u'0' && c <= u'9') : u_isdigit(static_cast<UChar32>(c));
}

bool IsSpokenSymbol(char32_t c) {
  switch (c) {
    case u'$':
    case u'&':
    case u'/':
    case u'%':
    case u'+':
    case u'=':
    case u'@':
    case u'#':
    case 0x00D7:  // multiplication sign
      return true;
    default:
      return c >= 0x80 && u_charType(static_cast<UChar32>(c)) == U_CURRENCY_SYMBOL;
  }
}

bool IsApostrophe(char32_t c) {
  return c == u'\'' || c == 0x2019;
}

// Letters of scripts written without spaces between words (Han, kana, Thai, Lao, Khmer, Myanmar): their
// line-break class says so. Hangul is spaced and classed apart.
bool IsUnspaced(char32_t c) {
  if (c < 0x0E00) return false;
  auto lineBreak = static_cast<ULineBreak>(u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_LINE_BREAK));
  return lineBreak == U_LB_IDEOGRAPHIC || lineBreak == U_LB_COMPLEX_CONTEXT ||
         lineBreak == U_LB_CONDITIONAL_JAPANESE_STARTER;
}

bool HasWordChar(std::u16string_view text, size_t start, size_t end) {
  for (size_t i = start; i < end;) {
    CodePoint cp = At(text, i);
    if (IsWordChar(cp.value)) return true;
    i += cp.units;
  }
  return false;
}

// ICU's word boundaries (UAX #29 with its dictionaries) over one text, made only for texts that need them.
class WordBoundaries {
 public:
  explicit WordBoundaries(std::u16string_view text)
      : text_(false, text.data(), static_cast<int32_t>(text.size())) {
    UErrorCode status = U_ZERO_ERROR;
    iterator_.reset(icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
      iterator_.reset();
      return;
    }
    iterator_->setText(text_);
  }

  // The boundaries strictly inside [start, end), in order; none when ICU is unavailable.
  std::vector<int32_t> Inside(int32_t start, int32_t end) {
    std::vector<int32_t> out;
    if (!iterator_) return out;
    for (int32_t at = iterator_->following(start); at != icu::BreakIterator::DONE && at < end;
         at = iterator_->next()) {
      out.push_back(at);
    }
    return out;
  }

 private:
  icu::UnicodeString text_;  // aliases the caller's text, which outlives this object
  std::unique_ptr<icu::BreakIterator> iterator_;
};

// A span of word characters holding unspaced letters becomes the dictionary words ICU finds in it.
void AddSegmentedWord(std::u16string_view text, int32_t start, int32_t end,
                      std::unique_ptr<WordBoundaries>& boundaries, std::vector<TextWord>& words) {
  if (!boundaries) boundaries = std::make_unique<WordBoundaries>(text);
  int32_t from = start;
  std::vector<int32_t> cuts = boundaries->Inside(start, end);
  cuts.push_back(end);
  for (int32_t cut : cuts) {
    if (HasWordChar(text, from, cut)) words.push_back({from, cut - from});
    from = cut;
  }
}

}  // namespace

std::vector<TextWord> SplitSpokenWords(std::u16string_view text) {
  std::vector<TextWord> words;
  std::unique_ptr<WordBoundaries> boundaries;
  size_t i = 0;
  while (i < text.size()) {
    CodePoint cp = At(text, i);
    if (IsSpokenSymbol(cp.value)) {
      words.push_back({static_cast<int32_t>(i), cp.units});
      i += cp.units;
      continue;
    }
    if (!IsWordChar(cp.value)) {
      i += cp.units;
      continue;
    }
    size_t start = i;
    char32_t previous = cp.value;
    bool unspaced = IsUnspaced(cp.value);
    i += cp.units;
    while (i < text.size()) {
      CodePoint next = At(text, i);
      if (IsWordChar(next.value)) {
        previous = next.value;
        unspaced = unspaced || IsUnspaced(next.value);
        i += next.units;
        continue;
      }
      // A joiner counts only with word characters on both sides.
      bool joins = false;
      if (i + next.units < text.size()) {
        char32_t after = At(text, i + next.units).value;
        if (IsApostrophe(next.value)) joins = !IsDigit(previous) && IsWordChar(after) && !IsDigit(after);
        if (next.value == u'.' || next.value == u',') joins = IsDigit(previous) && IsDigit(after);
      }
      if (!joins) break;
      i += next.units;
    }
    if (unspaced) {
      AddSegmentedWord(text, static_cast<int32_t>(start), static_cast<int32_t>(i), boundaries, words);
    } else {
      words.push_back({static_cast<int32_t>(start), static_cast<int32_t>(i - start)});
    }
  }
  return words;
}

int32_t WordHolding(const std::vector<TextWord>& words, int32_t offsetUtf16) {
  auto after =
      std::upper_bound(words.begin(), words.end(), offsetUtf16,
                       [](int32_t offset, const TextWord& word) { return offset < word.startUtf16; });
  if (after == words.begin()) return -1;
  const TextWord& word = *(after - 1);
  if (offsetUtf16 >= word.startUtf16 + word.lengthUtf16) return -1;
  return static_cast<int32_t>(after - 1 - words.begin());
}

int32_t FirstWordFrom(const std::vector<TextWord>& words, int32_t offsetUtf16) {
  auto found =
      std::lower_bound(words.begin(), words.end(), offsetUtf16,
                       [](const TextWord& word, int32_t offset) { return word.startUtf16 < offset; });
  return static_cast<int32_t>(found - words.begin());
}

}  // namespace lectryn::speech
