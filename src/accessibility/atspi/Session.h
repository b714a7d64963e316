#pragma once
// What the page service and its bridges share: the worker and the state that only the worker
// touches. The worker is the last member, so it stops (and releases libatspi objects) first.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "accessibility/atspi/AtspiWorker.h"
#include "accessibility/atspi/DocumentFinder.h"
#include "accessibility/atspi/FocusTracker.h"
#include "accessibility/atspi/ObjectTable.h"
#include "accessibility/atspi/PageEvents.h"
#include "accessibility/atspi/PageReports.h"

namespace lectryn::accessibility::atspi {

// One bus call to a program that stopped gives up after this.
inline constexpr int32_t kBusCallTimeoutMs = 1000;

struct Session : std::enable_shared_from_this<Session> {
  // Worker thread only.
  struct WorkerState {
    ObjectTable table;
    std::optional<DocumentFinder> finder;
    std::optional<PageEvents> events;
    FocusTracker focus;  // told by events
    // The object each document's selection was last put in: a selection is one range, so it
    // leaves that object when it moves to another.
    std::map<AxRef, AxRef> selectedIn;
    // When each document's first point lookup began: some time after it, "nothing there" is
    // their answer, not a wait.
    std::map<AxRef, int64_t> firstLookupMs;
  };

  explicit Session(AtspiWorker::PostFunction post, AtspiWorker::Bus bus) : worker(std::move(post), bus) {}
  Session(AtspiWorker::PostFunction post, DBusConnection* connection) : worker(std::move(post), connection) {}

  // Runs task(BusClient&, WorkerState&) on the worker, bounded by timeoutMs.
  template <class Task>
  auto Call(Task task, int32_t timeoutMs) {
    return worker.Call(
        [this, task = std::move(task)]() mutable {
          if (!worker.Connected()) throw platform::Failure("the accessibility bus is not running");
          return task(worker.Client(), state);
        },
        timeoutMs);
  }

  // UI thread only.
  std::map<int, std::function<void(AxRef)>> handlers;
  int nextHandler = 1;
  PageReports reports;
  // Documents with a failed highlight reported: the next failures there are no news.
  std::set<AxRef> troubledPages;
  // Documents with a change queued to the UI; any thread, under pendingMutex.
  std::mutex pendingMutex;
  std::set<AxRef> pending;

  WorkerState state;
  AtspiWorker worker;
};

}  // namespace lectryn::accessibility::atspi
