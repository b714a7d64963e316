// Text range operations on pages: comparing and setting end points, parent elements, element
// text, markup, searching.
#include <gtest/gtest.h>

#include "PageText.h"
#include "engine/Element.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

using testing::Marked;
using testing::Page;
using testing::RangeAt;

std::u16string U16(const char* text) {
  return platform::FromUtf8(text);
}

struct EndPointCase {
  const char* how;
  const char* mine;
  const char* other;
  int compared;
  const char* afterSet;
};

class EndPoints : public ::testing::TestWithParam<EndPointCase> {};

TEST_P(EndPoints, CompareAndSet) {
  const EndPointCase& c = GetParam();
  auto page = Page("<p>abcdef</p>");
  auto mine = RangeAt(page, c.mine);
  auto other = RangeAt(page, c.other);
  EXPECT_EQ(c.compared, mine->compareEndPoints(U16(c.how), *other));
  mine->setEndPoint(U16(c.how), *other);
  EXPECT_EQ(c.afterSet, Marked(*mine));
}

INSTANTIATE_TEST_SUITE_P(AllFour, EndPoints,
                         ::testing::Values(EndPointCase{"StartToStart", "a[bc]def", "abc[de]f", -1,
                                                        "abc|def"},
                                           EndPointCase{"StartToEnd", "a[bc]def", "abc[de]f", -1, "abcde|f"},
                                           EndPointCase{"StartToEnd", "abc[de]f", "a[bc]def", 0, "abc[de]f"},
                                           EndPointCase{"EndToStart", "abc[de]f", "a[bc]def", 1, "a|bcdef"},
                                           EndPointCase{"EndToEnd", "a[bcde]f", "a[bc]def", 1, "a[bc]def"},
                                           EndPointCase{"endtoend", "a[b]cdef", "abc[de]f", -1, "a[bcde]f"},
                                           EndPointCase{"StartToStart", "abc|def", "abc|def", 0, "abc|def"}));

TEST(EndPoints, PointsSeparatedOnlyByTagsAreEqual) {
  auto bold = Page("<p><b id=b>ab</b><i id=i>cd</i></p>");
  auto rb = bold->body()->createTextRange();
  auto ri = bold->body()->createTextRange();
  rb->moveToElementText(*bold->getElementById(u"b"));
  ri->moveToElementText(*bold->getElementById(u"i"));
  EXPECT_EQ(0, rb->compareEndPoints(u"EndToStart", *ri));
}

TEST(EndPoints, UnknownComparisonAndOtherDocumentFail) {
  auto page = Page("<p>ab</p>");
  auto other = Page("<p>ab</p>");
  auto range = page->body()->createTextRange();
  auto foreign = other->body()->createTextRange();
  EXPECT_THROW(range->compareEndPoints(u"StartToMiddle", *range), platform::Failure);
  EXPECT_THROW(range->compareEndPoints(u"StartToEnd", *foreign), platform::Failure);
  EXPECT_THROW(range->setEndPoint(u"StartToEnd", *foreign), platform::Failure);
}

struct ParentCase {
  const char* html;
  const char* range;
  const char* parentId;
};

class ParentElement : public ::testing::TestWithParam<ParentCase> {};

