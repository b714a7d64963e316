#pragma once
// What the bus side tells the program besides the results of its calls: the calls that fail while
// nobody waits for their result to say so (a highlight the browser did not take, page changes we
// cannot follow), and what the browser held selected.
#include <functional>
#include <string>

namespace lectryn::accessibility::atspi {

struct BusProblem {
  enum class Action { Select, Scroll, Listen };
  Action action = Action::Select;
  std::u16string url;  // the page's, when known
  std::string reason;
  // The first problem of its page (Listen: of the program); the others are the same story again.
  bool first = false;
};

const char* ActionName(BusProblem::Action action);

// Both run on the UI thread; either may be empty.
struct PageReports {
  std::function<void(const BusProblem&)> problem;
  // What the browser held selected when the next selection was asked of it in the same page: the
  // one asked before, if it took it. Asked of the browser only when set.
  std::function<void(const std::u16string& selected)> held;
};

}  // namespace lectryn::accessibility::atspi
