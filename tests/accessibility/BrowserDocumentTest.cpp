// Browser documents: the page contract over a snapshot, with geometry, selection and scrolling
// sent to the browser through the bridge.
#include <gtest/gtest.h>

#include "AxFixtures.h"
#include "accessibility/BrowserDocument.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::accessibility {
namespace {

using testing::Box;
using testing::ChromiumParagraph;
using testing::FakeBridge;
using testing::Hidden;
using testing::Texted;
using Call = FakeBridge::Call;

constexpr platform::POINTAPI kClientOrigin{100, 50};

// Body 1: a Chromium paragraph (10, link 11), a section (20) holding a password field (21) and
// a hidden note (22), and a table (30) with a row (31) and a cell (32).
AxNode Page() {
  AxNode password = Texted(AxRole::Password, 21, "\u2022\u2022\u2022\u2022\u2022\u2022");
  AxNode section = Texted(AxRole::Section, 20, "Pin: * Done *", {0, 1},
                          {std::move(password), Hidden(Texted(AxRole::Other, 22, "note"))});
  AxNode table = Box(AxRole::Table, 30, {Box(AxRole::Row, 31, {Texted(AxRole::Cell, 32, "cell")})});
  return Box(AxRole::Document, 1,
             {ChromiumParagraph(10, "The first paragraph has ", "a link inside", " and more words after it."),
              std::move(section), std::move(table)});
}

class BrowserDocuments : public ::testing::Test {
 protected:
  std::shared_ptr<FakeBridge> bridge_ = std::make_shared<FakeBridge>();
  std::shared_ptr<BrowserDocument> document_ =
      BrowserDocument::Create(Page(), bridge_, u"https://example.test/page", [] { return kClientOrigin; });

