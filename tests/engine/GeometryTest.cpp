// Geometry answered from a layout: hit testing, range rectangles, scrolling into view and element
// offsets. The first part runs on small layouts written by hand (fixed metrics: 16px text, 8px a
// character, ascent 12.8, line 16), so each answer is checked against the geometry itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "HandLayout.h"
#include "PageText.h"
#include "engine/Element.h"
#include "engine/TextRange.h"
#include "engine/layout/GeometryIndex.h"
#include "engine/layout/HitTest.h"
#include "engine/layout/RangeGeometry.h"
#include "platform/Text.h"

namespace lectryn::engine::layout {
namespace {

// <div id=box> (border 2, padding 4) holding p#a "one two" and p#b "three <b>four </b>" / "six"
// on two lines; a 40px high scroll container with p#c and, 150px down, p#d; a hidden p; an image.
class HandPage : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = testing::Page(
        "<div id=box><p id=a>one two</p><p id=b>three <b id=bold>four </b>six</p></div>"
        "<div id=scroller><p id=c>inner</p><p id=d>deep</p></div><p id=hidden>x</p><img id=img alt=pic>");
    styles_ = page_->Styles();
    styles_[static_cast<size_t>(Node("hidden"))].visibility = css::Visibility::Hidden;
    HandLayout hand;
    const dom::Tree& tree = page_->Tree();
    int32_t root = hand.Add(BoxKind::Viewport, -1, dom::kNoNode, {0, 0, 1000, 300});
    int32_t html = hand.Add(BoxKind::Block, root, tree.HtmlElement(), {0, 0, 1000, 300});
    int32_t body = hand.Add(BoxKind::Block, html, tree.Body(), {8, 8, 984, 284});
    int32_t box = hand.Add(BoxKind::Block, body, Node("box"), {8, 8, 984, 60});
    hand.layout.boxes[static_cast<size_t>(box)].borderWidths = {2, 2, 2, 2};
    hand.layout.boxes[static_cast<size_t>(box)].padding = {4, 4, 4, 4};
    int32_t a = hand.Add(BoxKind::Block, box, Node("a"), {14, 14, 972, 16});
    int32_t line = hand.Add(BoxKind::Line, a, dom::kNoNode, {14, 14, 972, 16});
    hand.Run(line, 0, u"one ", 14, Node("a"));
    hand.Run(line, 4, u"two", 46, Node("a"));
    int32_t b = hand.Add(BoxKind::Block, box, Node("b"), {14, 30, 972, 32});
    line = hand.Add(BoxKind::Line, b, dom::kNoNode, {14, 30, 972, 16});
    hand.Run(line, 8, u"three ", 14, Node("b"));
    hand.Run(line, 14, u"four ", 62, Node("bold"));
    hand.Add(BoxKind::Inline, line, Node("bold"), {62, 30, 40, 16});
    line = hand.Add(BoxKind::Line, b, dom::kNoNode, {14, 46, 972, 16});
    hand.Run(line, 19, u"six", 14, Node("b"));
    int32_t scroller = hand.Add(BoxKind::Block, body, Node("scroller"), {8, 68, 984, 40});
    Box& container = hand.layout.boxes[static_cast<size_t>(scroller)];
    container.scrollContainer = true;
    container.scrollWidth = 984;
    container.scrollHeight = 120;
    int32_t c = hand.Add(BoxKind::Block, scroller, Node("c"), {8, 68, 984, 16});
    hand.Run(hand.Add(BoxKind::Line, c, dom::kNoNode, {8, 68, 984, 16}), 23, u"inner", 8, Node("c"));
    int32_t d = hand.Add(BoxKind::Block, scroller, Node("d"), {8, 150, 984, 16});
    hand.Run(hand.Add(BoxKind::Line, d, dom::kNoNode, {8, 150, 984, 16}), 29, u"deep", 8, Node("d"));
    int32_t hidden = hand.Add(BoxKind::Block, body, Node("hidden"), {8, 108, 984, 16});
    hand.Run(hand.Add(BoxKind::Line, hidden, dom::kNoNode, {8, 108, 984, 16}), 34, u"x", 8, Node("hidden"));
    int32_t anonymous = hand.Add(BoxKind::AnonymousBlock, body, dom::kNoNode, {8, 124, 984, 20});
    line = hand.Add(BoxKind::Line, anonymous, dom::kNoNode, {8, 124, 984, 20});
    int32_t image = hand.Add(BoxKind::Atomic, line, Node("img"), {8, 124, 16, 16});
    hand.layout.boxes[static_cast<size_t>(image)].replaced = ReplacedKind::Image;
    hand.layout.boxes[static_cast<size_t>(image)].objectUnit = 36;
    layout_ = hand.Finish(static_cast<size_t>(tree.Size()));
    index_ = std::make_unique<GeometryIndex>(layout_);
  }

