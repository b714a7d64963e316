#include "sim/SimDialogs.h"

namespace lectryn::sim {

int32_t SimDialogs::MsgBox(const std::u16string& text, int32_t buttons, const std::u16string& title) {
  calls_.push_back({text, buttons, title, clock_ ? clock_->NowMs() : -1});
  if (whileShown) whileShown(calls_.back());
  if (!answers_.empty()) {
    int32_t answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return buttons == platform::vbYesNo ? yesNoDefault_ : platform::vbOK;
}

std::optional<std::u16string> SimDialogs::InputBox(const std::u16string& prompt, const std::u16string& /*title*/,
                                                  const std::u16string& /*defaultText*/) {
  prompts_.push_back(prompt);
  if (texts_.empty()) return std::nullopt;
  std::optional<std::u16string> text = std::move(texts_.front());
  texts_.pop_front();
  return text;
}

}  // namespace lectryn::sim
