#include "speech/speechd/MarkedText.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <charconv>
#include <memory>

#include "platform/Text.h"

namespace lectryn::speech::speechd {
namespace {

// XML 1.0 carries neither control characters nor U+FFFE and U+FFFF: the server's SSML parser would
// refuse the whole message for one of them. Line breaks and tabs are only spaces to a synthesiser.
void AppendEscaped(std::string& out, std::u16string_view text) {
  std::string utf8 = platform::ToUtf8(text);  // lone surrogates become U+FFFD
  for (size_t i = 0; i < utf8.size(); ++i) {
    char c = utf8[i];
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += ' ';
        } else if (utf8.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < utf8.size() &&
                   (utf8[i + 2] == '\xBE' || utf8[i + 2] == '\xBF')) {
          out += ' ';
          i += 2;
        } else {
          out += c;
        }
    }
  }
}

}  // namespace

MarkedText::MarkedText(std::u16string text, const std::string& language)
    : text_(std::move(text)), words_(SplitSpokenWords(text_)) {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale locale = language.empty() ? icu::Locale::getRoot() : icu::Locale::forLanguageTag(language, status);
  if (U_FAILURE(status)) locale = icu::Locale::getRoot();
  status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> sentences(icu::BreakIterator::createSentenceInstance(locale, status));
  std::vector<int32_t> boundaries;
  if (U_SUCCESS(status)) {
    icu::UnicodeString unicode(false, reinterpret_cast<const UChar*>(text_.data()),
                               static_cast<int32_t>(text_.size()));
    sentences->setText(unicode);
    for (int32_t at = sentences->next(); at != icu::BreakIterator::DONE; at = sentences->next())
      boundaries.push_back(at);
  }
  // A sentence starts with the first word at or after each boundary; sentences without words vanish.
  size_t boundary = 0;
  for (int32_t w = 0; w < WordCount(); ++w) {
    int32_t start = words_[w].startUtf16;
    bool newSentence = sentenceStarts_.empty();
    while (boundary < boundaries.size() && boundaries[boundary] <= start) {
      newSentence = true;
      ++boundary;
    }
    if (newSentence) sentenceStarts_.push_back(w);
  }
}

int32_t MarkedText::EndWordOf(int32_t sentence) const {
  return sentence + 1 < SentenceCount() ? sentenceStarts_[sentence + 1] : WordCount();
}

int32_t MarkedText::SentenceOf(int32_t word) const {
  auto after = std::upper_bound(sentenceStarts_.begin(), sentenceStarts_.end(), word);
  return std::max<int32_t>(0, static_cast<int32_t>(after - sentenceStarts_.begin()) - 1);
}

std::string MarkedText::Ssml(int32_t first, int32_t end) const {
  std::string out = "<speak>";
  if (first < end) {
    std::u16string_view text(text_);
    int32_t at = words_[first].startUtf16;
    for (int32_t w = first; w < end; ++w) {
      AppendEscaped(out, text.substr(at, words_[w].startUtf16 - at));
      out += "<mark name=\"" + std::to_string(w) + "\"/>";
      AppendEscaped(out, text.substr(words_[w].startUtf16, words_[w].lengthUtf16));
      at = words_[w].startUtf16 + words_[w].lengthUtf16;
    }
    // What follows the last word up to the next message's first word: its punctuation sets the tune.
    int32_t stop = end < WordCount() ? words_[end].startUtf16 : static_cast<int32_t>(text_.size());
    AppendEscaped(out, text.substr(at, stop - at));
  }
  return out + "</speak>";
}

int32_t MarkedText::SpanUnits(int32_t first, int32_t end) const {
  if (first >= end) return 0;
  const TextWord& last = words_[end - 1];
  return last.startUtf16 + last.lengthUtf16 - words_[first].startUtf16;
}

int32_t WordOfMark(std::string_view name) {
  int32_t word = -1;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), word);
  if (error != std::errc() || end != name.data() + name.size() || word < 0) return -1;
  return word;
}

}  // namespace lectryn::speech::speechd
