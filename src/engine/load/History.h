#pragma once
// The addresses a page window has shown, oldest first, and which of them is shown now, as a
// browser keeps them. A navigation says at its start what its page will do to the list; the list
// changes when that page (or its error page) arrives, so a navigation that is replaced before its
// page comes leaves no trace. Going back or forward moves the current entry at once, so that a
// second Back while the first is still loading goes one further.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lectryn::engine {

class History {
 public:
  // A new page: once it arrives, the entries after the current one are dropped and it follows.
  void StartNew();
  // The address to load for Back or Forward; nothing when there is no entry that way.
  std::optional<std::u16string> StartBack();
  std::optional<std::u16string> StartForward();
  // The current page again; it takes the current entry's place, wherever it lands.
  void StartReload();
  // The page of the navigation under way is shown at `location` (after redirects). Only the first
  // call per navigation counts; returns whether the entries changed.
  bool PageArrived(const std::u16string& location);

  bool CanGoBack() const { return !entries_.empty() && current_ > 0; }
  bool CanGoForward() const { return current_ + 1 < entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  const std::vector<std::u16string>& Entries() const { return entries_; }
  // Index into Entries() of the page shown; 0 while there is none.
  size_t Current() const { return current_; }

 private:
  // What the page of the navigation under way does to the entries.
  enum class Step { Add, ReplaceCurrent, None };

  std::vector<std::u16string> entries_;
  size_t current_ = 0;
  Step pending_ = Step::None;
};

}  // namespace lectryn::engine
