#pragma once
// What the user selected, or where the caret stands, in the text object of another program that
// was last focused, put the caret in or selected in. Worker thread only; every call waits at most
// what the deadline leaves.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/BusClient.h"
#include "accessibility/atspi/FocusTracker.h"
#include "accessibility/atspi/ObjectTable.h"

namespace lectryn::accessibility::atspi {

// Offsets count characters of the object's text, as the program reports them.
struct FocusedText {
  AxRef object = 0;
  AxRef container = 0;               // the object's parent; 0 when it has none
  std::optional<AxRef> webDocument;  // the web document the object lies in, if it does
  int32_t pid = 0;                   // of the program; 0 when the bus did not say
  int32_t caretOffset = -1;          // -1 when it has none
  int32_t caretNow = -1;             // the program's caret in the object now; -1 when it lies elsewhere
  // In a web document: the objects around the object, innermost first, up to below the document.
  std::vector<AxRef> ancestors;
  bool selectionWithin = false;  // in a web document: the selection lies in the object alone
  int32_t selectionStart = 0;        // equal to selectionEnd when nothing is selected
  int32_t selectionEnd = 0;
  // Outside web documents only: the object's whole text (UTF-16), and whether the program took
  // its own selection back when it was set through the bus (so words can be shown there).
  std::u16string text;
  bool takesSelection = false;

  bool Selected() const { return selectionEnd > selectionStart; }
};

// One object's selection.
struct ObjectSelection {
  AxRef object = 0;
  int32_t startOffset = 0;
  int32_t endOffset = 0;
};

class FocusFinder {
 public:
  // Objects of ownPid (our own windows, focused when the user asks us to read) are stepped over.
  FocusFinder(BusClient& client, ObjectTable& table, const Deadline& deadline, int32_t ownPid)
      : client_(client), table_(table), deadline_(deadline), ownPid_(ownPid) {}

  // The newest tracked object of another program that still has text; when none has (no program
  // told of a focus since we started), the focused object in the active window of another program;
  // nullopt when there is none with text.
  std::optional<FocusedText> Find(FocusTracker& tracker);
  // The focused object of another program's active window, as Describe gives it; in a page, the
  // innermost object that holds the caret.
  std::optional<FocusedText> FindOnDesktop();
  // One object as it is now; nullopt when it has no text (or is gone).
  std::optional<FocusedText> Describe(const BusObject& object, int32_t trackedCaret);

  // A page nesting deeper than this is not walked up to its document.
  static constexpr int kMaxDepth = 96;

 private:
  int32_t PidOf(const std::string& busName);
  // Down from object to the object whose own character the caret stands at: a page's objects tell
  // a caret in what they hold at the character standing for that.
  BusObject CaretHolder(BusObject object);

  BusClient& client_;
  ObjectTable& table_;
  const Deadline& deadline_;
  int32_t ownPid_;
  std::map<std::string, int32_t> pids_;
};

// The selections of many objects at once (the first of each), in the order given; objects that
// hold none or have no text are left out.
std::vector<ObjectSelection> SelectionsOf(BusClient& client, ObjectTable& table, const std::vector<AxRef>& objects,
                                          int32_t timeoutMs);

// Makes [start, end) the first selection of object, which holds one already when held: moved where
// the program lets it be, else taken away and added anew (a document viewer that keeps its
// selections but cannot move one). Whether the program took it.
bool SetFirstSelection(BusClient& client, const BusObject& object, bool held, int32_t start, int32_t end,
                       int32_t timeoutMs);

// The caret among objects given in the page's order, each before what it holds: the last that has
// one, so the innermost of the objects around it (which tell it too, at their child's place).
std::optional<ObjectSelection> CaretOf(BusClient& client, ObjectTable& table, const std::vector<AxRef>& objects,
                                       int32_t timeoutMs);

}  // namespace lectryn::accessibility::atspi