TEST_P(ParentElement, SmallestElementHoldingTheRange) {
  auto page = Page(GetParam().html);
  auto parent = RangeAt(page, GetParam().range)->parentElement();
  ASSERT_TRUE(parent);
  std::u16string id = parent->id();
  EXPECT_EQ(GetParam().parentId, platform::ToUtf8(id.empty() ? parent->nodeName() : id));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ParentElement,
    ::testing::Values(ParentCase{"<p id=p>one <b id=b>two</b> three</p>", "one [two] three", "b"},
                      ParentCase{"<p id=p>one <b id=b>two</b> three</p>", "one [two ]three", "p"},
                      ParentCase{"<div id=d><p id=p1>one</p><p id=p2>two</p></div>", "on[e\nt]wo", "d"},
                      // A range that only crosses into the next block belongs to that block.
                      ParentCase{"<div id=d><p id=p1>one</p><p id=p2>two</p></div>", "one[\n]two", "p2"},
                      ParentCase{"<div id=d><p id=p1>one</p><p id=p2>two</p></div>", "one[\nt]wo", "p2"},
                      ParentCase{"<div id=d><p id=p1>one</p><p id=p2>two</p></div>", "on[e\n]two", "p1"},
                      ParentCase{"<p id=p>one <b id=b>two</b> three</p>", "one t|wo three", "b"},
                      ParentCase{"<p id=p>one <b id=b>two</b> three</p>", "one two| three", "b"},
                      ParentCase{"<p id=p>one <b id=b>two</b> three</p>", "one |two three", "p"},
                      ParentCase{"<p id=p1>one</p><p id=p2>two</p>", "one|\ntwo", "p1"},
                      ParentCase{"<p id=p1>one</p><p id=p2>two</p>", "one\n|two", "p2"},
                      ParentCase{"<p id=p1>a <img id=i> b</p>", "a [*] b", "i"},
                      ParentCase{"<p id=p1>a<br id=br>b</p>", "a[\nb]", "p1"}, ParentCase{"", "|", "BODY"}));

TEST(MoveToElementText, CoversTheElementsUnits) {
  auto page = Page(
      "<p id=p>one <b id=b>two</b> three</p><p id=e></p><div style='display:none'><i id=h>x</i></div>"
      "<p>four</p>");
  auto range = page->body()->createTextRange();
  range->moveToElementText(*page->getElementById(u"b"));
  EXPECT_EQ("one [two] three\nfour", Marked(*range));
  range->moveToElementText(*page->getElementById(u"p"));
  EXPECT_EQ("[one two three]\nfour", Marked(*range));
  range->moveToElementText(*page->getElementById(u"e"));
  EXPECT_EQ("one two three|\nfour", Marked(*range)) << "an element without units: empty at its place";
  range->moveToElementText(*page->getElementById(u"h"));
  EXPECT_EQ("one two three|\nfour", Marked(*range)) << "inside a part not rendered: where that part is";
  range->moveToElementText(*page->documentElement());
  EXPECT_EQ("[one two three\nfour]", Marked(*range));
}

TEST(MoveToElementText, ElementOfAnotherDocumentFails) {
  auto page = Page("<p>a</p>");
  auto other = Page("<p id=x>a</p>");
  EXPECT_THROW(page->body()->createTextRange()->moveToElementText(*other->getElementById(u"x")),
               platform::Failure);
}

TEST(Text, BreaksAsCrLfObjectsAsNothingTabsKept) {
  auto page = Page("<table><tr><td>a</td><td>b<img></td></tr></table><p>c</p>");
  EXPECT_EQ(u"a\tb\r\nc", page->body()->createTextRange()->text());
}

TEST(HtmlText, ClippedAndWrappedInInlineAncestors) {
  auto page = Page("<p>one <b class=\"x\">two <i>three</i></b> four</p>");
  EXPECT_EQ(u"<B class=\"x\">tw</B>", RangeAt(page, "one [tw]o three four")->htmlText());
  EXPECT_EQ(u"<B class=\"x\">two <I>th</I></B>", RangeAt(page, "one [two th]ree four")->htmlText());
  EXPECT_EQ(u"e <B class=\"x\">two <I>three</I></B> f", RangeAt(page, "on[e two three f]our")->htmlText());
  EXPECT_EQ(u"", RangeAt(page, "one |two three four")->htmlText());
}

TEST(HtmlText, RangeHoldingOnlyAnImage) {
  auto page = Page("<p>a <img src=\"pic.gif\" alt='x'> b</p>");
  EXPECT_EQ(u"<IMG src=\"pic.gif\" alt=\"x\">", RangeAt(page, "a [*] b")->htmlText());
}

TEST(HtmlText, AcrossBlocksAndEscaped) {
  auto page = Page("<p>a&amp;b</p><p>c&lt;d</p>");
  EXPECT_EQ(u"<P>a&amp;b</P><P>c&lt;d</P>", page->body()->createTextRange()->htmlText());
}

