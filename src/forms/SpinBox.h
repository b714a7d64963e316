#pragma once
// A whole number the user types or steps up and down, kept within Min..Max.
#include <algorithm>
#include <cstdint>
#include <string>

#include "forms/Control.h"

namespace lectryn::forms {

class SpinBox : public Control {
 public:
  SpinBox(std::string name, int32_t min, int32_t max, int32_t step)
      : Control(std::move(name)), min_(min), max_(std::max(min, max)), step_(step), value_(min) {}

  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  // What one press of an arrow key adds or takes away.
  int32_t SmallChange() const { return step_; }
  int32_t Value() const { return value_; }
  void SetValue(int32_t value) { Keep(value); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { Set(enabled_, enabled, Property::Enabled); }

  // The user typed or stepped to a value: Change follows when the value, once kept within the
  // range, differs from before.
  void Enter(int32_t value) {
    if (Keep(value)) Fire(OnChange);
  }
  Handler OnChange;

 private:
  bool Keep(int32_t value) { return Set(value_, std::clamp(value, min_, max_), Property::Value); }

  int32_t min_;
  int32_t max_;
  int32_t step_;
  int32_t value_;
  bool enabled_ = true;
};

}  // namespace lectryn::forms