  platform::TxtRangePtr Found(const std::u16string& text) {
    auto range = document_->body()->createTextRange();
    EXPECT_TRUE(range->findText(text, 1, 0));
    return range;
  }
};

TEST_F(BrowserDocuments, WordByWordSelectsEachWordInItsOwnObject) {
  auto range = document_->body()->createTextRange();
  auto end = range->duplicate();
  end->findText(u"after", 1, 0);
  range->collapse(true);
  std::vector<std::string> words;
  while (range->compareEndPoints(u"StartToStart", *end) < 0) {
    auto word = range->duplicate();
    word->moveEnd(u"word", 1);
    word->select();
    words.push_back(platform::ToUtf8(word->text()));
    range->move(u"word", 1);
  }
  EXPECT_EQ((std::vector<std::string>{"The ", "first ", "paragraph ", "has ", "a ", "link ", "inside ",
                                      "and ", "more ", "words "}),
            words);
  EXPECT_EQ((std::vector<Call>{{10, 0, 4},
                               {10, 4, 10},
                               {10, 10, 20},
                               {10, 20, 24},
                               {11, 0, 2},
                               {11, 2, 7},
                               {11, 7, 13},  // "inside " ends in the paragraph: only the link's part
                               {10, 26, 30},
                               {10, 30, 35},
                               {10, 35, 41}}),
            bridge_->selects);
}

TEST_F(BrowserDocuments, SelectionKeepsTheEngineDocumentInStep) {
  auto word = Found(u"link");
  ASSERT_TRUE(word->execCommand(u"SELECTALL", false));
  EXPECT_EQ(u"link", document_->Snapshot().Document()->SelectedText());
  EXPECT_EQ((std::vector<Call>{{11, 2, 6}}), bridge_->selects);
}

TEST_F(BrowserDocuments, PasswordNeverInTheTextNorSelected) {
  auto all = document_->body()->createTextRange();
  std::u16string text = all->text();
  EXPECT_EQ(std::u16string::npos, text.find(u'\u2022'));
  EXPECT_EQ(std::u16string::npos, text.find(u"note"));
  auto around = Found(u"Pin:  Done");
  around->select();
  EXPECT_EQ((std::vector<Call>{{20, 0, 11}}), bridge_->selects);
}

// What the browser has selected, or where its caret is, becomes a range of the page.
TEST_F(BrowserDocuments, RangesAtTheBrowsersOwnOffsets) {
  EXPECT_EQ(u"paragraph has a link", document_->RangeAt(10, 10, 26)->text().substr(0, 20));
  EXPECT_EQ(u"link", document_->RangeAt(11, 2, 6)->text());
  auto caret = document_->RangeAt(10, 4, 4);
  EXPECT_TRUE(caret->text().empty());
  caret->moveEnd(u"word", 1);
  EXPECT_EQ(u"first ", caret->text());
  EXPECT_EQ(nullptr, document_->RangeAt(22, 0, 2));  // the hidden note made no text
}

TEST_F(BrowserDocuments, RangeWithoutTextSelectsNothingInTheBrowser) {
  auto range = document_->body()->createTextRange();
  range->collapse(false);
  range->select();
  EXPECT_TRUE(bridge_->selects.empty());
}

TEST_F(BrowserDocuments, ScrollIntoViewGoesToTheStartObject) {
  Found(u"words")->scrollIntoView(true);
  Found(u"cell")->scrollIntoView(false);
  EXPECT_EQ((std::vector<Call>{{10, 35, 40}, {32, 0, 4}}), bridge_->scrolls);
}

struct PointCase {
  const char* name;
  std::vector<AxRef> chain;
  const char* nodeName;   // "" for Nothing
  std::string textStart;  // the element's innerText starts so
};

void PrintTo(const PointCase& c, std::ostream* out) {
  *out << c.name;
}

class ElementsFromPoint : public BrowserDocuments, public ::testing::WithParamInterface<PointCase> {};

TEST_P(ElementsFromPoint, FirstObjectThatMadeAnElement) {
  bridge_->chains[{100 + 7, 50 + 9}] = GetParam().chain;
  auto element = document_->elementFromPoint(7, 9);
  if (GetParam().nodeName[0] == 0) {
    EXPECT_EQ(nullptr, element);
    return;
  }
  ASSERT_NE(nullptr, element);
  EXPECT_EQ(platform::FromUtf8(GetParam().nodeName), element->nodeName());
  EXPECT_EQ(0U, element->innerText().find(platform::FromUtf8(GetParam().textStart))) << GetParam().textStart;
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ElementsFromPoint,
    ::testing::Values(
        PointCase{"TextLeafGivesItsParagraph", {13, 10, 1}, "P", "The first"},
        PointCase{"LinkLeafGivesTheLink", {12, 11, 10, 1}, "A", "a link inside"},
        PointCase{"PasswordGivesItsSection", {21, 20, 1}, "DIV", "Pin:  Done "},
        PointCase{"HiddenGivesItsSection", {22, 20, 1}, "DIV", "Pin:  Done "},
        PointCase{"CellOfTable", {32, 31, 30, 1}, "TD", "cell"},
        PointCase{"DocumentAloneGivesTheBody",
                  {1},
                  "BODY",
                  "The first paragraph has a link inside and more words after it.\r\nPin:  Done \r\ncell"},
        PointCase{"NothingUnderThePoint", {}, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserDocuments, GeometryFromTheBrowserInClientCoordinates) {
  bridge_->extents[11] = {140, 90, 60, 16};
  bridge_->extents[30] = {110, 300, 500, 40};
  auto link = document_->body()->createTextRange();
  link->findText(u"link", 1, 0);
  auto element = link->parentElement();
  ASSERT_EQ(u"A", element->nodeName());
  EXPECT_EQ((std::vector<int32_t>{40, 40, 60, 16}),
            (std::vector<int32_t>{element->offsetLeft(), element->offsetTop(), element->offsetWidth(),
                                  element->offsetHeight()}));
  EXPECT_EQ(nullptr, element->offsetParent());
  EXPECT_EQ(0, element->scrollTop());
  // Elements the parser made (the html element) answer with the nearest object's box.
  bridge_->extents[1] = {100, 50, 800, 600};
  EXPECT_EQ(800, document_->documentElement()->offsetWidth());
  EXPECT_EQ(0, document_->documentElement()->offsetLeft());
  // Wrapped elements go back into the engine's ranges.
  auto range = Found(u"The");
  range->moveToElementText(*element);
  EXPECT_EQ(u"a link inside", range->text());
}

TEST_F(BrowserDocuments, ReadyStateUrlAndBridgeFailures) {
  EXPECT_EQ(u"complete", document_->readyState());
  bridge_->busy = true;
  EXPECT_EQ(u"loading", document_->readyState());
  EXPECT_EQ(u"https://example.test/page", document_->URL());
  bridge_->failing = true;
  EXPECT_THROW(document_->readyState(), platform::Failure);
  EXPECT_THROW(document_->elementFromPoint(1, 1), platform::Failure);
  EXPECT_THROW(Found(u"link")->select(), platform::Failure);
  EXPECT_THROW(document_->body()->offsetTop(), platform::Failure);
}

TEST_F(BrowserDocuments, RangesAndElementsOfAnotherPageRefused) {
  auto other =
      BrowserDocument::Create(Page(), bridge_, u"https://example.test/other", [] { return kClientOrigin; });
  auto mine = document_->body()->createTextRange();
  auto theirs = other->body()->createTextRange();
  EXPECT_THROW(mine->compareEndPoints(u"StartToStart", *theirs), platform::Failure);
  EXPECT_THROW(mine->setEndPoint(u"EndToEnd", *theirs), platform::Failure);
  EXPECT_THROW(mine->moveToElementText(*other->body()), platform::Failure);
  EXPECT_THROW(document_->body()->insertAdjacentHTML(u"beforeend", u"<p>x</p>"), platform::Failure);
}

TEST_F(BrowserDocuments, DiscardedDocumentFailsEverywhere) {
  auto body = document_->body();
  auto range = body->createTextRange();
  document_->Discard();
  EXPECT_THROW(document_->body(), platform::Failure);
  EXPECT_THROW(document_->readyState(), platform::Failure);
  EXPECT_THROW(body->offsetLeft(), platform::Failure);
  EXPECT_THROW(body->scrollTop(), platform::Failure);
  EXPECT_THROW(range->text(), platform::Failure);
  EXPECT_THROW(range->select(), platform::Failure);
  EXPECT_TRUE(bridge_->selects.empty());
}

// Each piece is spoken in the language the browser gives its object; what says nothing takes
// its container's, and a tag that is not one is left out.
TEST(BrowserDocumentLanguages, ElementsSpeakTheLanguageTheirObjectsGive) {
  AxNode french =
      Texted(AxRole::Paragraph, 10, "Bonjour * encore", {0}, {Texted(AxRole::Link, 11, "le monde")});
  french.language = u"fr";
  AxNode plain = Texted(AxRole::Paragraph, 20, "Hello");
  AxNode odd = Texted(AxRole::Paragraph, 30, "Odd");
  odd.language = u"en\" onclick=\"x";
  AxNode page = Box(AxRole::Document, 1, {std::move(french), std::move(plain), std::move(odd)});
  page.language = u"en-GB";
  auto document = BrowserDocument::Create(page, std::make_shared<FakeBridge>(), u"https://example.test/",
                                          [] { return platform::POINTAPI{}; });
  auto languageOf = [&](const std::u16string& text) {
    auto range = document->body()->createTextRange();
    EXPECT_TRUE(range->findText(text, 1, 0));
    return platform::ToUtf8(range->parentElement()->language());
  };
  EXPECT_EQ(languageOf(u"Bonjour"), "fr");
  EXPECT_EQ(languageOf(u"le monde"), "fr") << "a link inside takes its paragraph's";
  EXPECT_EQ(languageOf(u"Hello"), "en-GB") << "the page's";
  EXPECT_EQ(languageOf(u"Odd"), "en-GB") << "not a tag: left out";
}

}  // namespace
}  // namespace lectryn::accessibility
