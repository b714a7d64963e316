// What the user selected, or where the caret stands, in the text objects of other programs, asked
// of a fake program over a private connection.
#include "accessibility/atspi/FocusedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FakeProgram.h"
#include "platform/Text.h"

namespace lectryn::accessibility::atspi {
namespace {

using testing::FakeProgram;
using TextObject = FakeProgram::TextObject;
using Change = FocusTracker::Change;

constexpr const char* kEditor = ":1.20";
constexpr const char* kBrowser = ":1.30";
constexpr const char* kOurs = ":1.40";
constexpr uint32_t kEditorPid = 2000;
constexpr uint32_t kBrowserPid = 3000;
constexpr uint32_t kOurPid = 4000;

constexpr const char* kFieldText = "The quick brown fox";

// Whether calls ("path method" each) hold method, on any object or on the one named ("/p GetText").
bool Called(const std::vector<std::string>& calls, const std::string& method) {
  return std::any_of(calls.begin(), calls.end(), [&method](const std::string& call) {
    return call == method || call.ends_with(" " + method);
  });
}

// An editor with a field in a dialog, a browser whose page lies in a frame, and our own window,
// each its own program; the test notes which of them the user went to.
class FocusedTexts : public ::testing::Test {
 protected:
  FocusedTexts() {
    program.SetPid(kEditor, kEditorPid);
    program.SetPid(kBrowser, kBrowserPid);
    program.SetPid(kOurs, kOurPid);
    program.Add(kEditor, "/dialog", {.hasText = false, .role = ATSPI_ROLE_DIALOG});
    program.Add(kEditor, "/field", {.text = kFieldText, .role = ATSPI_ROLE_ENTRY, .parent = "/dialog"});
    program.Add(kEditor, "/button", {.hasText = false, .role = ATSPI_ROLE_PUSH_BUTTON, .parent = "/dialog"});
    program.Add(kBrowser, "/frame", {.hasText = false, .role = ATSPI_ROLE_FRAME});
    program.Add(kBrowser, "/doc", {.text = "*", .role = ATSPI_ROLE_DOCUMENT_WEB, .parent = "/frame"});
    program.Add(kBrowser, "/section", {.text = "*", .role = ATSPI_ROLE_SECTION, .parent = "/doc"});
    program.Add(kBrowser, "/p", {.text = "A paragraph of the page", .parent = "/section"});
    program.Add(kOurs, "/box", {.text = "Our own text box", .role = ATSPI_ROLE_ENTRY});
  }

  void Note(Change change, const char* busName, const std::string& path, int32_t detail = 1) {
    tracker.Note(change, {busName, path}, detail, nowMs += 1000);
  }
  void Select(const char* busName, const std::string& path, int32_t start, int32_t end) {
    TextObject object = program.Object(busName, path);
    object.selectionStart = start;
    object.selectionEnd = end;
    object.caretOffset = end;
    program.Add(busName, path, object);
  }
  AxRef Ref(const char* busName, const std::string& path) { return table.Intern({busName, path}); }

  FakeProgram program{1};
  BusClient client{program.Connection()};
  ObjectTable table;
  Deadline deadline{5000};
  FocusTracker tracker;
  FocusFinder finder{client, table, deadline, static_cast<int32_t>(kOurPid)};
  int64_t nowMs = 0;
};

TEST_F(FocusedTexts, ASelectionInAFieldComesWithItsTextAndWhetherTheFieldTakesOneSet) {
  Select(kEditor, "/field", 4, 9);
  Note(Change::SelectionChanged, kEditor, "/field");
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kEditor, "/field"), focused->object);
  EXPECT_EQ(Ref(kEditor, "/dialog"), focused->container);
  EXPECT_FALSE(focused->webDocument);
  EXPECT_EQ(static_cast<int32_t>(kEditorPid), focused->pid);
  EXPECT_TRUE(focused->Selected());
  EXPECT_EQ(4, focused->selectionStart);
  EXPECT_EQ(9, focused->selectionEnd);
  EXPECT_EQ(9, focused->caretOffset);
  EXPECT_EQ(platform::FromUtf8(kFieldText), focused->text);
  EXPECT_TRUE(focused->takesSelection);
  EXPECT_EQ(4, program.Object(kEditor, "/field").selectionStart);
  EXPECT_EQ(9, program.Object(kEditor, "/field").selectionEnd);

