#include "desktop/QtUiLoop.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace lectryn::desktop {

QtUiLoop::QtUiLoop() {
  clock_.start();
}

void QtUiLoop::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(
      &context_, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

platform::TimerId QtUiLoop::StartTimer(int32_t intervalMs, std::function<void()> tick) {
  platform::TimerId id = nextTimer_++;
  auto* timer = new QTimer(&context_);
  timer->setTimerType(Qt::PreciseTimer);  // the highlighter's ticks are tens of ms apart
  QObject::connect(timer, &QTimer::timeout, &context_, [tick = std::move(tick)] { tick(); });
  timer->start(intervalMs);
  timers_[id] = timer;
  return id;
}

void QtUiLoop::StopTimer(platform::TimerId timer) {
  auto it = timers_.find(timer);
  if (it == timers_.end()) return;
  if (QTimer* qtTimer = it->second) {
    qtTimer->stop();
    qtTimer->deleteLater();
  }
  timers_.erase(it);
}

void QtUiLoop::PostDelayed(int64_t delayMs, std::function<void()> task) {
  QTimer::singleShot(std::chrono::milliseconds(std::max<int64_t>(delayMs, 0)), Qt::PreciseTimer, &context_,
                     [task = std::move(task)] { task(); });
}

void QtUiLoop::DoEvents() {
  QCoreApplication::processEvents();
}

void QtUiLoop::WaitForEvents(int64_t boundMs) {
  // The bound is an event of its own: the blocking wait below ends with it at the latest.
  QTimer bound;
  bound.setSingleShot(true);
  bound.setTimerType(Qt::PreciseTimer);
  bound.start(
      std::chrono::milliseconds(std::clamp<int64_t>(boundMs, 0, std::numeric_limits<int32_t>::max())));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

int64_t QtUiLoop::NowMs() const {
  return clock_.elapsed();
}

}  // namespace lectryn::desktop