struct FindCase {
  const char* html;
  const char* before;
  const char* needle;
  int count;
  int flags;
  bool found;
  const char* after;
};

class FindText : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindText, FindsOrLeavesTheRange) {
  const FindCase& c = GetParam();
  auto page = Page(c.html);
  auto range = RangeAt(page, c.before);
  EXPECT_EQ(c.found, range->findText(U16(c.needle), c.count, c.flags));
  EXPECT_EQ(c.after, Marked(*range));
}

INSTANTIATE_TEST_SUITE_P(
    Search, FindText,
    ::testing::Values(FindCase{"<p>The cat and the hat</p>", "|The cat and the hat", "the", 1, 0, true,
                               "[The] cat and the hat"},
                      FindCase{"<p>The cat and the hat</p>", "[The] cat and the hat", "the", 1, 0, true,
                               "[The] cat and the hat"},
                      FindCase{"<p>The cat and the hat</p>", "The| cat and the hat", "the", 1, 0, true,
                               "The cat and [the] hat"},
                      FindCase{"<p>The cat and the hat</p>", "|The cat and the hat", "the", 1, 4, true,
                               "The cat and [the] hat"},
                      FindCase{"<p>The cat and the hat</p>", "|The cat and the hat", "at", 1, 0, true,
                               "The c[at] and the hat"},
                      FindCase{"<p>The cat and the hat</p>", "|The cat and the hat", "at", 1, 2, false,
                               "|The cat and the hat"},
                      FindCase{"<p>The cat and the hat</p>", "|The cat and the hat", "hat", 1, 2, true,
                               "The cat and the [hat]"},
                      FindCase{"<p>The cat and the hat</p>", "[The cat] and the hat", "hat", 0, 0, false,
                               "[The cat] and the hat"},
                      FindCase{"<p>The cat and the hat</p>", "[The cat and the hat]", "the", 0, 4, true,
                               "The cat and [the] hat"},
                      FindCase{"<p>The cat and the hat</p>", "The cat and the| hat", "the", -1, 0, true,
                               "The cat and [the] hat"},
                      FindCase{"<p>The cat and the hat</p>", "The cat and th|e hat", "the", -1, 0, true,
                               "[The] cat and the hat"},
                      FindCase{"<p>The cat</p>", "|The cat", "", 1, 0, false, "|The cat"},
                      FindCase{"<p>The cat</p>", "|The cat", "dog", 1, 0, false, "|The cat"},
                      FindCase{"<p>one</p><p>two</p>", "|one\ntwo", "one two", 1, 0, false, "|one\ntwo"},
                      FindCase{"<p>one<img>two</p>", "|one*two", "onetwo", 1, 0, false, "|one*two"},
                      FindCase{"<p>STRASSE Stra\xC3\x9F"
                               "e</p>",
                               "|STRASSE Stra\xC3\x9F"
                               "e",
                               "stra\xC3\x9F"
                               "e",
                               1, 0, true,
                               "STRASSE [Stra\xC3\x9F"
                               "e]"},
                      FindCase{"<p>\xCE\xA3\xCE\x99\xCE\xA3</p>", "|\xCE\xA3\xCE\x99\xCE\xA3",
                               "\xCF\x83\xCE\xB9\xCF\x82", 1, 0, true, "[\xCE\xA3\xCE\x99\xCE\xA3]"}));

TEST(Duplicate, IsIndependent) {
  auto page = Page("<p>one two</p>");
  auto range = RangeAt(page, "[one] two");
  auto copy = range->duplicate();
  copy->moveEnd(u"word", 1);
  EXPECT_EQ("[one] two", Marked(*range));
  EXPECT_EQ("[one ]two", Marked(*copy));
  range->collapse(false);
  EXPECT_EQ("one| two", Marked(*range));
  copy->collapse(true);
  EXPECT_EQ("|one two", Marked(*copy));
}

}  // namespace
}  // namespace lectryn::engine
