#include "engine/load/History.h"

namespace lectryn::engine {

void History::StartNew() {
  pending_ = Step::Add;
}

std::optional<std::u16string> History::StartBack() {
  if (!CanGoBack()) return std::nullopt;
  --current_;
  pending_ = Step::ReplaceCurrent;
  return entries_[current_];
}

std::optional<std::u16string> History::StartForward() {
  if (!CanGoForward()) return std::nullopt;
  ++current_;
  pending_ = Step::ReplaceCurrent;
  return entries_[current_];
}

void History::StartReload() {
  pending_ = Step::ReplaceCurrent;
}

bool History::PageArrived(const std::u16string& location) {
  Step step = pending_;
  pending_ = Step::None;
  if (step == Step::None) return false;
  if (step == Step::Add || entries_.empty()) {
    if (!entries_.empty()) entries_.resize(current_ + 1);
    entries_.push_back(location);
    current_ = entries_.size() - 1;
    return true;
  }
  // A redirect, or a reload that went elsewhere: the entry names where the page really is.
  entries_[current_] = location;
  return true;
}

}  // namespace lectryn::engine
