#pragma once
// Reads what the user selected in the focused program, or from where they put the caret: in a web
// page, as a page whose words are selected there while spoken; in another program that lets its
// selection be set, the same way over that one text; otherwise, and for the desktop's primary
// selection or the clipboard, in the text-to-speech window.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/BrowserDocument.h"
#include "accessibility/atspi/FocusedText.h"
#include "platform/Page.h"

namespace lectryn::accessibility::atspi {
class AtspiPages;
}
namespace lectryn::windows::main {
class frmMain;
}
namespace lectryn::platform {
class Dialogs;
}

namespace lectryn::app {

// The page of one text object of another program: a document (the object's container) with one
// paragraph that is the object itself, so what the highlighter selects is set in that object.
accessibility::AxNode OneObjectPage(accessibility::AxRef container, accessibility::AxRef object,
                                    std::u16string text);

// A caret inside a word moved to the word's start: a click lands anywhere in the word it means.
platform::TxtRangePtr AtWordStart(const platform::TxtRangePtr& caret);
// The range from a collapsed range (a caret), taken to its word's start, to the end of the element
// that holds it; at the end of an element within a line (right after a link), of the element
// around it.
platform::TxtRangePtr ToEndOfElement(const platform::TxtRangePtr& caret);

// The range from the first start to the last end of the selections, in the page's order; nullptr
// when none lies in the page's text.
platform::TxtRangePtr SpanOfSelections(accessibility::BrowserDocument& document,
                                       const std::vector<accessibility::atspi::ObjectSelection>& selections);

class SelectionReading {
 public:
  struct Desktop {
    std::function<std::u16string()> primarySelection;  // empty text when there is none
    std::function<std::u16string()> clipboard;
    std::function<void(const std::string&)> note;  // what could not be reached, for whoever follows
  };
  // bus may be null (no accessibility bus).
  SelectionReading(windows::main::frmMain& main, platform::Dialogs& dialogs,
                   accessibility::atspi::AtspiPages* bus, Desktop desktop)
      : main_(main), dialogs_(dialogs), bus_(bus), desktop_(std::move(desktop)) {}

  void Read();

  static constexpr char16_t kNothingToRead[] =
      u"There is no selected text to read. Select text (or click where reading should start) and try again.";

 private:
  bool ReadWebPage(const accessibility::atspi::FocusedText& focused);
  bool ReadPartFirst(const accessibility::atspi::FocusedText& focused);
  bool ReadProgramText(const accessibility::atspi::FocusedText& focused);
  bool ReadDesktopSelection();
  void Say(const std::shared_ptr<accessibility::BrowserDocument>& document, const platform::TxtRangePtr& range);
  void ReadInWindow(const std::u16string& text);

  windows::main::frmMain& main_;
  platform::Dialogs& dialogs_;
  accessibility::atspi::AtspiPages* bus_;
  Desktop desktop_;
};

}  // namespace lectryn::app
