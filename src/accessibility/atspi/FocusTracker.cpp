#include "accessibility/atspi/FocusTracker.h"

#include <algorithm>

namespace lectryn::accessibility::atspi {

void FocusTracker::Note(Change change, const BusObject& object, int32_t detail, int64_t nowMs) {
  if (object.IsNull()) return;
  // Losing focus says nothing of where the user will read.
  if (change == Change::Focused && detail == 0) return;
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

void FocusTracker::Forget(const BusObject& object) {
  std::erase_if(recent_, [&object](const TrackedText& tracked) { return tracked.object == object; });
}

}  // namespace lectryn::accessibility::atspi
