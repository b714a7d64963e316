#pragma once
// A text box; selection start and length count UTF-16 units.
#include <algorithm>
#include <string>

#include "forms/Control.h"

namespace lectryn::forms {

enum class ScrollBars { None, Horizontal, Vertical, Both };

class TextBox : public Control {
 public:
  TextBox(std::string name, std::u16string text, bool multiLine = false,
          ScrollBars scrollBars = ScrollBars::None)
      : Control(std::move(name)), text_(std::move(text)), multiLine_(multiLine), scrollBars_(scrollBars) {}

  const std::u16string& Text() const { return text_; }
  // A new text puts the caret at its start, as the platform's text box does.
  void SetText(std::u16string text) {
    if (text == text_) return;
    text_ = std::move(text);
    selStart_ = 0;
    selLength_ = 0;
    Changed(Property::Text);
  }
  bool MultiLine() const { return multiLine_; }
  ScrollBars GetScrollBars() const { return scrollBars_; }

  int32_t SelStart() const { return selStart_; }
  int32_t SelLength() const { return selLength_; }
  // Clamped into the text, like the platform's text box.
  void SetSelStart(int32_t start) {
    int32_t size = static_cast<int32_t>(text_.size());
    start = std::clamp(start, 0, size);
    SetSelection(start, std::min(selLength_, size - start));
  }
  void SetSelLength(int32_t length) {
    SetSelection(selStart_, std::clamp(length, 0, static_cast<int32_t>(text_.size()) - selStart_));
  }
  std::u16string SelText() const { return text_.substr(selStart_, selLength_); }

  bool HasFocus() const { return focus_; }
  void SetFocus(bool focus = true) { Set(focus_, focus, Property::Focus); }

  void Click() const { Fire(OnClick); }
  Handler OnClick;

 private:
  void SetSelection(int32_t start, int32_t length) {
    if (start == selStart_ && length == selLength_) return;
    selStart_ = start;
    selLength_ = length;
    Changed(Property::Selection);
  }

  std::u16string text_;
  bool multiLine_;
  ScrollBars scrollBars_;
  int32_t selStart_ = 0;
  int32_t selLength_ = 0;
  bool focus_ = false;
};

}  // namespace lectryn::forms
