#include "forms/Timer.h"

namespace lectryn::forms {

void Timer::SetInterval(int32_t intervalMs) {
  if (intervalMs < 0) intervalMs = 0;
  if (intervalMs == intervalMs_) return;
  intervalMs_ = intervalMs;
  Restart();
  Changed(Property::Interval);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
  Changed(Property::Enabled);
}

void Timer::Restart() {
  Stop();
  if (!enabled_ || intervalMs_ <= 0) return;
  timer_ = loop_.StartTimer(intervalMs_, [this] { Fire(OnTimer); });
}

void Timer::Stop() {
  if (timer_ == 0) return;
  loop_.StopTimer(timer_);
  timer_ = 0;
}

}  // namespace lectryn::forms
