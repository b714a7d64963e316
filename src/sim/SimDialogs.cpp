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

}  // namespace lectryn::sim
