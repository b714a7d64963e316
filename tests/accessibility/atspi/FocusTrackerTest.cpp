// Which text objects the user last went to, as the bus's focus, caret and selection events tell,
// with the events our own highlight causes left out.
#include "accessibility/atspi/FocusTracker.h"

#include <gtest/gtest.h>

#include <string>

namespace lectryn::accessibility::atspi {
namespace {

using Change = FocusTracker::Change;

constexpr const char* kEditor = ":1.20";
constexpr const char* kBrowser = ":1.30";

BusObject In(const char* busName, const std::string& path) {
  return {busName, path};
}

// Newest first: "[path caret]" each, the caret "-" when unknown.
std::string Dump(const FocusTracker& tracker) {
  std::string dump;
  for (const TrackedText& tracked : tracker.Recent()) {
    dump += "[" + tracked.object.path + " ";
    dump += tracked.caretOffset >= 0 ? std::to_string(tracked.caretOffset) : "-";
    dump += "]";
  }
  return dump;
}

TEST(FocusTrackerOrder, NewestFirstAndTheSameObjectMovesToTheFront) {
  FocusTracker tracker;
  tracker.Note(Change::Focused, In(kEditor, "/a"), 1, 100);
  tracker.Note(Change::Focused, In(kEditor, "/b"), 1, 200);
  tracker.Note(Change::CaretMoved, In(kBrowser, "/c"), 3, 300);
  EXPECT_EQ("[/c 3][/b -][/a -]", Dump(tracker));

  tracker.Note(Change::SelectionChanged, In(kEditor, "/a"), 0, 400);
  EXPECT_EQ("[/a -][/c 3][/b -]", Dump(tracker));
  EXPECT_EQ(400, tracker.Recent().front().atMs);

  // The same path in another program is another object.
  tracker.Note(Change::Focused, In(kBrowser, "/a"), 1, 500);
  EXPECT_EQ("[/a -][/a -][/c 3][/b -]", Dump(tracker));
  EXPECT_EQ(kBrowser, tracker.Recent().front().object.name);
}

TEST(FocusTrackerOrder, KeepsOnlyTheNewestObjects) {
  FocusTracker tracker;
  for (size_t i = 0; i <= FocusTracker::kKept; ++i)
    tracker.Note(Change::Focused, In(kEditor, "/" + std::to_string(i)), 1, static_cast<int64_t>(i));
  ASSERT_EQ(FocusTracker::kKept, tracker.Recent().size());
  EXPECT_EQ("/" + std::to_string(FocusTracker::kKept), tracker.Recent().front().object.path);
  EXPECT_EQ("/1", tracker.Recent().back().object.path) << "the oldest left";
}

TEST(FocusTrackerOrder, LosingFocusAndNullObjectsAreNoNews) {
  FocusTracker tracker;
  tracker.Note(Change::Focused, In(kEditor, "/a"), 1, 100);
  tracker.Note(Change::Focused, In(kEditor, "/b"), 1, 200);
  tracker.Note(Change::Focused, In(kEditor, "/a"), 0, 300);
  tracker.Note(Change::Focused, In(kEditor, "/org/a11y/atspi/null"), 1, 400);
  tracker.Note(Change::CaretMoved, In("", "/c"), 2, 500);
  EXPECT_EQ("[/b -][/a -]", Dump(tracker));
}

TEST(FocusTrackerCaret, TheLastCaretMoveOfAnObjectIsKeptWhenItIsNotedAgain) {
  FocusTracker tracker;
  tracker.Note(Change::CaretMoved, In(kEditor, "/a"), 7, 100);
  tracker.Note(Change::Focused, In(kEditor, "/b"), 1, 200);
  tracker.Note(Change::Focused, In(kEditor, "/a"), 1, 300);
  EXPECT_EQ("[/a 7][/b -]", Dump(tracker)) << "focus again keeps where the caret was";
  tracker.Note(Change::SelectionChanged, In(kEditor, "/a"), 0, 400);
  EXPECT_EQ("[/a 7][/b -]", Dump(tracker)) << "a selection's detail is no caret";
  tracker.Note(Change::CaretMoved, In(kEditor, "/a"), 12, 500);
  tracker.Note(Change::CaretMoved, In(kEditor, "/a"), -1, 600);
  EXPECT_EQ("[/a 12][/b -]", Dump(tracker)) << "a caret move without an offset keeps the last";
  tracker.Note(Change::CaretMoved, In(kEditor, "/b"), 0, 700);
  EXPECT_EQ("[/b 0][/a 12]", Dump(tracker)) << "offset 0 is a caret";
}

// Our highlight selects [4, 9) of /p in the browser; the browser then tells of caret and
// selection changes there and in the objects around it.
class FocusTrackerEcho : public ::testing::Test {
 protected:
  static constexpr int64_t kOwnAtMs = 1000;
  FocusTracker tracker;
  void SetUp() override {
    tracker.Note(Change::CaretMoved, In(kEditor, "/field"), 5, 10);
    tracker.Own(In(kBrowser, "/p"), 4, 9, kOwnAtMs);
  }
};

TEST_F(FocusTrackerEcho, WithinTheEchoTimeNothingOfThatProgramCountsButFocus) {
  int64_t soon = kOwnAtMs + FocusTracker::kEchoMs - 1;
  tracker.Note(Change::CaretMoved, In(kBrowser, "/p"), 6, soon);
  tracker.Note(Change::SelectionChanged, In(kBrowser, "/p"), 0, soon);
  tracker.Note(Change::CaretMoved, In(kBrowser, "/link"), 0, soon);
  tracker.Note(Change::SelectionChanged, In(kBrowser, "/link"), 0, soon);
  EXPECT_EQ("[/field 5]", Dump(tracker));

  tracker.Note(Change::CaretMoved, In(kEditor, "/other"), 3, soon);
  EXPECT_EQ("[/other 3][/field 5]", Dump(tracker)) << "another program is the user's";
  tracker.Note(Change::Focused, In(kBrowser, "/entry"), 1, soon);
  EXPECT_EQ("[/entry -][/other 3][/field 5]", Dump(tracker)) << "a highlight moves no focus";
}

TEST_F(FocusTrackerEcho, AfterTheEchoTimeOnlyTheHighlightsOwnOffsetsThereAreOurs) {
  int64_t later = kOwnAtMs + FocusTracker::kEchoMs;
  tracker.Note(Change::CaretMoved, In(kBrowser, "/p"), 4, later);
  tracker.Note(Change::CaretMoved, In(kBrowser, "/p"), 9, later);
  tracker.Note(Change::SelectionChanged, In(kBrowser, "/p"), 0, later);
  EXPECT_EQ("[/field 5]", Dump(tracker));

  tracker.Note(Change::CaretMoved, In(kBrowser, "/link"), 4, later);
  EXPECT_EQ("[/link 4][/field 5]", Dump(tracker)) << "the objects around it are the user's again";
  tracker.Note(Change::CaretMoved, In(kBrowser, "/p"), 20, later + 1);
  EXPECT_EQ("[/p 20][/link 4][/field 5]", Dump(tracker)) << "a click elsewhere in it is the user's";
}

TEST_F(FocusTrackerEcho, TheLastTwoHighlightsAreOwnAndEcho) {
  EXPECT_TRUE(tracker.IsOwn(In(kBrowser, "/p"), 4, 9));
  EXPECT_FALSE(tracker.IsOwn(In(kBrowser, "/p"), 4, 10));
  EXPECT_FALSE(tracker.IsOwn(In(kBrowser, "/link"), 4, 9));
  EXPECT_TRUE(tracker.IsOwnCaret(In(kBrowser, "/p"), 9));
  EXPECT_TRUE(tracker.IsOwnCaret(In(kBrowser, "/p"), 4));
  EXPECT_FALSE(tracker.IsOwnCaret(In(kBrowser, "/p"), 5)) << "a click inside the word is the user's";

  int64_t later = kOwnAtMs + 10 * FocusTracker::kEchoMs;
  tracker.Own(In(kBrowser, "/q"), 0, 3, later);
  EXPECT_TRUE(tracker.IsOwn(In(kBrowser, "/p"), 4, 9)) << "the browser may still hold it while the next is set";
  EXPECT_TRUE(tracker.IsOwn(In(kBrowser, "/q"), 0, 3));

  // Late events of the highlight before are still ours, until two more came after it.
  int64_t afterEcho = later + FocusTracker::kEchoMs;
  tracker.Note(Change::CaretMoved, In(kBrowser, "/p"), 9, afterEcho);
  EXPECT_EQ("[/field 5]", Dump(tracker));
  tracker.Own(In(kBrowser, "/r"), 0, 3, afterEcho);
  EXPECT_FALSE(tracker.IsOwn(In(kBrowser, "/p"), 4, 9));
  EXPECT_FALSE(tracker.IsOwnCaret(In(kBrowser, "/p"), 9));
  tracker.Note(Change::CaretMoved, In(kBrowser, "/p"), 9, afterEcho + FocusTracker::kEchoMs);
  EXPECT_EQ("[/p 9][/field 5]", Dump(tracker));
}

}  // namespace
}  // namespace lectryn::accessibility::atspi
