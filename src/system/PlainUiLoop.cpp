#include "system/PlainUiLoop.h"

#include <algorithm>
#include <vector>

namespace lectryn::system {

PlainUiLoop::PlainUiLoop() : start_(std::chrono::steady_clock::now()) {}

void PlainUiLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

platform::TimerId PlainUiLoop::StartTimer(int32_t intervalMs, std::function<void()> tick) {
  if (intervalMs < 1) intervalMs = 1;
  timers_[++lastTimer_] = {intervalMs, NowMs() + intervalMs, std::move(tick)};
  return lastTimer_;
}

void PlainUiLoop::StopTimer(platform::TimerId timer) {
  timers_.erase(timer);
}

int64_t PlainUiLoop::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
      .count();
}

size_t PlainUiLoop::RunDueTimers() {
  int64_t now = NowMs();
  std::vector<platform::TimerId> due;
  for (const auto& [id, timer] : timers_)
    if (timer.nextMs <= now) due.push_back(id);
  size_t ticked = 0;
  for (platform::TimerId id : due) {
    auto found = timers_.find(id);
    if (found == timers_.end()) continue;  // stopped by an earlier tick
    found->second.nextMs = now + found->second.intervalMs;
    auto tick = found->second.tick;
    tick();
    ++ticked;
  }
  return ticked;
}

int64_t PlainUiLoop::NextTimerMs() const {
  int64_t next = -1;
  for (const auto& [id, timer] : timers_)
    if (next < 0 || timer.nextMs < next) next = timer.nextMs;
  return next;
}

bool PlainUiLoop::RunPending() {
  std::deque<std::function<void()>> pending;
  {
    std::lock_guard lock(mutex_);
    pending.swap(tasks_);
  }
  for (auto& task : pending) task();
  return RunDueTimers() > 0 || !pending.empty();
}

void PlainUiLoop::DoEvents() {
  RunPending();
}

void PlainUiLoop::WaitForEvents(int64_t boundMs) {
  if (RunPending()) return;
  int64_t wakeMs = NowMs() + std::max<int64_t>(boundMs, 0);
  int64_t nextTimer = NextTimerMs();
  if (nextTimer >= 0) wakeMs = std::min(wakeMs, nextTimer);
  {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(0, wakeMs - NowMs())),
                   [&] { return !tasks_.empty(); });
  }
  RunPending();
}

bool PlainUiLoop::Run(const std::function<bool()>& done) {
  for (;;) {
    std::function<void()> task;
    RunDueTimers();
    int64_t nextTimer = NextTimerMs();
    {
      std::unique_lock lock(mutex_);
      auto ready = [&] { return quit_ || !tasks_.empty(); };
      if (nextTimer < 0) {
        wake_.wait(lock, ready);
      } else {
        wake_.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(0, nextTimer - NowMs())), ready);
      }
      if (quit_) {
        quit_ = false;
        return false;
      }
      if (tasks_.empty()) continue;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    if (done && done()) return true;
  }
}

void PlainUiLoop::Quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
}

}  // namespace lectryn::system
