// Display lists: what a view paints for an area, dumped one item a line.
#include <gtest/gtest.h>

#include "HandLayout.h"
#include "PageText.h"
#include "engine/Element.h"
#include "engine/layout/DisplayListBuilder.h"
#include "engine/layout/DisplayListDump.h"
#include "engine/layout/GeometryIndex.h"
#include "platform/Text.h"

namespace lectryn::engine::layout {
namespace {

// p#a "one two" on a grey background over a yellow body; a bordered 40px scroll container whose
// second paragraph lies 100px down.
class HandPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = testing::Page("<p id=a>one two</p><div id=scroller><p id=c>inner</p><p id=d>deep</p></div>");
    const dom::Tree& tree = page_->Tree();
    styles_ = page_->Styles();
    Style(tree.Body()).backgroundColor = {255, 255, 192, 255};
    Style(Node("a")).backgroundColor = {224, 224, 224, 255};
    Style(Node("a")).color = {128, 0, 128, 255};
    css::ComputedStyle& scroller = Style(Node("scroller"));
    scroller.borderStyle.fill(css::BorderStyle::Solid);
    scroller.borderColor.fill({255, 0, 0, 255});

    HandLayout hand;
    int32_t root = hand.Add(BoxKind::Viewport, -1, dom::kNoNode, {0, 0, 1000, 300});
    int32_t html = hand.Add(BoxKind::Block, root, tree.HtmlElement(), {0, 0, 1000, 300});
    int32_t body = hand.Add(BoxKind::Block, html, tree.Body(), {8, 8, 984, 200});
    int32_t a = hand.Add(BoxKind::Block, body, Node("a"), {8, 8, 984, 16});
    int32_t line = hand.Add(BoxKind::Line, a, dom::kNoNode, {8, 8, 984, 16});
    hand.Run(line, 0, u"one ", 8, Node("a"));
    hand.Run(line, 4, u"two", 40, Node("a"));
    int32_t container = hand.Add(BoxKind::Block, body, Node("scroller"), {8, 30, 984, 40});
    Box& box = hand.layout.boxes[static_cast<size_t>(container)];
    box.borderWidths = {1, 1, 1, 1};
    box.scrollContainer = true;
    box.scrollWidth = 982;
    box.scrollHeight = 120;
    int32_t c = hand.Add(BoxKind::Block, container, Node("c"), {9, 31, 982, 16});
    hand.Run(hand.Add(BoxKind::Line, c, dom::kNoNode, {9, 31, 982, 16}), 8, u"inner", 9, Node("c"));
    int32_t d = hand.Add(BoxKind::Block, container, Node("d"), {9, 131, 982, 16});
    hand.Run(hand.Add(BoxKind::Line, d, dom::kNoNode, {9, 131, 982, 16}), 14, u"deep", 9, Node("d"));
    layout_ = hand.Finish(static_cast<size_t>(tree.Size()));
    index_ = std::make_unique<GeometryIndex>(layout_);
  }

  dom::NodeId Node(std::string_view id) {
    return dynamic_cast<Element&>(*page_->getElementById(platform::FromUtf8(id))).Node();
  }
  css::ComputedStyle& Style(dom::NodeId node) { return styles_[static_cast<size_t>(node)]; }
  std::string Dump(const Rect& area, std::optional<text::Span> selection = std::nullopt) {
    PaintInput input{layout_, *index_, page_->Tree(), styles_, metrics_, scrolls_, selection, {}, nullptr};
    return DumpDisplayList(DisplayListBuilder(input).Build(area));
  }

  std::shared_ptr<Document> page_;
  std::vector<css::ComputedStyle> styles_;
  LayoutTree layout_;
  std::unique_ptr<GeometryIndex> index_;
  ScrollOffsets scrolls_;
  FixedFontMetrics metrics_;
};

// The body's background becomes the canvas; the selection covers exactly "wo"; the scroll
// container clips its content and shows it moved up by its offset, so p#c is left out.
TEST_F(HandPaint, SelectionAndScrolledContainer) {
  scrolls_.Set(Node("scroller"), {0, 82});
  EXPECT_EQ(
      "canvas #ffffc0 area 0,0 1000x300\n"
      "fill 8,8 984x16 #e0e0e0\n"
      "text 8,20.8 w32 \"one \" serif 16 400 #800080\n"
      "text 40,20.8 w24 \"two\" serif 16 400 #800080\n"
      "fill 48,8 16x16 #3399ff\n"
      "text 48,20.8 w16 \"wo\" serif 16 400 #ffffff\n"
      "border 8,30 984x40 widths 1,1,1,1 solid,solid,solid,solid #ff0000,#ff0000,#ff0000,#ff0000\n"
      "clip 9,31 982x38\n"
      "text 9,61.8 w32 \"deep\" serif 16 400 #000000\n"
      "pop\n",
      Dump({0, 0, 1000, 300}, text::Span{5, 7}));
}