  dom::NodeId Node(std::string_view id) {
    return dynamic_cast<Element&>(*page_->getElementById(platform::FromUtf8(id))).Node();
  }
  std::string IdAt(float x, float y) {
    dom::NodeId node = HitTest({layout_, *index_, page_->Tree(), styles_, scrolls_}, {x, y});
    if (node == dom::kNoNode) return "canvas";
    auto element = page_->ElementFor(node);
    return element->id().empty() ? platform::ToUtf8(element->nodeName()) : platform::ToUtf8(element->id());
  }
  std::vector<Rect> Rects(int32_t start, int32_t end) {
    return RangeGeometry(layout_, *index_, metrics_).Rects(start, end, scrolls_);
  }

  std::shared_ptr<Document> page_;
  std::vector<css::ComputedStyle> styles_;
  LayoutTree layout_;
  std::unique_ptr<GeometryIndex> index_;
  ScrollOffsets scrolls_;
  FixedFontMetrics metrics_;
};

struct PointCase {
  float x;
  float y;
  float scrollerOffset;  // of the scroll container
  const char* expected;  // id, tag name or "canvas"
};

class HitTestPoints : public HandPage, public ::testing::WithParamInterface<PointCase> {};

TEST_P(HitTestPoints, AnswerTheInnermostElement) {
  const PointCase& point = GetParam();
  scrolls_.Set(Node("scroller"), {0, point.scrollerOffset});
  EXPECT_EQ(point.expected, IdAt(point.x, point.y)) << point.x << "," << point.y;
}

INSTANTIATE_TEST_SUITE_P(
    HandLayout, HitTestPoints,
    ::testing::Values(PointCase{500, 4, 0, "HTML"},       // html's margin above body
                      PointCase{500, 700, 0, "canvas"},   // below the root element
                      PointCase{9, 9, 0, "box"},          // the div's border
                      PointCase{12, 20, 0, "box"},        // its padding, left of p#a
                      PointCase{20, 20, 0, "a"},          // on "one"
                      PointCase{900, 20, 0, "a"},         // on p#a's line, past the text
                      PointCase{70, 35, 0, "bold"},       // on "four"
                      PointCase{101.9F, 35, 0, "bold"},   // the last pixel of "four "
                      PointCase{102, 35, 0, "b"},         // just past it
                      PointCase{20, 50, 0, "b"},          // "six" on the second line
                      PointCase{12, 75, 0, "c"},          // the scroller's first child
                      PointCase{12, 75, 80, "d"},         // scrolled: p#d moved up to 70
                      PointCase{12, 100, 0, "scroller"},  // between its children
                      PointCase{12, 112, 0, "BODY"},  // p#c's content clipped, the hidden p passed through
                      PointCase{12, 126, 0, "img"},
                      PointCase{30, 126, 0, "BODY"}));  // the anonymous block has no element

TEST_F(HandPage, RangeRectsCoverTheUnitsLineByLine) {
  EXPECT_EQ((std::vector<Rect>{{46, 14, 24, 16}}), Rects(4, 7));                      // "two"
  EXPECT_EQ((std::vector<Rect>{{46, 14, 16, 16}}), Rects(4, 6));                      // "tw"
  EXPECT_EQ((std::vector<Rect>{{14, 14, 56, 16}}), Rects(0, 7));                      // two runs, one line
  EXPECT_EQ((std::vector<Rect>{{78, 30, 24, 16}, {14, 46, 24, 16}}), Rects(16, 22));  // "ur six"
  EXPECT_EQ((std::vector<Rect>{{8, 124, 16, 16}}), Rects(36, 37));  // the image's OBJECT unit
  EXPECT_TRUE(Rects(5, 5).empty());
  EXPECT_TRUE(Rects(7, 8).empty());  // a BREAK shows nothing
  scrolls_.Set(Node("scroller"), {0, 80});
  EXPECT_EQ((std::vector<Rect>{{8, 70, 32, 16}}), Rects(29, 33));  // "deep", scrolled into sight
}

