#pragma once
// The words of a text as a listener hears them, which are the words the voice reports.
#include <cstdint>
#include <string_view>
#include <vector>

namespace lectryn::speech {

struct TextWord {
  int32_t startUtf16;
  int32_t lengthUtf16;
  friend bool operator==(const TextWord&, const TextWord&) = default;
};

// A word is a run of letters, marks and digits; an apostrophe between letters stays inside the word
// ("don't") and so do "." and "," between digits ("3.14", "1,000"), which are read as one number.
// Punctuation is silent and belongs to no word. Symbols that are read aloud ($ & / % + = @ # and the
// currency signs) are words of their own. Runs of scripts written without spaces (Chinese, Japanese,
// Thai...) are cut into words as ICU's word break iterator cuts them.
std::vector<TextWord> SplitSpokenWords(std::u16string_view text);

// Index of the word that holds the UTF-16 offset, or -1 when the offset lies between words.
int32_t WordHolding(const std::vector<TextWord>& words, int32_t offsetUtf16);

// Index of the first word that starts at or after the offset (words.size() when none).
int32_t FirstWordFrom(const std::vector<TextWord>& words, int32_t offsetUtf16);

}  // namespace lectryn::speech
