// The word highlighter: follows the voice through the page. Each spoken word is cut out of
// tbSpeach, found in the page after the word highlighted before, selected and scrolled into view.
#include "narration/Narration.h"

#include <algorithm>

#include "forms/CheckBox.h"
#include "platform/Failure.h"

namespace lectryn::narration {

void Narration::pVoice_Word(int32_t /*StreamNumber*/, int64_t /*StreamPosition*/, int32_t CharacterPosition,
                            int32_t Length) {
  if (!rng) return;  // speaking without a page: nothing to highlight
  if (!wordRng) {
    platform::Tolerate([&] { wordRng = rng->duplicate(); });
    wordRngOnWord_ = false;
  }
  if (!wordRng) return;

  const std::u16string& text = tbSpeach.Text();
  auto size = static_cast<int64_t>(text.size());
  int64_t start = std::clamp<int64_t>(CharacterPosition, 0, size);
  int64_t end = std::clamp<int64_t>(start + std::max<int64_t>(Length, 0), start, size);
  std::u16string word = text.substr(start, end - start);

  // The search starts after the word highlighted before (at the start of the piece for its first
  // word), so a word spoken twice, or a short word inside the previous one, is found where it is
  // spoken. When the word is not found the highlight stays and the next search starts there.
  platform::Tolerate([&] {
    platform::TxtRangePtr probe = wordRng->duplicate();
    if (wordRngOnWord_) probe->collapse(false);
    if (probe->findText(word, 1, 0)) {
      wordRng = probe;
      wordRngOnWord_ = true;
    }
  });
  platform::Tolerate([&] { wordRng->execCommand(u"SELECTALL", false); });
  platform::Tolerate([&] { wordRng->scrollIntoView(true); });
}

void Narration::pVoice_EndStream(int32_t /*StreamNumber*/, int64_t /*StreamPosition*/) {
  if (cbContinue.Value() == forms::vbChecked) {
    SayNextParagraph();
  } else {
    chainEnd_ = ChainEnd::ContinueOff;
  }
}

}  // namespace lectryn::narration
