#pragma once
// The one UI thread's loop. Everything that touches application state runs on it; other threads
// reach it only through Post.
#include <cstdint>
#include <functional>

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
  // Runs what is pending now (tasks and due timers) and returns: the windows' wait loops call it.
  virtual void DoEvents() = 0;
  // Milliseconds on the loop's clock.
  virtual int64_t NowMs() const = 0;
};

}  // namespace lectryn::platform
