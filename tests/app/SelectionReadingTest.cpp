// Reading what the user selected in another program: the ranges made of its selection or caret,
// and what is read when no program tells of one.
#include "app/SelectionReading.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "accessibility/AxFixtures.h"
#include "accessibility/BrowserRange.h"
#include "engine/PageText.h"
#include "windows/MainWindowPlatform.h"

namespace lectryn::app {
namespace {

using accessibility::AxNode;
using accessibility::AxRole;
using accessibility::BrowserDocument;
using accessibility::atspi::ObjectSelection;
using accessibility::testing::Box;
using accessibility::testing::ChromiumParagraph;
using accessibility::testing::FakeBridge;
using accessibility::testing::Hidden;
using accessibility::testing::Texted;
using Call = FakeBridge::Call;

// The page's story with the range's "[" and "]" (or "|" for a caret).
std::string Marked(const platform::TxtRangePtr& range) {
  if (!range) return "(none)";
  return engine::testing::Marked(dynamic_cast<accessibility::BrowserRange&>(*range).Engine());
}

// Document 1: a paragraph (10), a Chromium paragraph with a link (20, link 21), a hidden note
// (30) and a last paragraph (40).
AxNode Page() {
  return Box(
      AxRole::Document, 1,
      {Texted(AxRole::Paragraph, 10, "First one here."), ChromiumParagraph(20, "Then ", "a link", " in it."),
       Hidden(Texted(AxRole::Paragraph, 30, "note")), Texted(AxRole::Paragraph, 40, "Last.")});
}

class PageSelections : public ::testing::Test {
 protected:
  std::shared_ptr<FakeBridge> bridge_ = std::make_shared<FakeBridge>();
  std::shared_ptr<BrowserDocument> document_ = BrowserDocument::Create(Page(), bridge_, {}, {});
};

TEST_F(PageSelections, ACaretReadsToTheEndOfItsParagraphOnly) {
  EXPECT_EQ("First [one here.]\nThen a link in it.\nLast.",
            Marked(ToEndOfElement(document_->RangeAt(10, 6, 6))));
  EXPECT_EQ("First one here.\nThen a link in it.\nLast[.]",
            Marked(ToEndOfElement(document_->RangeAt(40, 4, 4))));
  EXPECT_EQ("First one here.\nThen a link in it.\n[Last.]",
            Marked(ToEndOfElement(document_->RangeAt(40, 0, 0))));
  EXPECT_EQ("First [one here.]\nThen a link in it.\nLast.",
            Marked(ToEndOfElement(document_->RangeAt(10, 8, 8))))
      << "a click inside a word reads the whole word";
  EXPECT_EQ("First one here.\nThen a link in it.\n[Last.]",
            Marked(ToEndOfElement(document_->RangeAt(40, 2, 2))));
  EXPECT_EQ(nullptr, ToEndOfElement(nullptr));
}

// The browser puts a caret right after a link at the link's end, or after it in the paragraph.
TEST_F(PageSelections, ACaretRightAfterALinkReadsTheRestOfItsParagraph) {
  EXPECT_EQ("First one here.\nThen a link[ in it.]\nLast.",
            Marked(ToEndOfElement(document_->RangeAt(21, 6, 6))));
  EXPECT_EQ("First one here.\nThen a link[ in it.]\nLast.",
            Marked(ToEndOfElement(document_->RangeAt(20, 6, 6))));
  EXPECT_EQ("First one here.\nThen a [link] in it.\nLast.",
            Marked(ToEndOfElement(document_->RangeAt(21, 2, 2))))
      << "within the link, the link";
  EXPECT_EQ("First one here.\nThen a link in it.|\nLast.",
            Marked(ToEndOfElement(document_->RangeAt(20, 13, 13))))
      << "a paragraph's end reads nothing of the next";
}

TEST_F(PageSelections, TheSelectionsOfSeveralObjectsSpanFromTheFirstStartToTheLastEnd) {
  struct Case {
    const char* name;
    std::vector<ObjectSelection> selections;
    const char* marked;
  };
  for (const Case& c :
       std::vector<Case>{{"one object", {{10, 6, 9}}, "First [one] here.\nThen a link in it.\nLast."},
                         {"over two paragraphs",
                          {{10, 10, 15}, {20, 0, 3}},
                          "First one [here.\nThe]n a link in it.\nLast."},
                         {"the link's end after its paragraph's",
                          {{20, 0, 5}, {21, 0, 3}},
                          "First one here.\n[Then a l]ink in it.\nLast."},
                         {"told out of the page's order",
                          {{40, 0, 4}, {21, 2, 6}, {10, 6, 9}},
                          "First [one here.\nThen a link in it.\nLast]."},
                         {"a hidden object's left out",
                          {{30, 0, 2}, {21, 2, 6}},
                          "First one here.\nThen a [link] in it.\nLast."},
                         {"none in the page", {{30, 0, 2}}, "(none)"},
                         {"none at all", {}, "(none)"}}) {
    EXPECT_EQ(c.marked, Marked(SpanOfSelections(*document_, c.selections))) << c.name;
  }
}

// The text of one object of another program as a page: the object is its only paragraph.
class OneObject : public ::testing::Test {
 protected:
  static constexpr accessibility::AxRef kContainer = 7;
  static constexpr accessibility::AxRef kObject = 8;
  std::shared_ptr<BrowserDocument> Document(const std::u16string& text) {
    return BrowserDocument::Create(OneObjectPage(kContainer, kObject, text), bridge_, {}, {});
  }
  std::shared_ptr<FakeBridge> bridge_ = std::make_shared<FakeBridge>();
};

TEST_F(OneObject, EachWordReadIsSelectedInTheObjectAtItsOwnOffsets) {
  auto document = Document(u"The quick brown fox");
  auto range = document->RangeAt(kObject, 4, 19);
  ASSERT_TRUE(range);
  EXPECT_EQ("The [quick brown fox]", Marked(range));
  range->collapse(true);
  for (int word = 0; word < 2; ++word) {
    auto spoken = range->duplicate();
    spoken->moveEnd(u"word", 1);
    spoken->select();
    range->move(u"word", 1);
  }
  EXPECT_EQ((std::vector<Call>{{kObject, 4, 10}, {kObject, 10, 16}}), bridge_->selects);
}

// An object without a parent is its own page's container too.
TEST_F(OneObject, AnObjectThatIsItsOwnContainerIsStillTheParagraph) {
  auto document =
      BrowserDocument::Create(OneObjectPage(kObject, kObject, u"The quick brown fox"), bridge_, {}, {});
  auto word = document->RangeAt(kObject, 4, 9);
  ASSERT_TRUE(word);
  EXPECT_EQ(u"quick", word->text());
  word->select();
  EXPECT_EQ((std::vector<Call>{{kObject, 4, 9}}), bridge_->selects);
  EXPECT_EQ(u"brown fox", ToEndOfElement(document->RangeAt(kObject, 10, 10))->text());
}

TEST_F(OneObject, OffsetsCountCharactersAsTheProgramDoes) {
  auto document = Document(u"A \U0001F600 smile and more");  // the emoji is one character, two UTF-16 units
  EXPECT_EQ(u"smile", document->RangeAt(kObject, 4, 9)->text());
  document->RangeAt(kObject, 4, 9)->select();
  EXPECT_EQ((std::vector<Call>{{kObject, 4, 9}}), bridge_->selects);
  EXPECT_EQ(u"and more", ToEndOfElement(document->RangeAt(kObject, 10, 10))->text());
}

TEST_F(OneObject, ACaretOnALaterLineReadsFromThereToTheEndOfTheText) {
  auto document = Document(u"one two\nthree four\nfive");
  EXPECT_EQ(u"three", document->RangeAt(kObject, 8, 13)->text());
  auto rest = ToEndOfElement(document->RangeAt(kObject, 14, 14));
  ASSERT_TRUE(rest);
  EXPECT_EQ(std::u16string::npos, rest->text().find(u"three"));
  EXPECT_EQ(0U, rest->text().find(u"four"));
  EXPECT_NE(std::u16string::npos, rest->text().find(u"five"));
}

// Without the accessibility bus: the desktop's primary selection, else the clipboard, else a
// message saying what to do.
struct DesktopCase {
  const char* name;
  const char16_t* primary;  // nullptr: the desktop has none to give
  const char16_t* clipboard;
  const char16_t* read;  // in the text-to-speech window; nullptr: nothing read
  bool clipboardAsked;
};

void PrintTo(const DesktopCase& c, std::ostream* os) {
  *os << c.name;
}

class DesktopSelection : public ::testing::TestWithParam<DesktopCase>, public testing::MainWindowPlatform {
 protected:
  std::unique_ptr<windows::main::frmMain> main_ = MakeMain();
  std::vector<std::string> notes_;
  bool clipboardAsked_ = false;
};

TEST_P(DesktopSelection, PrimaryThenClipboardThenTheMessage) {
  const DesktopCase& c = GetParam();
  main_->Show();
  SelectionReading::Desktop desktop;
  if (c.primary != nullptr) desktop.primarySelection = [&c] { return std::u16string(c.primary); };
  desktop.clipboard = [this, &c] {
    clipboardAsked_ = true;
    return std::u16string(c.clipboard);
  };
  desktop.note = [this](const std::string& note) { notes_.push_back(note); };
  SelectionReading(*main_, dialogs, nullptr, desktop).Read();

  EXPECT_EQ(c.clipboardAsked, clipboardAsked_);
  EXPECT_EQ(c.clipboardAsked, !notes_.empty()) << "the primary selection's absence is noted";
  if (c.read != nullptr) {
    ASSERT_TRUE(main_->speechWindow);
    EXPECT_TRUE(main_->speechWindow->Visible());
    EXPECT_EQ(c.read, main_->speechWindow->tbTextToSpeech.Text());
    EXPECT_TRUE(dialogs.Calls().empty());
  } else {
    EXPECT_FALSE(main_->speechWindow);
    ASSERT_EQ(1U, dialogs.Calls().size());
    EXPECT_EQ(SelectionReading::kNothingToRead, dialogs.Calls()[0].text);
    EXPECT_EQ(platform::vbOKOnly, dialogs.Calls()[0].buttons);
  }
}

INSTANTIATE_TEST_SUITE_P(
    SelectionReading, DesktopSelection,
    ::testing::Values(DesktopCase{"Primary", u"selected\nhere", u"copied", u"selected\r\nhere", false},
                      DesktopCase{"PrimaryLinesKept", u"a\r\nb\n", u"", u"a\r\nb\r\n", false},
                      DesktopCase{"BlankPrimary", u" \n\u00A0\t", u"copied", u"copied", true},
                      DesktopCase{"NoPrimary", nullptr, u"copied", u"copied", true},
                      DesktopCase{"NothingAnywhere", u"", u" \r\n", nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lectryn::app
