#pragma once
// The UI loop on Qt's event loop. Construct it on the UI thread after the QApplication; tasks and
// ticks run on that thread. Post is safe from any thread; everything else belongs to the UI thread.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <map>

#include "platform/UiLoop.h"

namespace lectryn::desktop {

class QtUiLoop : public platform::UiLoop {
 public:
  QtUiLoop();

  void Post(std::function<void()> task) override;
  platform::TimerId StartTimer(int32_t intervalMs, std::function<void()> tick) override;
  void StopTimer(platform::TimerId timer) override;
  void PostDelayed(int64_t delayMs, std::function<void()> task) override;
  void DoEvents() override;
  void WaitForEvents(int64_t boundMs) override;
  int64_t NowMs() const override;

 private:
  // Posted tasks are queued events of this object, so they run in order and are dropped with it.
  // It also owns the timers: a timer stopped inside its own tick is deleted later, not under it.
  QObject context_;
  std::map<platform::TimerId, QPointer<QTimer>> timers_;
  platform::TimerId nextTimer_ = 1;  // ids are never reused within a run
  QElapsedTimer clock_;
};

}  // namespace lectryn::desktop
