#include "sim/SimUiLoop.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace lectryn::sim {

void SimUiLoop::Post(std::function<void()> task) {
  PostDelayed(0, std::move(task));
}

void SimUiLoop::PostDelayed(int64_t delayMs, std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.emplace(Due{nowMs_ + (delayMs < 0 ? 0 : delayMs), nextOrder_++}, std::move(task));
  }
  posted_.notify_all();
}

platform::TimerId SimUiLoop::StartTimer(int32_t intervalMs, std::function<void()> tick) {
  if (intervalMs < 1) intervalMs = 1;
  timers_[++lastTimer_] = {intervalMs, nowMs_ + intervalMs, std::move(tick)};
  return lastTimer_;
}

void SimUiLoop::StopTimer(platform::TimerId timer) {
  timers_.erase(timer);
}

int64_t SimUiLoop::NowMs() const {
  std::lock_guard lock(mutex_);
  return nowMs_;
}

bool SimUiLoop::HasPendingTasks() const {
  std::lock_guard lock(mutex_);
  return !tasks_.empty();
}

int64_t SimUiLoop::NextTimerDue(platform::TimerId* which) const {
  int64_t best = std::numeric_limits<int64_t>::max();
  for (const auto& [id, timer] : timers_) {
    if (timer.nextMs < best) {
      best = timer.nextMs;
      *which = id;
    }
  }
  return best;
}

bool SimUiLoop::RunOneDue(int64_t limitMs, bool includeTimers) {
  platform::TimerId timerId = 0;
  int64_t timerDue = includeTimers ? NextTimerDue(&timerId) : std::numeric_limits<int64_t>::max();
  std::function<void()> task;
  {
    std::lock_guard lock(mutex_);
    bool haveTask = !tasks_.empty() && tasks_.begin()->first.timeMs <= limitMs;
    // A timer due strictly before the first task runs first; at equal times tasks go first.
    if (haveTask && tasks_.begin()->first.timeMs <= timerDue) {
      auto first = tasks_.begin();
      if (first->first.timeMs > nowMs_) nowMs_ = first->first.timeMs;
      task = std::move(first->second);
      tasks_.erase(first);
    } else if (timerDue > limitMs) {
      return false;
    } else if (timerDue > nowMs_) {
      nowMs_ = timerDue;
    }
  }
  if (task) {
    task();
    return true;
  }
  TimerState& timer = timers_.at(timerId);
  timer.nextMs += timer.intervalMs;
  auto tick = timer.tick;  // the tick may stop its own timer
  tick();
  return true;
}

void SimUiLoop::DoEvents() {
  RunPending();
}

bool SimUiLoop::RunPending() {
  bool ran = false;
  uint64_t lastOrder;
  int64_t now;
  {
    std::lock_guard lock(mutex_);
    lastOrder = nextOrder_;
    now = nowMs_;
  }
  // Only what is pending at entry: a task that posts again must not spin here.
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      auto first = tasks_.begin();
      if (first == tasks_.end() || first->first.timeMs > now || first->first.order >= lastOrder) break;
      task = std::move(first->second);
      tasks_.erase(first);
    }
    task();
    ran = true;
  }
  std::vector<platform::TimerId> due;
  for (const auto& [id, timer] : timers_)
    if (timer.nextMs <= now) due.push_back(id);
  for (platform::TimerId id : due) {
    auto found = timers_.find(id);
    if (found == timers_.end()) continue;
    found->second.nextMs = now + found->second.intervalMs;
    auto tick = found->second.tick;
    tick();
    ran = true;
  }
  return ran;
}

void SimUiLoop::WaitForEvents(int64_t boundMs) {
  if (RunPending()) return;
  platform::TimerId timer = 0;
  int64_t nextMs = NextTimerDue(&timer);
  std::unique_lock lock(mutex_);
  const int64_t boundAtMs = nowMs_ + std::max<int64_t>(boundMs, 0);
  if (!tasks_.empty()) nextMs = std::min(nextMs, tasks_.begin()->first.timeMs);
  if (nextMs > boundAtMs) {
    const int64_t entryMs = nowMs_;
    auto postedNow = [&] { return !tasks_.empty() && tasks_.begin()->first.timeMs <= entryMs; };
    if (posted_.wait_for(lock, std::chrono::milliseconds(std::clamp<int64_t>(boundMs, 0, kIdleRealWaitMs)),
                         postedNow)) {
      lock.unlock();
      RunPending();
      return;
    }
    nextMs = boundAtMs;
  }
  nowMs_ = std::max(nowMs_, nextMs);
  lock.unlock();
  RunPending();
}

void SimUiLoop::PassTime(int64_t ms) {
  std::lock_guard lock(mutex_);
  if (ms > 0) nowMs_ += ms;
}

void SimUiLoop::AdvanceBy(int64_t ms) {
  int64_t target = NowMs() + ms;
  while (RunOneDue(target, true)) {
  }
  std::lock_guard lock(mutex_);
  nowMs_ = target;
}

bool SimUiLoop::RunUntilIdle(int64_t maxTasks) {
  for (int64_t ran = 0; ran < maxTasks; ++ran) {
    int64_t nextTask;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) return true;
      nextTask = tasks_.begin()->first.timeMs;
    }
    RunOneDue(nextTask, true);
  }
  return !HasPendingTasks();
}

}  // namespace lectryn::sim
