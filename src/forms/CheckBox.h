#pragma once
#include <string>

#include "forms/Control.h"

namespace lectryn::forms {

constexpr int32_t vbUnchecked = 0;
constexpr int32_t vbChecked = 1;

class CheckBox : public Control {
 public:
  CheckBox(std::string name, std::u16string caption)
      : Control(std::move(name)), caption_(std::move(caption)) {}

  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption) { Set(caption_, std::move(caption), Property::Caption); }
  int32_t Value() const { return value_; }
  void SetValue(int32_t value) { Set(value_, value, Property::Value); }

  // A user's click toggles the mark.
  void Click() {
    SetValue(value_ == vbChecked ? vbUnchecked : vbChecked);
    Fire(OnClick);
  }
  Handler OnClick;

 private:
  std::u16string caption_;
  int32_t value_ = vbUnchecked;
};

}  // namespace lectryn::forms