  // A field that keeps its own selection is told apart.
  TextObject field = program.Object(kEditor, "/field");
  field.takesSelection = false;
  program.Add(kEditor, "/field", field);
  focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_TRUE(focused->Selected());
  EXPECT_FALSE(focused->takesSelection);

  // A viewer that cannot move its selection but takes a new one does take it.
  field.addsSelection = true;
  program.Add(kEditor, "/field", field);
  focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_TRUE(focused->takesSelection);
  EXPECT_EQ(4, program.Object(kEditor, "/field").selectionStart);
  EXPECT_EQ(9, program.Object(kEditor, "/field").selectionEnd);
}

TEST(SetFirstSelection, MovedWhereItCanBeElseTakenAwayAndAddedAnew) {
  FakeProgram program(1);
  BusClient client(program.Connection());
  program.Add(kEditor, "/field", {.text = kFieldText, .selectionStart = 0, .selectionEnd = 3});
  program.Add(kEditor, "/viewer", {.text = kFieldText, .selectionStart = 0, .selectionEnd = 3,
                                   .takesSelection = false, .addsSelection = true});
  program.Add(kEditor, "/label", {.text = kFieldText, .selectionStart = 0, .selectionEnd = 3,
                                  .takesSelection = false});
  program.Add(kEditor, "/empty", {.text = kFieldText, .addsSelection = true});
  auto selection = [&program](const char* path) {
    TextObject object = program.Object(kEditor, path);
    return std::to_string(object.selectionStart) + "-" + std::to_string(object.selectionEnd);
  };

  EXPECT_TRUE(SetFirstSelection(client, {kEditor, "/field"}, true, 4, 9, 1000));
  EXPECT_EQ("4-9", selection("/field"));
  EXPECT_FALSE(Called(program.CallsTo(kEditor), "/field AddSelection"));
  EXPECT_TRUE(SetFirstSelection(client, {kEditor, "/viewer"}, true, 4, 9, 1000));
  EXPECT_EQ("4-9", selection("/viewer"));
  EXPECT_FALSE(SetFirstSelection(client, {kEditor, "/label"}, true, 4, 9, 1000));
  EXPECT_EQ("0-3", selection("/label")) << "a program that refuses keeps its own";
  EXPECT_TRUE(SetFirstSelection(client, {kEditor, "/empty"}, false, 10, 15, 1000));
  EXPECT_EQ("10-15", selection("/empty"));
  EXPECT_FALSE(SetFirstSelection(client, {kEditor, "/gone"}, true, 4, 9, 1000));
}

TEST_F(FocusedTexts, ACaretAloneIsWhereTheUserLeftItNotWhereTheProgramHasItNow) {
  Note(Change::CaretMoved, kEditor, "/field", 10);
  TextObject field = program.Object(kEditor, "/field");
  field.caretOffset = 16;  // our highlight moved it since
  program.Add(kEditor, "/field", field);
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_FALSE(focused->Selected());
  EXPECT_EQ(10, focused->caretOffset);
  EXPECT_EQ(platform::FromUtf8(kFieldText), focused->text);
  EXPECT_FALSE(focused->takesSelection);
  EXPECT_FALSE(Called(program.CallsTo(kEditor), "SetSelection"))
      << "setting an empty selection would move the caret";

  // Only focused: the program's caret is all there is.
  FocusTracker focusedOnly;
  focusedOnly.Note(Change::Focused, {kEditor, "/field"}, 1, 1);
  focused = finder.Find(focusedOnly);
  ASSERT_TRUE(focused);
  EXPECT_EQ(16, focused->caretOffset);
}

