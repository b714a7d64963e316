#pragma once
#include <string>

#include "forms/Control.h"

namespace lectryn::forms {

class CommandButton : public Control {
 public:
  CommandButton(std::string name, std::u16string caption)
      : Control(std::move(name)), caption_(std::move(caption)) {}

  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption) { Set(caption_, std::move(caption), Property::Caption); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { Set(enabled_, enabled, Property::Enabled); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { Set(visible_, visible, Property::Visible); }
  // Enter presses the default button; Escape the cancel button.
  bool Default() const { return default_; }
  void SetDefault(bool isDefault) { Set(default_, isDefault, Property::Default); }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool isCancel) { Set(cancel_, isCancel, Property::Cancel); }

  // A press by mouse or key: does nothing while disabled.
  void Click() const {
    if (enabled_) Fire(OnClick);
  }
  Handler OnClick;

 private:
  std::u16string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  bool cancel_ = false;
};

}  // namespace lectryn::forms
