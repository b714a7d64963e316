#pragma once
// The UI loop of the terminal reader: a task queue and timers on the steady clock, run on the thread
// that calls Run.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "platform/UiLoop.h"

namespace lectryn::system {

class PlainUiLoop : public platform::UiLoop {
 public:
  PlainUiLoop();

  void Post(std::function<void()> task) override;
  platform::TimerId StartTimer(int32_t intervalMs, std::function<void()> tick) override;
  void StopTimer(platform::TimerId timer) override;
  void DoEvents() override;
  void WaitForEvents(int64_t boundMs) override;
  int64_t NowMs() const override;

  // Runs tasks and timers, sleeping between them, until Quit (from any thread) or until done()
  // returns true after a task. Returns false when it stopped because of Quit.
  bool Run(const std::function<bool()>& done = {});
  void Quit();

 private:
  struct TimerState {
    int32_t intervalMs;
    int64_t nextMs;
    std::function<void()> tick;
  };
  // Runs due timers; returns how many ticked.
  size_t RunDueTimers();
  // When the next timer is due (or -1 when none).
  int64_t NextTimerMs() const;
  // Runs the tasks queued now and the due timers; false when there were none.
  bool RunPending();

  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool quit_ = false;
  std::map<platform::TimerId, TimerState> timers_;  // UI thread only
  platform::TimerId lastTimer_ = 0;
};

}  // namespace lectryn::system