TEST_F(HandPage, ScrollIntoViewMovesTheContainerThenTheView) {
  RangeGeometry geometry(layout_, *index_, metrics_);
  auto [first, last] = geometry.Lines(29, 33);  // "deep"
  ASSERT_EQ(first, last);
  // Top: the container can scroll 120 - 40 = 80 (of the 82 wanted); the line then stands at 70.
  Point view = ScrollIntoView(layout_, scrolls_, first, true, {0, 0}, {1000, 100});
  EXPECT_EQ((Point{0, 80}), scrolls_.Of(Node("scroller")));
  EXPECT_EQ((Point{0, 70}), view);
  // Bottom: the line's bottom (166) to the container's bottom (108), then 108 to the view's bottom.
  view = ScrollIntoView(layout_, scrolls_, last, false, {5, 70}, {1000, 100});
  EXPECT_EQ((Point{0, 58}), scrolls_.Of(Node("scroller")));
  EXPECT_EQ((Point{5, 8}), view);
  // The view cannot scroll past its canvas (300 high: 50 in a 250 view) nor above 0.
  EXPECT_EQ((Point{0, 50}), ScrollIntoView(layout_, scrolls_, first, true, {}, {1000, 250}));
  auto caret = geometry.Lines(2, 2);  // inside "one"
  EXPECT_EQ((Point{0, 0}), ScrollIntoView(layout_, scrolls_, caret.first, false, {0, 50}, {1000, 100}));
}

// A body of many paragraphs takes the indexed path; its answers must equal a plain walk's.
TEST(HitTestIndex, ManyChildrenAnswerAsAWalkWould) {
  std::string html;
  for (int i = 0; i < 200; ++i) html += "<p>x</p>";
  auto page = testing::Page(html);
  const dom::Tree& tree = page->Tree();
  for (bool inOrder : {true, false}) {
    HandLayout hand;
    int32_t root = hand.Add(BoxKind::Viewport, -1, dom::kNoNode, {0, 0, 100, 5000});
    int32_t body = hand.Add(BoxKind::Block, root, tree.Body(), {0, 0, 100, 4000});
    std::vector<dom::NodeId> paragraphs;
    for (dom::NodeId p = tree[tree.Body()].firstChild; p != dom::kNoNode; p = tree[p].nextSibling) {
      // Out of order, every tenth paragraph is pulled 25px up over its predecessor.
      float y =
          static_cast<float>(paragraphs.size()) * 20 - (!inOrder && paragraphs.size() % 10 == 9 ? 25 : 0);
      hand.Add(BoxKind::Block, body, p, {10, y, 50, 15});
      paragraphs.push_back(p);
    }
    const LayoutTree& layout = hand.Finish(static_cast<size_t>(tree.Size()));
    GeometryIndex index(layout);
    EXPECT_EQ(inOrder, index.ChildrenInFlowOrder(body));
    ScrollOffsets none;
    HitTestInput input{layout, index, tree, page->Styles(), none};
    for (float y = 0; y < 4000; y += 7) {
      dom::NodeId expected = tree.Body();
      for (int32_t i = body + 1; i < static_cast<int32_t>(layout.boxes.size()); ++i) {
        if (layout.boxes[static_cast<size_t>(i)].border.Contains(20, y))
          expected = layout.boxes[static_cast<size_t>(i)].node;
      }
      ASSERT_EQ(expected, HitTest(input, {20, y})) << "y " << y << (inOrder ? " in order" : " out of order");
    }
  }
}

// Through the document, laid out with fixed metrics: 16px text, 8px a character, 16px lines.

// Layout adds up floats: positions are compared to a hundredth of a pixel.
MATCHER_P(Near, expected, "") {
  return std::abs(arg.x - expected.x) < 0.01F && std::abs(arg.y - expected.y) < 0.01F &&
         std::abs(arg.w - expected.w) < 0.01F && std::abs(arg.h - expected.h) < 0.01F;
}
using ::testing::ElementsAre;

std::string IdOf(const platform::ElementPtr& element) {
  if (element == nullptr) return "nothing";
  return element->id().empty() ? platform::ToUtf8(element->nodeName()) : platform::ToUtf8(element->id());
}

