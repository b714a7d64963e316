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
  // A program tells of the caret and selection a highlight moved in the objects around it (the
  // paragraph of a link) too, all within this after it; offsets there say nothing of ours.
  static constexpr int64_t kEchoMs = 50;

  // detail is the event's first detail: the caret offset for a caret move, 1 for a gained focus.
  void Note(Change change, const BusObject& object, int32_t detail, int64_t nowMs);
  // Newest first.
  const std::deque<TrackedText>& Recent() const { return recent_; }
  // Our own highlight is about to select [start, end) in object: the caret moves and selection
  // changes it causes there are not the user's, nor is that selection.
  void Own(const BusObject& object, int32_t start, int32_t end, int64_t nowMs);
  bool IsOwn(const BusObject& object, int32_t start, int32_t end) const;
  // Whether a caret at offset in object is where our own highlight left it.
  bool IsOwnCaret(const BusObject& object, int32_t offset) const;

 private:
  struct OwnSelection {
    BusObject object;
    int32_t start = 0;
    int32_t end = 0;
    int64_t atMs = 0;
  };
  bool Echo(Change change, const BusObject& object, int32_t detail, int64_t nowMs) const;

  std::deque<TrackedText> recent_;
  // The last two: the events of one highlight may come after the next is asked for, and a
  // highlight that moves to another object clears the selection of the one before.
  std::deque<OwnSelection> own_;
};

}  // namespace lectryn::accessibility::atspi
