#include "accessibility/atspi/FocusTracker.h"

#include <algorithm>

namespace lectryn::accessibility::atspi {

void FocusTracker::Note(Change change, const BusObject& object, int32_t detail, int64_t nowMs) {
  if (object.IsNull()) return;
  // Losing focus says nothing of where the user will read.
  if (change == Change::Focused && detail == 0) return;
  if (Echo(change, object, detail, nowMs)) return;
  auto same = std::find_if(recent_.begin(), recent_.end(),
                           [&object](const TrackedText& tracked) { return tracked.object == object; });
  TrackedText tracked{object, -1, nowMs};
  if (same != recent_.end()) {
    tracked.caretOffset = same->caretOffset;
    recent_.erase(same);
  }
  if (change == Change::CaretMoved && detail >= 0) tracked.caretOffset = detail;
  recent_.push_front(std::move(tracked));
  if (recent_.size() > kKept) recent_.pop_back();
}

void FocusTracker::Own(const BusObject& object, int32_t start, int32_t end, int64_t nowMs) {
  own_.push_front({object, start, end, nowMs});
  if (own_.size() > 2) own_.pop_back();
}

bool FocusTracker::IsOwn(const BusObject& object, int32_t start, int32_t end) const {
  // The program may still hold the word before while the next is being set.
  return std::any_of(own_.begin(), own_.end(), [&](const OwnSelection& own) {
    return own.object == object && own.start == start && own.end == end;
  });
}

bool FocusTracker::IsOwnCaret(const BusObject& object, int32_t offset) const {
  return std::any_of(own_.begin(), own_.end(), [&](const OwnSelection& own) {
    return own.object == object && (offset == own.start || offset == own.end);
  });
}

bool FocusTracker::Echo(Change change, const BusObject& object, int32_t detail, int64_t nowMs) const {
  if (change == Change::Focused) return false;
  for (const OwnSelection& own : own_) {
    if (own.object.name == object.name && nowMs - own.atMs < kEchoMs) return true;
    if (!(own.object == object)) continue;
    if (change == Change::SelectionChanged) return true;
    if (change == Change::CaretMoved && (detail == own.start || detail == own.end)) return true;
  }
  return false;
}

}  // namespace lectryn::accessibility::atspi