TEST_F(HandPaint, RoundedCornersFitTheirBoxAndShadowsComeFirst) {
  css::ComputedStyle& scroller = Style(Node("scroller"));
  // 984x40: radii of 30 on top and 10 below would overlap down the sides, so all shrink by 40/40.
  scroller.borderRadius = {css::Length::Px(30), css::Length::Px(30), css::Length::Px(10), css::Length::Percent(1)};
  scroller.boxShadow = {true, false, 2, 3, 4, 1, {0, 0, 0, 128}};
  Style(Node("a")).borderRadius.fill(css::Length::Px(100));
  std::string dump = Dump({0, 0, 1000, 300});
  EXPECT_NE(std::string::npos, dump.find("fill 8,8 984x16 #e0e0e0 radii 8,8,8,8\n")) << dump;
  EXPECT_NE(std::string::npos, dump.find("shadow 9,32 986x42 blur 4 #00000080 radii 31,31,11,10.84\n"
                                         "border 8,30 984x40 widths 1,1,1,1 solid,solid,solid,solid "
                                         "#ff0000,#ff0000,#ff0000,#ff0000 radii 30,30,10,9.84\n"))
      << dump;
}

TEST_F(HandPaint, OnlyWhatTheAreaMeets) {
  EXPECT_EQ("canvas #ffffc0 area 0,100 1000x100\n", Dump({0, 100, 1000, 100}));
  // The unscrolled container: its second paragraph is clipped away but its first shows.
  EXPECT_EQ(
      "canvas #ffffc0 area 0,40 1000x20\n"
      "border 8,30 984x40 widths 1,1,1,1 solid,solid,solid,solid #ff0000,#ff0000,#ff0000,#ff0000\n"
      "clip 9,31 982x38\n"
      "text 9,43.8 w40 \"inner\" serif 16 400 #000000\n"
      "pop\n",
      Dump({0, 40, 1000, 20}));
}

TEST_F(HandPaint, HiddenElementsDrawNothingButTheirVisibleContent) {
  Style(Node("a")).visibility = css::Visibility::Hidden;
  Style(Node("scroller")).visibility = css::Visibility::Hidden;
  EXPECT_EQ(
      "canvas #ffffc0 area 0,0 1000x60\n"
      "clip 9,31 982x38\n"
      "text 9,43.8 w40 \"inner\" serif 16 400 #000000\n"
      "pop\n",
      Dump({0, 0, 1000, 60}));
}

// Through the document: selecting repaints from the same layout, with only "two" highlighted.
TEST(DocumentPaint, SelectionHighlightsOnlyTheSelectedUnits) {
  auto page = testing::Page("<p style='margin:0'>one two</p>");
  page->body()->put_topMargin(0);
  page->body()->put_leftMargin(0);
  std::string plain = page->DumpDisplayList(page->Paint({0, 0, 1000, 20}));
  EXPECT_EQ(
      "canvas #ffffff area 0,0 1000x20\n"
      "text 0,12.8 w32 \"one \" serif 16 400 #000000\n"
      "text 32,12.8 w24 \"two\" serif 16 400 #000000\n",
      plain);
  testing::RangeAt(page, "one [two]")->select();
  EXPECT_EQ(plain +
                "fill 32,0 24x16 #3399ff\n"
                "text 32,12.8 w24 \"two\" serif 16 400 #ffffff\n",
            page->DumpDisplayList(page->Paint({0, 0, 1000, 20})));
  EXPECT_EQ(1U, page->LayoutCount());
}

// A button is a face with its caption centred on it; a text field shows no caption.
TEST(DocumentPaint, PushButtonsShowTheirCaptions) {
  auto page = testing::Page(
      "<body style='margin:0'><input type=submit value=Go><input type=reset><button>Find <b>it</b></button>"
      "<input type=text value=typed>");
  std::string dump = page->DumpDisplayList(page->Paint({0, 0, 1000, 40}));
  for (const char* caption : {"\"Go\"", "\"Reset\"", "\"Find it\""})
    EXPECT_NE(std::string::npos, dump.find(caption)) << caption << " in\n" << dump;
  EXPECT_EQ(std::string::npos, dump.find("typed")) << dump;
}

}  // namespace
}  // namespace lectryn::engine::layout
