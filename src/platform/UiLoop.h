#pragma once
// The one UI thread's loop. Everything that touches application state runs on it; other threads
// reach it only through Post.
#include <cstdint>
#include <functional>
#include <memory>

namespace lectryn::platform {

using TimerId = int32_t;  // 0 is no timer

class UiLoop {
 public:
  virtual ~UiLoop() = default;
  // Queues a task; safe to call from any thread.
  virtual void Post(std::function<void()> task) = 0;
  // Runs tick every intervalMs until stopped.
  virtual TimerId StartTimer(int32_t intervalMs, std::function<void()> tick) = 0;
  virtual void StopTimer(TimerId timer) = 0;
  // Queues a task to run once, delayMs from now; UI thread only. Loops with a cheaper one-shot
  // timer replace this.
  virtual void PostDelayed(int64_t delayMs, std::function<void()> task) {
    auto timer = std::make_shared<TimerId>(0);
    *timer = StartTimer(static_cast<int32_t>(delayMs), [this, timer, task = std::move(task)] {
      StopTimer(*timer);
      task();
    });
  }
  // Runs what is pending now (tasks and due timers) and returns.
  virtual void DoEvents() = 0;
  // Runs what is pending now; when nothing is, sleeps until something arrives (a posted task, a
  // timer falling due) or boundMs passes, and runs what arrived. The windows' wait loops call it:
  // waiting this way costs no processor time, and the bound lets them look at their clock.
  virtual void WaitForEvents(int64_t boundMs) = 0;
  // Milliseconds on the loop's clock.
  virtual int64_t NowMs() const = 0;
};

}  // namespace lectryn::platform
