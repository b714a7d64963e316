#pragma once
// Message boxes for tests: every box asked for is recorded, and the answer comes from what the test
// queued, or from a default per kind of box when nothing is queued.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "platform/UiLoop.h"

namespace lectryn::sim {

struct MsgBoxCall {
  std::u16string text;
  int32_t buttons = 0;
  std::u16string title;
  int64_t atMs = -1;  // the virtual clock when the box was shown, when a clock was given
};

class SimDialogs : public platform::Dialogs {
 public:
  SimDialogs() = default;
  // With a clock, each call records the time at which it was shown.
  explicit SimDialogs(const platform::UiLoop& clock) : clock_(&clock) {}

  int32_t MsgBox(const std::u16string& text, int32_t buttons, const std::u16string& title) override;
  // Answers with the next queued text, or as a cancel when none is queued; the prompts are kept.
  std::optional<std::u16string> InputBox(const std::u16string& prompt, const std::u16string& title,
                                         const std::u16string& defaultText) override;
  void QueueText(std::optional<std::u16string> text) { texts_.push_back(std::move(text)); }
  const std::vector<std::u16string>& Prompts() const { return prompts_; }

  // The next box is answered with answer; queued answers are used in order.
  void QueueAnswer(int32_t answer) { answers_.push_back(answer); }
  // The answer of a Yes/No box when nothing is queued (vbNo unless set).
  void SetYesNoDefault(int32_t answer) { yesNoDefault_ = answer; }
  // Runs while the box is "open", before it is answered: a test can look at the program then.
  std::function<void(const MsgBoxCall&)> whileShown;

  const std::vector<MsgBoxCall>& Calls() const { return calls_; }
  void Clear() { calls_.clear(); }

 private:
  const platform::UiLoop* clock_ = nullptr;
  std::deque<int32_t> answers_;
  int32_t yesNoDefault_ = platform::vbNo;
  std::vector<MsgBoxCall> calls_;
  std::deque<std::optional<std::u16string>> texts_;
  std::vector<std::u16string> prompts_;
};

}  // namespace lectryn::sim
