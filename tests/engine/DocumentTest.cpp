// Documents and elements: the tree as the page contracts show it, insertions, discarding,
// frames, and the selection and scroll state a view observes.
#include <gtest/gtest.h>

#include "PageText.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

using testing::Marked;
using testing::Page;
using testing::RangeAt;

TEST(Elements, NamesIdsAndTree) {
  auto page = Page("<title>T</title><p id=a>x</p><my-tag id=b></my-tag>");
  EXPECT_EQ(u"HTML", page->documentElement()->nodeName());
  EXPECT_EQ(u"BODY", page->body()->nodeName());
  EXPECT_EQ(u"P", page->getElementById(u"a")->nodeName());
  EXPECT_EQ(u"MY-TAG", page->getElementById(u"b")->nodeName());
  EXPECT_EQ(u"a", page->getElementById(u"a")->id());
  EXPECT_EQ(u"", page->body()->id());
  EXPECT_EQ(nullptr, page->getElementById(u"missing"));
  EXPECT_EQ(u"complete", page->readyState());
  EXPECT_EQ(u"test:page", page->URL());
  page->SetReadyState(u"interactive");
  EXPECT_EQ(u"interactive", page->readyState());
}

TEST(Elements, InnerTextFollowsTheTextModel) {
  auto page = Page(
      "<head><title id=t>Ti  tle</title></head><div id=d><p>one</p><p>two  <b>three</b></p></div>"
      "<div id=h style='display:none'>x <b>y</b><span style='display:none'>no</span></div>"
      "<p id=v><span id=ver>1.0.0</span></p>");
  EXPECT_EQ(u"one\r\ntwo three", page->getElementById(u"d")->innerText());
  EXPECT_EQ(u"x y", page->getElementById(u"h")->innerText()) << "not rendered: its own subtree";
  EXPECT_EQ(u"1.0.0", page->getElementById(u"ver")->innerText());
  EXPECT_EQ(u"Ti tle", page->getElementById(u"t")->innerText());
  auto objects = Page("<p><button id=b>Press  me</button><img id=i></p>");
  EXPECT_EQ(u"Press me", objects->getElementById(u"b")->innerText());
  EXPECT_EQ(u"", objects->getElementById(u"i")->innerText());
  EXPECT_EQ(page->BodyText(), page->documentElement()->innerText());
}

TEST(Elements, BodyOnlyOperationsFailElsewhere) {
  auto page = Page("<p id=p>x</p>");
  auto p = page->getElementById(u"p");
  EXPECT_THROW(p->createTextRange(), platform::Failure);
  EXPECT_THROW(p->insertAdjacentHTML(u"afterbegin", u"y"), platform::Failure);
  EXPECT_THROW(p->put_topMargin(0), platform::Failure);
  EXPECT_THROW(p->contentWindow(), platform::Failure);
  page->body()->put_topMargin(0);
  page->body()->put_leftMargin(3);
  EXPECT_EQ(0, page->TopMarginPixels());
  EXPECT_EQ(3, page->LeftMarginPixels());
}

TEST(InsertAdjacentHtml, InsertsAtTheStartOfTheBody) {
  auto page = Page("<p>old</p>");
  page->body()->insertAdjacentHTML(u"afterbegin", u"<p>new</p>");
  EXPECT_EQ(u"new\r\nold", page->BodyText());
  page->body()->insertAdjacentHTML(u"beforeend", u"end");
  EXPECT_EQ(u"new\r\nold\r\nend", page->BodyText());
  EXPECT_THROW(page->body()->insertAdjacentHTML(u"beforebegin", u"x"), platform::Failure);
}

TEST(InsertAdjacentHtml, FragmentIsParsedAsBodyContent) {
  auto page = Page("");
  page->body()->insertAdjacentHTML(u"afterbegin", u"<td>cell</td><title>t</title><li>item");
  EXPECT_EQ(u"cell\r\nitem", page->BodyText()) << "td outside a table is only its text";
}

TEST(InsertAdjacentHtml, LiveRangesKeepTheirPositions) {
  auto page = Page("<p>abcdef</p>");
  auto range = RangeAt(page, "abc[def]");
  auto body = page->body();
  body->insertAdjacentHTML(u"afterbegin", u"<p>x</p>");
  EXPECT_EQ(u"x\r\nabcdef", page->BodyText());
  EXPECT_EQ("x\na[bcd]ef", Marked(*range)) << "positions stay, the text moved under them";
  EXPECT_EQ(u"BODY", body->nodeName()) << "elements taken before stay usable";
}

