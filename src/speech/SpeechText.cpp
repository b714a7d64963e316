#include "speech/SpeechText.h"

#include <algorithm>

#include "platform/Text.h"

namespace lectryn::speech {

SpeechText::SpeechText(std::u16string_view text) {
  utf8_.reserve(text.size() + text.size() / 4);
  utf16At_.reserve(text.size() + 1);
  size_t i = 0;
  while (i < text.size()) {
    utf16At_.push_back(static_cast<int32_t>(i));
    char32_t c = text[i];
    bool pair =
        c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pair) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      i += 2;
    } else {
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
      if (c == 0) c = u' ';
      ++i;
    }
    platform::AppendUtf8(utf8_, c);
  }
  utf16At_.push_back(static_cast<int32_t>(text.size()));
}

int32_t SpeechText::Utf16AtPosition(int32_t position1) const {
  int32_t index = std::clamp(position1 - 1, 0, CodePoints());
  return utf16At_[index];
}

}  // namespace lectryn::speech