TEST_F(FocusedTexts, ObjectsWithoutTextOrGoneAreSteppedOverToAnOlderOne) {
  EXPECT_FALSE(finder.Find(tracker)) << "nothing noted";
  Select(kEditor, "/field", 0, 3);
  Note(Change::SelectionChanged, kEditor, "/field");
  Note(Change::Focused, kBrowser, "/p");
  Note(Change::Focused, kEditor, "/button");
  program.Remove(kBrowser, "/p");
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kEditor, "/field"), focused->object);
  EXPECT_EQ(0, focused->selectionStart);
  EXPECT_EQ(3, focused->selectionEnd);

  program.Remove(kEditor, "/field");
  EXPECT_FALSE(finder.Find(tracker));
  EXPECT_FALSE(finder.Describe({":1.99", "/field"}, -1)) << "a program that left the bus";
}

TEST_F(FocusedTexts, OurOwnWindowsAreSteppedOverWithoutAskingThem) {
  Note(Change::CaretMoved, kEditor, "/field", 4);
  Note(Change::Focused, kOurs, "/box");
  Note(Change::CaretMoved, kOurs, "/box", 2);
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kEditor, "/field"), focused->object);
  EXPECT_EQ(4, focused->caretOffset);
  // Our UI thread waits for the answer meanwhile: a call into our own program would wait for it.
  EXPECT_TRUE(program.CallsTo(kOurs).empty());

  // A finder that knows no pid of its own takes every program.
  FocusFinder anyProgram(client, table, deadline, 0);
  focused = anyProgram.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kOurs, "/box"), focused->object);
}

// Started by a key's command, we heard no program's focus: the desktop is asked which window is
// active and what is focused in it.
class DesktopFocus : public FocusedTexts {
 protected:
  DesktopFocus() {
    program.Add(FakeProgram::kRegistry, FakeProgram::kRoot, {.hasText = false, .role = ATSPI_ROLE_DESKTOP_FRAME});
    for (const char* name : {kEditor, kBrowser, kOurs})
      program.Add(name, FakeProgram::kRoot, {.hasText = false, .role = ATSPI_ROLE_APPLICATION});
    Window(kEditor, "/dialog", false);
    Window(kBrowser, "/frame", false);
    program.Add(kOurs, "/window", {.hasText = false, .role = ATSPI_ROLE_FRAME, .parent = FakeProgram::kRoot});
    TextObject box = program.Object(kOurs, "/box");
    box.parent = "/window";
    box.focused = true;
    program.Add(kOurs, "/box", box);
    Window(kOurs, "/window", true);
  }
  void Window(const char* busName, const std::string& path, bool active) {
    TextObject window = program.Object(busName, path);
    window.parent = FakeProgram::kRoot;
    window.active = active;
    program.Add(busName, path, window);
  }
  void Focus(const char* busName, const std::string& path) {
    TextObject object = program.Object(busName, path);
    object.focused = true;
    program.Add(busName, path, object);
  }
};

TEST_F(DesktopFocus, TheFocusedFieldOfTheActiveWindowNotOursNorAnInactiveOnes) {
  Select(kEditor, "/field", 4, 9);
  Focus(kEditor, "/field");
  Focus(kBrowser, "/doc");
  EXPECT_FALSE(finder.Find(tracker)) << "no window of another program is active";

  Window(kEditor, "/dialog", true);
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kEditor, "/field"), focused->object);
  EXPECT_EQ(4, focused->selectionStart);
  EXPECT_EQ(9, focused->selectionEnd);
  EXPECT_TRUE(program.CallsTo(kOurs).empty()) << "our own program is not asked";

  // What a program told us of comes first.
  Note(Change::CaretMoved, kBrowser, "/p", 3);
  focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kBrowser, "/p"), focused->object);
}