TEST(InsertAdjacentHtml, RangesAreClampedWhenTheModelShrinks) {
  auto page = Page("<p>abcdef</p><div>gh</div>");
  auto range = RangeAt(page, "abcdef\ng[h]");
  page->body()->insertAdjacentHTML(u"afterbegin", u"<style>p { display: none }</style>z");
  EXPECT_EQ(u"z\r\ngh", page->BodyText());
  EXPECT_EQ("z\ngh|", Marked(*range));
  EXPECT_EQ(-1, range->moveStart(u"character", -1));
  EXPECT_EQ("z\ng[h]", Marked(*range));
}

TEST(Discard, EveryLaterCallFails) {
  auto page = Page("<p id=p>one two</p><iframe id=f></iframe>");
  auto body = page->body();
  auto p = page->getElementById(u"p");
  auto range = body->createTextRange();
  auto frame = Page("<p>inner</p>");
  page->AttachFrameDocument(page->getElementById(u"f"), frame);
  auto window = page->getElementById(u"f")->contentWindow();
  page->Discard();
  EXPECT_TRUE(page->Discarded());
  EXPECT_THROW(page->body(), platform::Failure);
  EXPECT_THROW(page->readyState(), platform::Failure);
  EXPECT_THROW(page->BodyText(), platform::Failure);
  EXPECT_THROW(p->innerText(), platform::Failure);
  EXPECT_THROW(p->nodeName(), platform::Failure);
  EXPECT_THROW(body->createTextRange(), platform::Failure);
  EXPECT_THROW(range->duplicate(), platform::Failure);
  EXPECT_THROW(range->moveEnd(u"word", 1), platform::Failure);
  EXPECT_THROW(range->text(), platform::Failure);
  EXPECT_THROW(range->findText(u"one", 1, 0), platform::Failure);
  EXPECT_THROW(range->execCommand(u"SELECTALL", false), platform::Failure);
  EXPECT_THROW(window->document(), platform::Failure);
  EXPECT_TRUE(frame->Discarded()) << "a frame's document goes with its page";
}

TEST(Discard, RangeOfALiveDocumentRejectsADiscardedOne) {
  auto page = Page("<p>a</p>");
  auto gone = Page("<p>a</p>");
  auto range = page->body()->createTextRange();
  auto goneRange = gone->body()->createTextRange();
  gone->Discard();
  EXPECT_THROW(range->compareEndPoints(u"StartToEnd", *goneRange), platform::Failure);
}

TEST(Frames, SlotsInDocumentOrderWithTheirDocuments) {
  auto page = Page("<frameset><frame src='a.htm'><frameset><frame src=\"b.htm\"></frameset></frameset>");
  auto slots = page->Frames();
  ASSERT_EQ(2u, slots.size());
  EXPECT_EQ(u"a.htm", slots[0].src);
  EXPECT_EQ(u"b.htm", slots[1].src);
  EXPECT_EQ(u"FRAME", slots[0].element->nodeName());
  EXPECT_THROW(slots[0].element->contentWindow()->document(), platform::Failure) << "nothing attached yet";
  auto inner = Page("<p>inner</p>");
  page->AttachFrameDocument(slots[1].element, inner);
  EXPECT_EQ(inner, slots[1].element->contentWindow()->document());
  EXPECT_THROW(slots[0].element->contentWindow()->document(), platform::Failure);
  auto other = Page("<iframe></iframe>");
  EXPECT_THROW(page->AttachFrameDocument(other->Frames()[0].element, inner), platform::Failure);
  EXPECT_THROW(page->AttachFrameDocument(page->documentElement(), inner), platform::Failure);
}

TEST(Frames, IframeSlots) {
  auto page = Page("<p>a<iframe src=x.htm></iframe></p><iframe></iframe>");
  auto slots = page->Frames();
  ASSERT_EQ(2u, slots.size());
  EXPECT_EQ(u"x.htm", slots[0].src);
  EXPECT_EQ(u"", slots[1].src);
}

TEST(Selection, SelectAndSelectAllMakeTheDocumentsSelection) {
  auto page = Page("<p>one</p><p>two three</p>");
  int told = 0;
  int token = page->Observe([&] { ++told; });
  EXPECT_FALSE(page->SelectionInBodyText());
  auto range = RangeAt(page, "one\ntwo [three]");
  EXPECT_TRUE(range->execCommand(u"SELECTALL", false));
  EXPECT_EQ(1, told);
  auto selection = page->SelectionInBodyText();
  ASSERT_TRUE(selection);
  EXPECT_EQ(9, selection->start) << "the BREAK is two UTF-16 units of the body text";
  EXPECT_EQ(14, selection->end);
  EXPECT_EQ(u"three", page->SelectedText());
  ASSERT_TRUE(page->SelectionUnits());
  EXPECT_EQ(8, page->SelectionUnits()->start) << "in units the BREAK is one position";
  RangeAt(page, "[one]\ntwo three")->select();
  EXPECT_EQ(u"one", page->SelectedText());
  EXPECT_EQ(2, told);
  page->Unobserve(token);
  range->select();
  EXPECT_EQ(2, told);
  EXPECT_THROW(range->execCommand(u"Bold", false), platform::Failure);
}