platform::ElementPtr ById(const std::shared_ptr<Document>& page, std::string_view id) {
  return page->getElementById(platform::FromUtf8(id));
}

std::shared_ptr<TextRange> Find(const std::shared_ptr<Document>& page, std::u16string_view word) {
  auto range = std::dynamic_pointer_cast<TextRange>(page->body()->createTextRange());
  EXPECT_TRUE(range->findText(std::u16string(word), 1, 0)) << platform::ToUtf8(word);
  return range;
}

struct Offsets {
  int32_t left, top, width, height;
  std::string parent;
  bool operator==(const Offsets&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Offsets& o) {
    return out << o.left << "," << o.top << " " << o.width << "x" << o.height << " in " << o.parent;
  }
};

Offsets OffsetsOf(const std::shared_ptr<Document>& page, std::string_view id) {
  auto element = ById(page, id);
  return {element->offsetLeft(), element->offsetTop(), element->offsetWidth(), element->offsetHeight(),
          IdOf(element->offsetParent())};
}

// The body's 8px margin collapses with #outer's 10px: #outer stands at 18,10.
TEST(ElementOffsets, BlocksInlinesAndParents) {
  auto page = testing::Page(
      "<div id=outer style='margin:10px; border:2px solid; padding:5px'>"
      "<p id=p style='margin:0; padding:3px'>Hello world</p></div>"
      "<div id=pos style='position:relative; padding:4px; border:1px solid'><span id=inner>ab</span></div>"
      "<div style='width:110px'>one two <i id=split>three fourfourfourfour</i></div>"
      "<table id=t><tr><td id=cell><b id=b>x</b></td></tr></table>"
      "<p id=gone style='display:none'>x</p><div id=hidden style='visibility:hidden; height:5px'></div>");
  EXPECT_EQ((Offsets{18, 10, 964, 36, "BODY"}), OffsetsOf(page, "outer"));
  EXPECT_EQ((Offsets{25, 17, 950, 22, "BODY"}), OffsetsOf(page, "p"));
  EXPECT_EQ((Offsets{8, 56, 984, 26, "BODY"}), OffsetsOf(page, "pos"));  // below #outer's margin
  EXPECT_EQ((Offsets{4, 4, 16, 16, "pos"}), OffsetsOf(page, "inner"));   // from pos's padding edge
  // "one two three" fills the first 110px line at 82; the 128px word overflows the second.
  EXPECT_EQ((Offsets{72, 82, 128, 32, "BODY"}), OffsetsOf(page, "split"));
  EXPECT_EQ("cell", IdOf(ById(page, "b")->offsetParent()));
  EXPECT_EQ("t", IdOf(ById(page, "cell")->offsetParent()));
  EXPECT_EQ((Offsets{0, 0, 0, 0, "nothing"}), OffsetsOf(page, "gone"));
  EXPECT_EQ(5, ById(page, "hidden")->offsetHeight());  // hidden, yet it takes its place
  EXPECT_EQ("nothing", IdOf(page->body()->offsetParent()));
  EXPECT_EQ("nothing", IdOf(page->documentElement()->offsetParent()));
  EXPECT_EQ(0, page->body()->offsetTop());
  EXPECT_EQ(2, ById(page, "outer")->clientLeft());
  EXPECT_EQ(1, ById(page, "pos")->clientTop());
  EXPECT_EQ(0, ById(page, "inner")->clientLeft());
}

// Body margins 20 (top) and 30 (left) as a page writes them; p#first: 20..46 with its text at
// 35,25 ("one " 35-67, "two " 67-99, "three" 99-139); a 10px gap; p#second "four" at 30,56..72;
// then a 2000px block so that the view can scroll.
std::shared_ptr<Document> PointPage() {
  auto page = testing::Page(
      "<p id=first style='margin:0 0 10px 0; padding:5px'>one two <b id=bold>three</b></p>"
      "<p id=second style='margin:0'>four</p><div id=tall style='height:2000px'></div>");
  page->body()->put_topMargin(20);
  page->body()->put_leftMargin(30);
  return page;
}

struct ClientPoint {
  int32_t x;
  int32_t y;
  int32_t scrollY;
  const char* expected;
};

