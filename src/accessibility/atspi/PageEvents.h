#pragma once
// Page changes seen on the bus, reported per document. An event names only its source object;
// finding the document above it would cost a round trip per ancestor for every event of a busy
// page, so a change anywhere in a program counts for each of its documents that we read.
#include <atspi/atspi.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/FocusTracker.h"
#include "accessibility/atspi/ObjectTable.h"

namespace lectryn::accessibility::atspi {

class PageEvents {
 public:
  // changed runs on the worker thread with a changed document. With focus, where the user
  // focuses, moves the caret and selects is told to it as well.
  PageEvents(ObjectTable& table, std::function<void(AxRef)> changed, FocusTracker* focus = nullptr)
      : table_(table), changed_(std::move(changed)), focus_(focus) {}
  ~PageEvents() { Stop(); }
  PageEvents(const PageEvents&) = delete;
  PageEvents& operator=(const PageEvents&) = delete;

  // Worker thread only. Returns what could not be listened for and why, empty when all could.
  std::string Start();
  void Stop();
  // Our own selection changes make some programs report changed text: ignore it for a moment.
  void OwnChange(const std::string& busName, int64_t nowMs);

 private:
  static void OnEvent(AtspiEvent* event, void* self);
  void Handle(const AtspiEvent& event);
  std::vector<const char*> Types() const;

  ObjectTable& table_;
  std::function<void(AxRef)> changed_;
  FocusTracker* focus_;
  AtspiEventListener* listener_ = nullptr;
  std::map<std::string, int64_t> ownChangeMs_;  // by bus name
};

int64_t MonotonicMs();

}  // namespace lectryn::accessibility::atspi
