#pragma once
// A timer control: ticks on the UI loop every Interval ms while enabled and Interval is above 0.
#include <cstdint>

#include "forms/Control.h"
#include "platform/UiLoop.h"

namespace lectryn::forms {

class Timer : public Control {
 public:
  Timer(std::string name, platform::UiLoop& loop) : Control(std::move(name)), loop_(loop) {}
  ~Timer() override { Stop(); }

  int32_t Interval() const { return intervalMs_; }
  void SetInterval(int32_t intervalMs);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Running() const { return timer_ != 0; }

  Handler OnTimer;

 private:
  void Restart();
  void Stop();

  platform::UiLoop& loop_;
  int32_t intervalMs_ = 0;
  bool enabled_ = true;
  platform::TimerId timer_ = 0;
};

}  // namespace lectryn::forms
