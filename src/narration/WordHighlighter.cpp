// The word highlighter: follows the voice through the page. Each spoken word is cut out of
// tbSpeach, found in the page after the word highlighted before, selected and scrolled into view.
#include "narration/Narration.h"

#include <algorithm>

#include "forms/CheckBox.h"
#include "platform/Failure.h"

namespace lectryn::narration {
namespace {

char16_t FoldAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// How often the page's search finds word in text, one find after the end of the one before; as the
// search ignores case, so does this, for ASCII letters.
int32_t CountFinds(std::u16string_view text, std::u16string_view word) {
  if (word.empty()) return 0;
  int32_t finds = 0;
  for (size_t at = 0; at + word.size() <= text.size();) {
    if (std::equal(word.begin(), word.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                   [](char16_t a, char16_t b) { return FoldAscii(a) == FoldAscii(b); })) {
      ++finds;
      at += word.size();
    } else {
      ++at;
    }
  }
  return finds;
}

}  // namespace

void Narration::pVoice_Word(int32_t /*StreamNumber*/, int64_t /*StreamPosition*/, int32_t CharacterPosition,
                            int32_t Length) {
  HighlightWord(CharacterPosition, Length);
}

void Narration::HighlightWord(int32_t position, int32_t length) {
  if (!rng) return;  // speaking without a page: nothing to highlight
  // A new piece, or the voice gone back within it: the search starts again at the piece's start
  // and finds the word by its place in the text rather than after the word highlighted before.
  bool fromPieceStart = !wordRng || !wordRngOnWord_ || position <= wordPosition_;
  if (fromPieceStart) {
    wordRng = nullptr;
    platform::Tolerate([&] { wordRng = rng->duplicate(); });
    wordRngOnWord_ = false;
  }
  if (!wordRng) return;

  const std::u16string& text = tbSpeach.Text();
  auto size = static_cast<int64_t>(text.size());
  int64_t start = std::clamp<int64_t>(position, 0, size);
  int64_t end = std::clamp<int64_t>(start + std::max<int64_t>(length, 0), start, size);
  std::u16string word = text.substr(start, end - start);
  wordPosition_ = position;

  // Going on, the search starts after the word highlighted before, so a word spoken twice, or a
  // short word inside the previous one, is found where it is spoken. From the piece's start the
  // finds before this word are passed over first. When the word is not found the highlight stays
  // and the next search starts there.
  int32_t passOver = fromPieceStart ? CountFinds(std::u16string_view(text).substr(0, start), word) : 0;
  platform::Tolerate([&] {
    platform::TxtRangePtr probe = wordRng->duplicate();
    bool onWord = wordRngOnWord_;
    for (int32_t find = 0; find <= passOver; ++find) {
      if (onWord) probe->collapse(false);
      if (!probe->findText(word, 1, 0)) return;
      onWord = true;
    }
    wordRng = probe;
    wordRngOnWord_ = true;
  });
  platform::Tolerate([&] { wordRng->execCommand(u"SELECTALL", false); });
  platform::Tolerate([&] { wordRng->scrollIntoView(true); });
}

void Narration::ShowPieceStartWhilePaused() {
  if (!paused_) return;
  const std::u16string& text = tbSpeach.Text();
  size_t firstEnd = std::min(text.find(u' '), text.size());
  HighlightWord(0, static_cast<int32_t>(firstEnd));
}

void Narration::pVoice_EndStream(int32_t /*StreamNumber*/, int64_t /*StreamPosition*/) {
  if (cbContinue.Value() == forms::vbChecked) {
    SayNextParagraph();
  } else {
    chainEnd_ = ChainEnd::ContinueOff;
  }
  FollowReadingState();
}

}  // namespace lectryn::narration