class ElementFromPoint : public ::testing::TestWithParam<ClientPoint> {};

TEST_P(ElementFromPoint, AnswersTheElementUnderThePoint) {
  auto page = PointPage();
  page->SetViewScroll(0, static_cast<float>(GetParam().scrollY));
  EXPECT_EQ(GetParam().expected, IdOf(page->elementFromPoint(GetParam().x, GetParam().y)))
      << GetParam().x << "," << GetParam().y;
}

INSTANTIATE_TEST_SUITE_P(Document, ElementFromPoint,
                         ::testing::Values(ClientPoint{31, 21, 0, "first"},   // padding
                                           ClientPoint{40, 30, 0, "first"},   // on "one"
                                           ClientPoint{100, 30, 0, "bold"},   // on "three"
                                           ClientPoint{500, 30, 0, "first"},  // past the text
                                           ClientPoint{40, 50, 0, "BODY"},    // the margin between
                                           ClientPoint{40, 60, 0, "second"},
                                           ClientPoint{10, 10, 0, "HTML"},     // left of the body
                                           ClientPoint{40, 10, 50, "second"},  // scrolled by 50
                                           ClientPoint{-1, 5, 0, "nothing"},
                                           ClientPoint{1000, 5, 0, "nothing"},
                                           ClientPoint{5, 800, 0, "nothing"}));

TEST(ElementFromPointAfterChanges, SeesInsertedContentAndTheCanvasBelow) {
  auto page = testing::Page("<p id=first style='margin:0'>one</p>");
  page->body()->put_topMargin(20);
  EXPECT_EQ("first", IdOf(page->elementFromPoint(10, 25)));
  EXPECT_EQ("HTML", IdOf(page->elementFromPoint(999, 799)));  // the canvas below the body
  page->body()->insertAdjacentHTML(u"afterbegin", u"<p id=new style='margin:0'>new</p>");
  EXPECT_EQ("new", IdOf(page->elementFromPoint(10, 25)));
  EXPECT_EQ("first", IdOf(page->elementFromPoint(10, 40)));
}

TEST(ViewState, LaysOutOnlyWhenTheDocumentOrTheViewChanges) {
  auto page = PointPage();
  EXPECT_EQ(0U, page->LayoutCount());  // lazily
  page->Paint({0, 0, 1000, 800});
  EXPECT_EQ(1U, page->LayoutCount());
  Find(page, u"two")->select();
  page->Paint({0, 0, 1000, 800});
  page->SetViewScroll(0, 100);
  Find(page, u"four")->scrollIntoView(true);
  ById(page, "first")->offsetTop();
  page->elementFromPoint(5, 5);
  page->SetViewSize(1000, 800);
  EXPECT_EQ(1U, page->LayoutCount());
  page->SetViewSize(500, 800);
  page->RangeRects(0, 3);
  EXPECT_EQ(2U, page->LayoutCount());
  page->body()->insertAdjacentHTML(u"beforeend", u"<p>more</p>");
  page->Layout();
  EXPECT_EQ(3U, page->LayoutCount());
}

// Body margins 8: "one" 8..24, "four" 24..40, 2000px, "end" 2040..2056; the canvas ends at 2064.
std::shared_ptr<Document> TallPage() {
  return testing::Page(
      "<p id=first style='margin:0'>one</p><p style='margin:0'>four</p><div style='height:2000px'></div>"
      "<p style='margin:0'>end</p>");
}

TEST(ViewState, ScrollIsClampedAndReadFromBodyAndHtml) {
  auto page = TallPage();
  int told = 0;
  page->Observe([&] { ++told; });
  EXPECT_EQ((Rect{0, 0, 1000, 2064}), page->ScrollExtent());
  page->SetViewScroll(-5, 5000);
  EXPECT_EQ((Point{0, 1264}), page->ViewScroll());
  EXPECT_EQ(1, told);
  EXPECT_EQ(1264, page->body()->scrollTop());
  EXPECT_EQ(1264, page->documentElement()->scrollTop());
  EXPECT_EQ(0, ById(page, "first")->scrollTop());
}