TEST_F(DesktopFocus, InAFocusedPageTheCaretIsFollowedDownToTheObjectThatHoldsIt) {
  Window(kBrowser, "/frame", true);
  Focus(kBrowser, "/doc");
  for (const char* path : {"/doc", "/section"}) {
    TextObject object = program.Object(kBrowser, path);
    object.caretOffset = 0;
    program.Add(kBrowser, path, object);
  }
  TextObject paragraph = program.Object(kBrowser, "/p");
  paragraph.caretOffset = 2;
  program.Add(kBrowser, "/p", paragraph);

  std::optional<FocusedText> focused = finder.FindOnDesktop();
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kBrowser, "/p"), focused->object);
  EXPECT_EQ(Ref(kBrowser, "/doc"), focused->webDocument);
  EXPECT_EQ(2, focused->caretOffset);

  // A caret on the document's own text stays there.
  TextObject document = program.Object(kBrowser, "/doc");
  document.text = "Text *";
  document.caretOffset = 1;
  program.Add(kBrowser, "/doc", document);
  focused = finder.FindOnDesktop();
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kBrowser, "/doc"), focused->object);
  EXPECT_EQ(1, focused->caretOffset);
}

TEST_F(FocusedTexts, WhatOurHighlightLeftSelectedIsNoSelectionOfTheUsers) {
  Note(Change::CaretMoved, kEditor, "/field", 2);
  tracker.Own({kEditor, "/field"}, 4, 9, nowMs);
  Select(kEditor, "/field", 4, 9);
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_FALSE(focused->Selected());
  EXPECT_EQ(2, focused->caretOffset);

  Select(kEditor, "/field", 4, 15);  // the user's, over it
  focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(4, focused->selectionStart);
  EXPECT_EQ(15, focused->selectionEnd);
}

TEST_F(FocusedTexts, AnObjectInAWebPageNamesItsDocumentAndLeavesItsTextToThePageRead) {
  Select(kBrowser, "/p", 2, 11);
  Note(Change::SelectionChanged, kBrowser, "/p");
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Ref(kBrowser, "/p"), focused->object);
  EXPECT_EQ(Ref(kBrowser, "/section"), focused->container);
  ASSERT_TRUE(focused->webDocument);
  EXPECT_EQ(Ref(kBrowser, "/doc"), *focused->webDocument);
  EXPECT_EQ(std::vector<AxRef>{Ref(kBrowser, "/doc")}, table.DocumentsOf(kBrowser))
      << "its changes are followed";
  EXPECT_EQ(static_cast<int32_t>(kBrowserPid), focused->pid);
  EXPECT_EQ(2, focused->selectionStart);
  EXPECT_EQ(11, focused->selectionEnd);
  EXPECT_TRUE(focused->text.empty());
  EXPECT_FALSE(focused->takesSelection);
  std::vector<std::string> calls = program.CallsTo(kBrowser);
  EXPECT_FALSE(Called(calls, "GetText")) << "a page's text can be long";
  EXPECT_FALSE(Called(calls, "SetSelection"));
  EXPECT_TRUE(Called(calls, "/doc GetRole"));
  EXPECT_FALSE(Called(calls, "/frame GetRole")) << "the walk up stops at the document";
  EXPECT_EQ(std::vector<AxRef>{Ref(kBrowser, "/section")}, focused->ancestors);
  EXPECT_FALSE(focused->selectionWithin) << "the section tells no selection of its own";

  // The section tells the selection as the one character that stands for the paragraph: the
  // selection lies in the paragraph alone. Two characters: it goes on into the next.
  Select(kBrowser, "/section", 0, 1);
  focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_TRUE(focused->selectionWithin);
  Select(kBrowser, "/section", 0, 2);
  EXPECT_FALSE(finder.Find(tracker)->selectionWithin);

  // The caret on the document itself.
  EXPECT_EQ(Ref(kBrowser, "/doc"), finder.Describe({kBrowser, "/doc"}, 0)->webDocument);
}

