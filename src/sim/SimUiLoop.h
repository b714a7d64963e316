#pragma once
// A deterministic UI loop on a virtual clock. Time moves only when a test (or a headless run) says
// so; tasks due at the same time run in the order they were posted.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/UiLoop.h"

namespace lectryn::sim {

// How long, on the real clock, an idle WaitForEvents waits for another thread's task before it
// moves the virtual clock on: with a bound of 50 ms, virtual time then runs at most five times as
// fast as real time, which leaves a worker seconds of real time within the page wait's limit.
constexpr int64_t kIdleRealWaitMs = 10;

class SimUiLoop : public platform::UiLoop {
 public:
  void Post(std::function<void()> task) override;
  platform::TimerId StartTimer(int32_t intervalMs, std::function<void()> tick) override;
  void StopTimer(platform::TimerId timer) override;
  // Runs the tasks pending now and the timers due now, once: tasks they post wait for the next call.
  void DoEvents() override;
  // Runs what is pending now, or else moves the clock to the next task or timer due within boundMs
  // and runs it, or else to the bound. Before the clock moves on, a task posted by another thread
  // (a page fetched on a worker) is waited for a little on the real clock; see kIdleRealWaitMs.
  void WaitForEvents(int64_t boundMs) override;
  int64_t NowMs() const override;

  // Queues a task to run delayMs from now on the virtual clock.
  void PostDelayed(int64_t delayMs, std::function<void()> task) override;

  // Moves the clock forward by ms without running anything, as a call that blocks the UI thread
  // does; what fell due runs at the next DoEvents, AdvanceBy or RunUntilIdle.
  void PassTime(int64_t ms);

  // Moves the clock forward by ms, running every task and timer tick as its time comes.
  void AdvanceBy(int64_t ms);
  // Runs tasks, moving the clock to each next delayed task, until no task is left; timers tick on
  // the way but do not keep the loop busy. Returns false when maxTasks ran out first.
  bool RunUntilIdle(int64_t maxTasks = 10'000'000);

  bool HasPendingTasks() const;
  size_t ActiveTimers() const { return timers_.size(); }

 private:
  struct Due {
    int64_t timeMs;
    uint64_t order;
    bool operator<(const Due& other) const {
      return timeMs != other.timeMs ? timeMs < other.timeMs : order < other.order;
    }
  };
  struct TimerState {
    int32_t intervalMs;
    int64_t nextMs;
    std::function<void()> tick;
  };

  // Runs the earliest task or timer due at or before limitMs; false when none is.
  bool RunOneDue(int64_t limitMs, bool includeTimers);
  // DoEvents; false when nothing was pending.
  bool RunPending();
  int64_t NextTimerDue(platform::TimerId* which) const;

  mutable std::mutex mutex_;  // Post may come from other threads
  std::condition_variable posted_;
  std::map<Due, std::function<void()>> tasks_;
  uint64_t nextOrder_ = 0;
  int64_t nowMs_ = 0;
  std::map<platform::TimerId, TimerState> timers_;
  platform::TimerId lastTimer_ = 0;
};

}  // namespace lectryn::sim
