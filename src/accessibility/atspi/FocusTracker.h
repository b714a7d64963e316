#pragma once
// Remembers which text objects of other programs the user last focused, put the caret in or
// selected in, as the bus tells it. Events come often (every caret move, every key): each is only
// recorded here, never answered with a call back into its program. Worker thread only.
#include <cstdint>
#include <deque>
#include <string>

#include "accessibility/atspi/BusClient.h"

namespace lectryn::accessibility::atspi {

struct TrackedText {
  BusObject object;
  int32_t caretOffset = -1;  // characters of the object's text, as the last caret move told; -1 unknown
  int64_t atMs = 0;          // steady clock, when last heard of
};

class FocusTracker {
 public:
  enum class Change { Focused, CaretMoved, SelectionChanged };
  // The last objects kept: enough to step over the focus events of our own windows and over the
  // several objects one selection in a web page touches.
  static constexpr size_t kKept = 16;

  // detail is the event's first detail: the caret offset for a caret move, 1 for a gained focus.
  void Note(Change change, const BusObject& object, int32_t detail, int64_t nowMs);
  // Newest first.
  const std::deque<TrackedText>& Recent() const { return recent_; }
  // An object that is gone (its program left the bus) is not asked again.
  void Forget(const BusObject& object);

 private:
  std::deque<TrackedText> recent_;
};

}  // namespace lectryn::accessibility::atspi