TEST(ScrollIntoView, TopBottomAndClamped) {
  auto page = TallPage();
  auto four = Find(page, u"four");
  four->scrollIntoView(true);
  EXPECT_EQ(24, page->body()->scrollTop());
  four->scrollIntoView(false);
  EXPECT_EQ(0, page->body()->scrollTop());  // 40 - 800 clamps to 0
  Find(page, u"end")->scrollIntoView(false);
  EXPECT_EQ(2056 - 800, page->body()->scrollTop());
  Find(page, u"end")->scrollIntoView(true);
  EXPECT_EQ(2064 - 800, page->body()->scrollTop());  // clamped
  auto request = page->LastScrollRequest();
  ASSERT_TRUE(request);
  EXPECT_TRUE(request->alignToTop);
  auto caret = Find(page, u"four");
  caret->collapse(false);
  caret->scrollIntoView(true);
  EXPECT_EQ(24, page->body()->scrollTop());
}

TEST(ScrollIntoView, ScrollsTheContainerOnTheWay) {
  auto page = testing::Page(
      "<div style='height:900px'></div><div id=s style='overflow:auto; height:40px'>"
      "<p style='margin:0'>a</p><p style='margin:0'>b</p><p style='margin:0'>c</p>"
      "<p style='margin:0'>d</p><p style='margin:0'>e</p></div><div style='height:900px'></div>");
  // #s: 8+900 = 908..948 (body margin 8), content 80 high: it scrolls 0..40.
  Find(page, u"d")->scrollIntoView(true);
  EXPECT_EQ(40, ById(page, "s")->scrollTop());  // d (48 down) wanted, 40 reached
  EXPECT_EQ(908 + 48 - 40, page->body()->scrollTop());
  EXPECT_EQ("P", IdOf(page->elementFromPoint(100, 0)));  // d, at the top of the view
  Find(page, u"b")->scrollIntoView(false);
  EXPECT_EQ(0, ById(page, "s")->scrollTop());  // b's bottom 32 is above the container's 40
}

TEST(RangeRects, WordsLinesAndImages) {
  auto page = testing::Page(
      "<p style='margin:0'>one two</p><div style='width:80px'>aaaa bbbb cccc</div>"
      "<p style='margin:0'>x<img width=20 height=10>y</p>");
  page->body()->put_topMargin(0);
  page->body()->put_leftMargin(0);
  auto rects = [&](std::u16string_view word) {
    auto range = Find(page, word);
    return page->RangeRects(range->Start(), range->End());
  };
  EXPECT_THAT(rects(u"two"), ElementsAre(Near(Rect{32, 0, 24, 16})));
  // "aaaa bbbb " fills the 80px line, "cccc" wraps: "bbbb cc" spans both lines.
  EXPECT_THAT(rects(u"bbbb cc"), ElementsAre(Near(Rect{40, 16, 40, 16}), Near(Rect{0, 32, 16, 16})));
  auto image = Find(page, u"x");
  image->moveEnd(u"character", 1);
  image->moveStart(u"character", 1);
  auto boxes = page->RangeRects(image->Start(), image->End());
  ASSERT_EQ(1U, boxes.size());
  EXPECT_EQ(8, boxes[0].x);
  EXPECT_EQ(20, boxes[0].w);
  EXPECT_EQ(10, boxes[0].h);
}

TEST(Frames, InnerPagesGetTheFrameBoxAndPaintInsideIt) {
  auto outer = testing::Page("<iframe id=f style='border:0; width:200px; height:100px'></iframe>");
  outer->body()->put_topMargin(0);
  outer->body()->put_leftMargin(0);
  auto inner = testing::Page("<p id=in style='margin:0'>inner</p>");
  inner->body()->put_topMargin(0);
  inner->body()->put_leftMargin(0);
  outer->AttachFrameDocument(ById(outer, "f"), inner);
  EXPECT_EQ("f", IdOf(outer->elementFromPoint(10, 5)));
  EXPECT_EQ((Point{200, 100}), inner->ViewSize());
  EXPECT_EQ("in", IdOf(inner->elementFromPoint(10, 5)));
  EXPECT_EQ("nothing", IdOf(inner->elementFromPoint(10, 100)));  // outside the frame's view
  std::string dump = outer->DumpDisplayList(outer->Paint({0, 0, 1000, 800}));
  EXPECT_NE(std::string::npos,
            dump.find("clip 0,0 200x100\nfill 0,0 200x100 #ffffff\ntext 0,12.8 w40 \"inner\""))
      << dump;
}

}  // namespace
}  // namespace lectryn::engine::layout
