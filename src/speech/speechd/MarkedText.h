#pragma once
// A text cut for the speech server: its words, its sentences, and SSML messages with an index mark
// before every word, so that the server tells which word is heard.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "speech/SpokenWords.h"

namespace lectryn::speech::speechd {

class MarkedText {
 public:
  // language: a BCP 47 tag for the sentence rules; empty for the common ones.
  MarkedText(std::u16string text, const std::string& language);

  const std::u16string& Text() const { return text_; }
  const std::vector<TextWord>& Words() const { return words_; }
  int32_t WordCount() const { return static_cast<int32_t>(words_.size()); }
  // Sentences that hold at least one word, in order; a sentence is a run of words.
  int32_t SentenceCount() const { return static_cast<int32_t>(sentenceStarts_.size()); }
  int32_t FirstWordOf(int32_t sentence) const { return sentenceStarts_[sentence]; }
  // One past the sentence's last word.
  int32_t EndWordOf(int32_t sentence) const;
  int32_t SentenceOf(int32_t word) const;

  // "<speak>" with the text from word first up to word end (or the text's end), a mark named by its
  // index before each word, "</speak>". Everything is escaped; characters XML cannot carry and line
  // breaks become spaces.
  std::string Ssml(int32_t first, int32_t end) const;
  // UTF-16 units the words first..end take with what lies between them: the length of their speech.
  int32_t SpanUnits(int32_t first, int32_t end) const;

 private:
  std::u16string text_;
  std::vector<TextWord> words_;
  std::vector<int32_t> sentenceStarts_;  // first word of each sentence
};

// Word index of a mark name made by Ssml; -1 for a name that is not one.
int32_t WordOfMark(std::string_view name);

}  // namespace lectryn::speech::speechd