TEST(Selection, ScrollRequestsAreRecorded) {
  auto page = Page("<p>one</p><p>two three</p>");
  EXPECT_FALSE(page->LastScrollRequest());
  int told = 0;
  page->Observe([&] { ++told; });
  RangeAt(page, "one\ntwo [three]")->scrollIntoView(true);
  auto request = page->LastScrollRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(9, request->span.start);
  EXPECT_EQ(14, request->span.end);
  EXPECT_TRUE(request->alignToTop);
  RangeAt(page, "[one]\ntwo three")->scrollIntoView(false);
  auto second = page->LastScrollRequest();
  EXPECT_FALSE(second->alignToTop);
  EXPECT_GT(second->serial, request->serial);
  EXPECT_EQ(2, told);
}

TEST(Selection, ListenerMayUnsubscribeWhileTold) {
  auto page = Page("<p>one</p>");
  int token = 0;
  int told = 0;
  token = page->Observe([&] {
    ++told;
    page->Unobserve(token);
  });
  page->body()->createTextRange()->select();
  page->body()->createTextRange()->select();
  EXPECT_EQ(1, told);
}

struct TitleCase {
  const char* html;
  const char16_t* title;
};

class Title : public ::testing::TestWithParam<TitleCase> {};

TEST_P(Title, IsTheFirstTitlesTextWithItsSpaceCollapsed) {
  EXPECT_EQ(GetParam().title, Page(GetParam().html)->Title());
}

INSTANTIATE_TEST_SUITE_P(Documents, Title,
                         ::testing::Values(TitleCase{"<title>Plain</title><p>x</p>", u"Plain"},
                                           TitleCase{"<title>\n  Two \t words\r\n </title>", u"Two words"},
                                           TitleCase{"<title>A &amp; <b>B</b></title>", u"A & <b>B</b>"},
                                           TitleCase{"<title>First</title><title>Second</title>", u"First"},
                                           TitleCase{"<p>No title here</p>", u""},
                                           TitleCase{"<title>   </title>", u""},
                                           TitleCase{"<body><p>x</p><title>Late</title></body>", u"Late"}));

TEST(Title, FailsOnceDiscarded) {
  auto page = Page("<title>T</title>");
  page->Discard();
  EXPECT_THROW(page->Title(), platform::Failure);
}

struct LanguageCase {
  const char* html;
  const char* header;  // the server's Content-Language
  const char16_t* language;  // of the element with id "x"
};

class Language : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(Language, IsTheNearestLangElseThePagesMetaElseTheServers) {
  auto page = Page(GetParam().html);
  page->SetContentLanguage(platform::FromUtf8(GetParam().header));
  EXPECT_EQ(GetParam().language, page->getElementById(u"x")->language());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, Language,
    ::testing::Values(
        LanguageCase{"<html lang=fr><body><p id=x>Salut</p>", "", u"fr"},
        LanguageCase{"<html lang=fr><div lang=de><p lang=' en-GB ' id=x>Hi</p></div>", "", u"en-GB"},
        LanguageCase{"<div lang=de><p id=x>Hallo <span lang=it>ciao</span></p></div>", "", u"de"},
        LanguageCase{"<p lang=fr xml:lang=de id=x>Hallo</p>", "", u"de"},
        LanguageCase{"<html lang=fr><div lang=''><p id=x>?</p></div>", "es", u""},  // said to be unknown
        LanguageCase{"<meta http-equiv=Content-Language content='es, en'><p id=x>Hola</p>", "pt", u"es"},
        LanguageCase{"<p id=x>Olá</p>", "pt-BR, en", u"pt-BR"},
        LanguageCase{"<p id=x>Nothing says</p>", "", u""}));

TEST(Language, FailsOnceDiscarded) {
  auto page = Page("<p id=x lang=fr>Salut</p>");
  auto element = page->getElementById(u"x");
  page->Discard();
  EXPECT_THROW(element->language(), platform::Failure);
}

}  // namespace
}  // namespace lectryn::engine
