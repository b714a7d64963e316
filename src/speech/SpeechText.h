#pragma once
// A text prepared for the synthesiser: UTF-8 bytes, and a table that turns the synthesiser's code-point
// positions back into UTF-16 units of the original text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lectryn::speech {

class SpeechText {
 public:
  // Lone surrogates become U+FFFD and NUL a space: the synthesiser stops reading at a zero byte.
  explicit SpeechText(std::u16string_view text);

  const std::string& Utf8() const { return utf8_; }
  int32_t CodePoints() const { return static_cast<int32_t>(utf16At_.size()) - 1; }
  // UTF-16 offset of the code point with the given 1-based index; indexes past either end are clamped.
  int32_t Utf16AtPosition(int32_t position1) const;

 private:
  std::string utf8_;
  std::vector<int32_t> utf16At_;  // utf16At_[i] = UTF-16 offset of code point i (0-based); last = length
};

}  // namespace lectryn::speech