TEST_F(FocusedTexts, OutsideAWebPageNoDocumentIsNamedAndAParentLoopEnds) {
  Note(Change::CaretMoved, kEditor, "/field", 0);
  std::optional<FocusedText> focused = finder.Find(tracker);
  ASSERT_TRUE(focused);
  EXPECT_FALSE(focused->webDocument);
  EXPECT_TRUE(table.DocumentsOf(kEditor).empty());

  // A parent that names itself ends the walk all the same.
  program.Add(kEditor, "/loop", {.text = "round", .parent = "/loop"});
  focused = finder.Describe({kEditor, "/loop"}, -1);
  ASSERT_TRUE(focused);
  EXPECT_EQ(focused->object, focused->container);
  EXPECT_FALSE(focused->webDocument);
  EXPECT_EQ(u"round", focused->text);
}

TEST(SelectionsOf, TheFirstSelectionOfEachObjectThatHoldsOneInTheOrderGiven) {
  FakeProgram program(1);
  BusClient client(program.Connection());
  ObjectTable table;
  program.Add(kBrowser, "/heading",
              {.text = "Title", .role = ATSPI_ROLE_HEADING, .selectionStart = 2, .selectionEnd = 5});
  program.Add(kBrowser, "/figure", {.hasText = false, .role = ATSPI_ROLE_IMAGE});
  program.Add(kBrowser, "/p", {.text = "First words of the paragraph", .selectionEnd = 11});
  program.Add(kBrowser, "/caret", {.text = "Only a caret here", .selectionStart = 3, .selectionEnd = 3});
  auto ref = [&table](const char* path) { return table.Intern({kBrowser, path}); };
  std::vector<AxRef> objects{ref("/p"), ref("/figure"), ref("/caret"), ref("/gone"), ref("/heading")};

  std::vector<ObjectSelection> selections = SelectionsOf(client, table, objects, 1000);
  ASSERT_EQ(2U, selections.size());
  EXPECT_EQ(ref("/p"), selections[0].object);
  EXPECT_EQ(0, selections[0].startOffset);
  EXPECT_EQ(11, selections[0].endOffset);
  EXPECT_EQ(ref("/heading"), selections[1].object);
  EXPECT_EQ(2, selections[1].startOffset);
  EXPECT_EQ(5, selections[1].endOffset);

  EXPECT_TRUE(SelectionsOf(client, table, {ref("/caret"), ref("/figure")}, 1000).empty());
  EXPECT_TRUE(SelectionsOf(client, table, {}, 1000).empty());
}

TEST(CaretOf, TheInnermostObjectThatHoldsTheCaret) {
  FakeProgram program(1);
  BusClient client(program.Connection());
  ObjectTable table;
  // The section tells the caret too, at its paragraph's place; the objects after it hold none.
  program.Add(kBrowser, "/section", {.text = "**", .role = ATSPI_ROLE_SECTION, .caretOffset = 1});
  program.Add(kBrowser, "/p1", {.text = "Before", .parent = "/section"});
  program.Add(kBrowser, "/p2", {.text = "Where the user clicked", .parent = "/section", .caretOffset = 6});
  program.Add(kBrowser, "/p3", {.text = "After", .parent = "/section"});
  auto ref = [&table](const char* path) { return table.Intern({kBrowser, path}); };

  std::optional<ObjectSelection> caret =
      CaretOf(client, table, {ref("/section"), ref("/p1"), ref("/p2"), ref("/gone"), ref("/p3")}, 1000);
  ASSERT_TRUE(caret);
  EXPECT_EQ(ref("/p2"), caret->object);
  EXPECT_EQ(6, caret->startOffset);
  EXPECT_EQ(6, caret->endOffset);

  EXPECT_FALSE(CaretOf(client, table, {ref("/p1"), ref("/p3"), ref("/gone")}, 1000));
  EXPECT_FALSE(CaretOf(client, table, {}, 1000));
}

}  // namespace
}  // namespace lectryn::accessibility::atspi
