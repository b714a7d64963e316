// Layout with fixed metrics: 16px text, 8px a character, ascent 12.8, descent 3.2, lines of 16px.
// The body has 8px margins, so content starts at 8,8 and is 784px wide at the default 800.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "LayoutFixture.h"
#include "engine/Document.h"
#include "engine/layout/ListMarker.h"

namespace lectryn::engine::layout::testing {
namespace {

using css::ComputedStyle;
using css::Length;

StyleFn Set(std::function<void(ComputedStyle&)> fn) {
  return fn;
}

// Positions add up sums of tenths, so they are compared to a hundredth of a pixel.
::testing::AssertionResult Near(const Rect& expected, const Rect& actual) {
  auto near = [](float a, float b) { return std::fabs(a - b) < 0.01F; };
  if (near(expected.x, actual.x) && near(expected.y, actual.y) && near(expected.w, actual.w) &&
      near(expected.h, actual.h))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "expected " << expected.x << "," << expected.y << " " << expected.w << "x" << expected.h
         << ", got " << actual.x << "," << actual.y << " " << actual.w << "x" << actual.h;
}

struct Place {
  const char* name;
  const char* html;
  Styles styles;
  const char* id;
  float x, y, w, h;  // negative: not checked
};

class Placement : public ::testing::TestWithParam<Place> {};

TEST_P(Placement, BorderBox) {
  const Place& c = GetParam();
  auto laid = Lay(c.html, c.styles);
  Rect r = laid->Border(c.id);
  if (c.x >= 0) {
    EXPECT_NEAR(c.x, r.x, 0.01) << laid->Dump();
  }
  if (c.y >= 0) {
    EXPECT_NEAR(c.y, r.y, 0.01) << laid->Dump();
  }
  if (c.w >= 0) {
    EXPECT_NEAR(c.w, r.w, 0.01) << laid->Dump();
  }
  if (c.h >= 0) {
    EXPECT_NEAR(c.h, r.h, 0.01) << laid->Dump();
  }
}

const char* kSiblings = "<div id=a>x</div><div id=b>y</div>";
const char* kNested = "<div id=p><div id=b>x</div></div>";

INSTANTIATE_TEST_SUITE_P(
    MarginCollapsing, Placement,
    ::testing::Values(
        Place{"Siblings", kSiblings, {{"a", Margins(0, 20)}, {"b", Margins(10, 0)}}, "b", 8, 44, -1, 16},
        Place{"ParentFirstChildAndBody",
              kNested,
              {{"p", Margins(10, 0)}, {"b", Margins(30, 0)}},
              "p",
              -1,
              30,
              -1,
              16},
        Place{"BorderSeparates",
              kNested,
              {{"p", Set([](ComputedStyle& s) {
                  Margins(10, 0)(s);
                  s.borderWidth[css::kTop] = 1;
                  s.borderStyle[css::kTop] = css::BorderStyle::Solid;
                })},
               {"b", Margins(30, 0)}},
              "b",
              -1,
              41,
              -1,
              -1},
        Place{"PaddingSeparates",
              kNested,
              {{"p", Set([](ComputedStyle& s) { s.padding[css::kTop] = Length::Px(5); })},
               {"b", Margins(10, 0)}},
              "b",
              -1,
              23,
              -1,
              -1},
        Place{"ScrollContainerSeparates",
              kNested,
              {{"p", Set([](ComputedStyle& s) { s.overflowX = s.overflowY = css::Overflow::Hidden; })},
               {"b", Margins(10, 0)}},
              "b",
              -1,
              18,
              -1,
              -1},
        Place{"EmptyBlockCollapsesThrough",
              "<div id=a>x</div><div id=e></div><div id=b>y</div>",
              {{"a", Margins(0, 10)}, {"e", Margins(30, 5)}},
              "b",
              -1,
              54,
              -1,
              -1},
        Place{"PositiveAndNegative",
              kSiblings,
              {{"a", Margins(0, 20)}, {"b", Margins(-5, 0)}},
              "b",
              -1,
              39,
              -1,
              -1},
        Place{
            "TwoNegatives", kSiblings, {{"a", Margins(0, -10)}, {"b", Margins(-20, 0)}}, "b", -1, 4, -1, -1},
        Place{"LastChildIntoParentBottom",
              "<div id=p><div id=c>x</div></div><div id=b>y</div>",
              {{"c", Margins(0, 25)}},
              "b",
              -1,
              49,
              -1,
              -1}),
    [](const auto& info) { return std::string(info.param.name); });

StyleFn Width(Length width) {
  return [=](ComputedStyle& s) { s.width = width; };
}

INSTANTIATE_TEST_SUITE_P(
    Widths, Placement,
    ::testing::Values(
        Place{"AutoFills", "<div id=b>x</div>", {}, "b", 8, -1, 784, -1},
        Place{"Pixels", "<div id=b>x</div>", {{"b", Width(Length::Px(200))}}, "b", 8, -1, 200, -1},
        Place{"Percent", "<div id=b>x</div>", {{"b", Width(Length::Percent(50))}}, "b", 8, -1, 392, -1},
        Place{"AutoMarginsCenter",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) {
                  s.width = Length::Px(200);
                  s.margin[css::kLeft] = s.margin[css::kRight] = Length{};
                })}},
              "b",
              300,
              -1,
              200,
              -1},
        Place{"LeftAutoMarginPushesRight",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) {
                  s.width = Length::Px(200);
                  s.margin[css::kLeft] = Length{};
                })}},
              "b",
              592,
              -1,
              200,
              -1},
        Place{"PaddingAndBorderAdd",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) {
                  s.width = Length::Px(200);
                  s.padding[css::kLeft] = s.padding[css::kRight] = Length::Px(10);
                  s.borderWidth = {2, 2, 2, 2};
                  s.borderStyle.fill(css::BorderStyle::Solid);
                })}},
              "b",
              8,
              -1,
              224,
              20},
        Place{"BorderBoxSizing",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) {
                  s.width = Length::Px(200);
                  s.padding[css::kLeft] = Length::Px(10);
                  s.boxSizing = css::BoxSizing::BorderBox;
                })}},
              "b",
              8,
              -1,
              200,
              -1},
        Place{"MaxWidth",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) { s.maxWidth = Length::Px(100); })}},
              "b",
              8,
              -1,
              100,
              -1},
        Place{"MinWidthBeatsWidth",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) {
                  s.width = Length::Px(50);
                  s.minWidth = Length::Px(900);
                })}},
              "b",
              8,
              -1,
              900,
              -1},
        Place{"FixedHeight",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) { s.height = Length::Px(70); })}},
              "b",
              -1,
              -1,
              -1,
              70},
        Place{"PercentHeightOfAutoIsAuto",
              "<div id=b>x</div>",
              {{"b", Set([](ComputedStyle& s) { s.height = Length::Percent(50); })}},
              "b",
              -1,
              -1,
              -1,
              16}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Floats, Placement,
    ::testing::Values(
        Place{"ContextRootContainsFloats",
              "<div id=b><div id=f></div></div>",
              {{"b", Set([](ComputedStyle& s) { s.overflowX = s.overflowY = css::Overflow::Hidden; })},
               {"f", Set([](ComputedStyle& s) {
                  s.floating = css::Float::Left;
                  s.display = css::Display::Block;
                  s.width = Length::Px(40);
                  s.height = Length::Px(50);
                })}},
              "b",
              -1,
              8,
              -1,
              50},
        Place{"ClearGoesBelow",
              "<div id=f></div><div id=b>x</div>",
              {{"f", Set([](ComputedStyle& s) {
                  s.floating = css::Float::Left;
                  s.width = Length::Px(40);
                  s.height = Length::Px(50);
                })},
               {"b", Set([](ComputedStyle& s) { s.clear = css::Clear::Both; })}},
              "b",
              -1,
              58,
              -1,
              -1},
        Place{"RightFloat",
              "<div id=f></div>",
              {{"f", Set([](ComputedStyle& s) {
                  s.floating = css::Float::Right;
                  s.width = Length::Px(40);
                  s.height = Length::Px(50);
                })}},
              "f",
              752,
              8,
              40,
              50},
        Place{"FloatShrinksToFit",
              "<div id=f>ab cd</div>",
              {{"f", Set([](ComputedStyle& s) { s.floating = css::Float::Left; })}},
              "f",
              8,
              8,
              40,
              16}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineBreaking, WrapsAtOpportunitiesAndLetsSpacesHang) {
  // 84px of content: ten and a half characters.
  EXPECT_EQ("[aaa ][bbb ]|[ccc ][ddd]", Lay("<div id=d>aaa bbb ccc ddd</div>", {}, 100)->Lines("d"));
  EXPECT_EQ("[aaaaaaaaaa ]|[bb]", Lay("<div id=d>aaaaaaaaaa bb</div>", {}, 100)->Lines("d"))
      << "the space after a word that just fits hangs past the edge";
  EXPECT_EQ("[a ]|[overflowingword ]|[b]", Lay("<div id=d>a overflowingword b</div>", {}, 100)->Lines("d"));
  EXPECT_EQ("[xxxxxx ]|[foo][bar]", Lay("<div id=d>xxxxxx foo<b>bar</b></div>", {}, 100)->Lines("d"))
      << "no opportunity between foo and bar: both go to the next line";
  EXPECT_EQ("[aaa ][bbb ][ccc ][ddd]",
            Lay("<div id=d>aaa bbb ccc ddd</div>",
                {{"d", Set([](ComputedStyle& s) { s.whiteSpace = css::WhiteSpace::Nowrap; })}}, 100)
                ->Lines("d"));
}

TEST(LineBreaking, PreservedAndForcedBreaks) {
  auto pre = Lay("<pre id=d>a  b\nc</pre>");
  EXPECT_EQ("[a  ][b]|[c]", pre->Lines("d"));
  auto br = Lay("<div id=d>a<br><br>b</div>");
  EXPECT_EQ("[a]||[b]", br->Lines("d"));
  EXPECT_NEAR(48, br->Border("d").h, 0.01) << "the empty line between the breaks keeps its height";
}

TEST(LineBreaking, AsciiPunctuationAsBrowsersBreakIt) {
  EXPECT_EQ("[aa ]|[/proc/self/fd]", Lay("<div id=d>aa /proc/self/fd</div>", {}, 100)->Lines("d"))
      << "no break after a slash";
  EXPECT_EQ("[aa ]|[${p[off]}]", Lay("<div id=d>aa ${p[off]}</div>", {}, 80)->Lines("d"));
  EXPECT_EQ("[aaaaaaaa ][-]|[D]", Lay("<div id=d>aaaaaaaa -D</div>", {}, 100)->Lines("d"))
      << "a break after a hyphen before a letter";
  EXPECT_EQ("[aaaaaaaa ]|[-1]", Lay("<div id=d>aaaaaaaa -1</div>", {}, 100)->Lines("d"))
      << "a minus sign stays with its number";
}

TEST(LineBreaking, AlignmentAndIndent) {
  auto align = [](css::TextAlign a) { return Set([a](ComputedStyle& s) { s.textAlign = a; }); };
  auto x = [](const Laid& laid) { return laid.layout->runs.at(0).x; };
  EXPECT_NEAR(384, x(*Lay("<div id=d>abcd</div>", {{"d", align(css::TextAlign::Center)}})), 0.01);
  EXPECT_NEAR(760, x(*Lay("<div id=d>abcd</div>", {{"d", align(css::TextAlign::Right)}})), 0.01);
  auto indented = Lay("<div id=d>aaaa bbbb</div>",
                      {{"d", Set([](ComputedStyle& s) { s.textIndent = Length::Px(50); })}}, 100);
  EXPECT_EQ("[aaaa ]|[bbbb]", indented->Lines("d"));
  EXPECT_NEAR(58, indented->layout->runs.at(0).x, 0.01);
  EXPECT_NEAR(8, indented->layout->runs.at(1).x, 0.01) << "only the first line is indented";
}

TEST(LineBreaking, JustifySpreadsTheRoomOverInnerSpaces) {
  auto justify = Set([](ComputedStyle& s) { s.textAlign = css::TextAlign::Justify; });
  // 84px: "aaa bbb" is 56px wide, its hanging space aside; 28px go to the one inner space.
  auto laid = Lay("<div id=d>aaa bbb ccc ddd</div>", {{"d", justify}}, 100);
  ASSERT_EQ("[aaa ][bbb ]|[ccc ][ddd]", laid->Lines("d"));
  const auto& runs = laid->layout->runs;
  EXPECT_NEAR(60, runs.at(0).width, 0.01) << "the space takes the extra room";
  EXPECT_NEAR(68, runs.at(1).x, 0.01) << "the last word ends at the right edge";
  EXPECT_NEAR(32, runs.at(1).width, 0.01) << "the hanging space is not widened";
  EXPECT_NEAR(40, runs.at(3).x, 0.01) << "the last line keeps its spacing";
  auto forced = Lay("<div id=d>aa bb<br>cc</div>", {{"d", justify}}, 100);
  EXPECT_NEAR(32, forced->layout->runs.at(1).x, 0.01) << "a line ended by <br> is not justified";
}

TEST(LineBreaking, OverflowWrapBreaksLongWordsBetweenCharacters) {
  auto wrap = [](css::OverflowWrap w) { return Set([w](ComputedStyle& s) { s.overflowWrap = w; }); };
  const char* page = "<div id=d>aaaaaaaaaaaaaaaa</div>";  // 128px in an 84px line
  EXPECT_EQ("[aaaaaaaaaaaaaaaa]", Lay(page, {}, 100)->Lines("d"));
  EXPECT_EQ("[aaaaaaaaaa]|[aaaaaa]", Lay(page, {{"d", wrap(css::OverflowWrap::BreakWord)}}, 100)->Lines("d"));
  EXPECT_EQ(
      "[xx ]|[yyyyyyyyyy]|[yyyy]",
      Lay("<div id=d>xx yyyyyyyyyyyyyy</div>", {{"d", wrap(css::OverflowWrap::Anywhere)}}, 100)->Lines("d"))
      << "the ordinary opportunity first, then the word on a line of its own";
  EXPECT_EQ("[xxxxxx][yyyy]|[yyyyyyyy]",
            Lay("<div id=d>xxxxxx<b>yyyyyyyyyyyy</b></div>", {{"d", wrap(css::OverflowWrap::BreakWord)}}, 100)
                ->Lines("d"))
      << "no opportunity on the line: the word breaks where the line is full";
}

TEST(InlineBoxes, VerticalAlignTopAndBottom) {
  auto align = [](css::VerticalAlign a) { return Set([a](ComputedStyle& s) { s.verticalAlign = a; }); };
  // A 40px image in a 16px line (ascent 12.8): the line grows to 40px, downwards for a
  // top-aligned image and upwards for a bottom-aligned one.
  const char* page = "<div id=d>a<img id=i width=10 height=40></div>";
  auto top = Lay(page, {{"i", align(css::VerticalAlign::Top)}});
  EXPECT_NEAR(40, top->Border("d").h, 0.01);
  EXPECT_NEAR(8, top->Border("i").y, 0.01);
  EXPECT_NEAR(8, top->layout->runs.at(0).top, 0.01);
  auto bottom = Lay(page, {{"i", align(css::VerticalAlign::Bottom)}});
  EXPECT_NEAR(40, bottom->Border("d").h, 0.01);
  EXPECT_NEAR(8, bottom->Border("i").y, 0.01);
  EXPECT_NEAR(32, bottom->layout->runs.at(0).top, 0.01);
  // A baseline-aligned image alone makes the line 40px (no strut in quirks mode), all above the
  // baseline; a top-aligned span's text goes to the line's top, not onto that baseline.
  auto span = Lay("<div id=d><img width=10 height=40><span id=s>b</span></div>",
                  {{"s", align(css::VerticalAlign::Top)}});
  EXPECT_NEAR(40, span->Border("d").h, 0.01);
  EXPECT_NEAR(8, span->Border("s").y, 0.01);
  EXPECT_NEAR(8, span->layout->runs.at(0).top, 0.01);
}

TEST(Positioning, AbsoluteOffsetsFromThePositionedAncestorsPaddingBox) {
  // #p: border 2, padding 10, top margin 20 (collapsing with the body's 8): its padding box is
  // 10,22 780x20.
  auto ancestor = Set([](ComputedStyle& s) {
    s.position = css::Position::Relative;
    s.margin[css::kTop] = Length::Px(20);
    s.padding = {Length::Px(10), Length::Px(10), Length::Px(10), Length::Px(10)};
    s.borderWidth = {2, 2, 2, 2};
    s.borderStyle.fill(css::BorderStyle::Solid);
  });
  auto absolute = [](int top, int right, int bottom, int left) {
    return Set([=](ComputedStyle& s) {
      s.position = css::Position::Absolute;
      s.width = Length::Px(30);
      s.height = Length::Px(10);
      auto px = [](int v) { return v < 0 ? Length{} : Length::Px(static_cast<float>(v)); };
      s.inset = {px(top), px(right), px(bottom), px(left)};
    });
  };
  const char* page = "<div id=p><div id=a></div></div>";
  EXPECT_TRUE(
      Near({17, 27, 30, 10}, Lay(page, {{"p", ancestor}, {"a", absolute(5, -1, -1, 7)}})->Border("a")));
  EXPECT_TRUE(
      Near({757, 28, 30, 10}, Lay(page, {{"p", ancestor}, {"a", absolute(-1, 3, 4, -1)}})->Border("a")));
  EXPECT_TRUE(
      Near({20, 32, 30, 10}, Lay(page, {{"p", ancestor}, {"a", absolute(-1, -1, -1, -1)}})->Border("a")))
      << "without offsets it stays where it would have stood";
}

TEST(BodyMargins, TopAndLeftSetOneSideEach) {
  auto laid = Lay("<html id=h><body id=b>x</body></html>", {}, 800, {20.0F, 30.0F});
  EXPECT_TRUE(Near({30, 20, 762, 16}, laid->Border("b"))) << "the right margin stays 8px";
  EXPECT_NEAR(44, laid->Border("h").h, 0.01) << "and so does the bottom one";
}

TEST(InlineBoxes, FragmentsChainAndCarryTheirEdges) {
  auto laid = Lay(
      "<div>aaaa <b id=b>bbbb cccc</b> dd</div>",
      {{"b", Set([](ComputedStyle& s) { s.padding[css::kLeft] = s.padding[css::kRight] = Length::Px(4); })}},
      100);
  const Box& first = laid->BoxOf("b");
  ASSERT_GE(first.nextOfNode, 0);
  const Box& second = laid->layout->boxes[static_cast<size_t>(first.nextOfNode)];
  EXPECT_EQ(BoxKind::Inline, second.kind);
  EXPECT_TRUE(Near({48, 8, 36, 16}, first.border))
      << "left padding on the first fragment only, and not the space that hangs at the line end";
  EXPECT_TRUE(Near({8, 24, 36, 16}, second.border)) << "right padding on the last fragment only";
  EXPECT_EQ(-1, second.nextOfNode);
}

TEST(InlineBoxes, LineHeightFromTheBoxesOnTheLine) {
  auto big =
      Lay("<div id=d>a<span id=s>B</span></div>", {{"s", Set([](ComputedStyle& s) { s.fontSizePx = 32; })}});
  EXPECT_NEAR(32, big->Border("d").h, 0.01);
  EXPECT_NEAR(20.8F, big->layout->runs.at(0).top, 0.01) << "the small text sits on the big text's baseline";
  auto spaced = Lay("<div id=d>a</div>", {{"d", Set([](ComputedStyle& s) {
                                             s.lineHeightKind = css::LineHeightKind::Px;
                                             s.lineHeight = 30;
                                           })}});
  EXPECT_NEAR(30, spaced->Border("d").h, 0.01);
  EXPECT_NEAR(15, spaced->layout->runs.at(0).top, 0.01) << "half the leading above the text";
  auto odd = Lay("<div id=d>a</div>", {{"d", Set([](ComputedStyle& s) {
                                          s.lineHeightKind = css::LineHeightKind::Px;
                                          s.lineHeight = 31;
                                        })}});
  EXPECT_NEAR(15, odd->layout->runs.at(0).top, 0.01) << "the half-leading above is rounded down";
  EXPECT_NEAR(31, odd->Border("d").h, 0.01);
  auto image = Lay("<div id=d>a<img id=i width=50 height=30>b</div>");
  EXPECT_TRUE(Near({16, 8, 50, 30}, image->Border("i")));
  EXPECT_NEAR(33.2F, image->Border("d").h, 0.01) << "an image stands on the baseline";
  EXPECT_EQ(ReplacedKind::Image, image->BoxOf("i").replaced);
  EXPECT_EQ(1, image->BoxOf("i").objectUnit);
}

TEST(InlineBoxes, InlineBlockShrinksToFit) {
  auto laid = Lay("<div>a<span id=ib>xx yy</span></div>",
                  {{"ib", Set([](ComputedStyle& s) { s.display = css::Display::InlineBlock; })}});
  EXPECT_TRUE(Near({16, 8, 40, 16}, laid->Border("ib")));
  EXPECT_EQ(BoxKind::Atomic, laid->BoxOf("ib").kind);
}

TEST(Floats, LinesGoBesideThenBelow) {
  auto laid = Lay("<div id=d><div id=f>FF</div>aaaa bbbb cccc</div>", {{"f", Set([](ComputedStyle& s) {
                                                                          s.floating = css::Float::Left;
                                                                          s.width = Length::Px(40);
                                                                          s.height = Length::Px(20);
                                                                        })}},
                  100);
  const auto& runs = laid->layout->runs;
  std::vector<std::pair<float, float>> places;
  for (const TextRun& run : runs)
    if (run.element == laid->ById("d")) places.emplace_back(std::round(run.x), std::round(run.top));
  std::vector<std::pair<float, float>> expected{{48, 8}, {48, 24}, {8, 40}};
  EXPECT_EQ(expected, places);
}

// Every character unit of the model is shown by exactly one run, with its very text.
TEST(Runs, ShowEveryTextUnitOnce) {
  auto laid =
      Lay("<p>Hello <b>bold</b>  and <i>it<u>al</u>ic</i> text</p><ul><li>one<li>two</ul><pre>x  y\nz</pre>"
          "<table><tr><td>c1<td>c2</table>a<br>b <img> c",
          {}, 120);
  const text::TextModel& model = *laid->model;
  std::vector<int> shown(static_cast<size_t>(model.Length()), 0);
  for (const TextRun& run : laid->layout->runs) {
    if (run.unitStart < 0) continue;
    ASSERT_LE(run.unitEnd, model.Length());
    EXPECT_EQ(std::u16string(model.Units().substr(static_cast<size_t>(run.unitStart),
                                                  static_cast<size_t>(run.unitEnd - run.unitStart))),
              run.text);
    for (int32_t u = run.unitStart; u < run.unitEnd; ++u) ++shown[static_cast<size_t>(u)];
  }
  for (int32_t u = 0; u < model.Length(); ++u) {
    char16_t c = model.Unit(u);
    bool character = c != text::kBreakUnit && c != text::kObjectUnit &&
                     laid->tree[model.NodeOfUnit(u)].kind == dom::NodeKind::Text;
    EXPECT_EQ(character ? 1 : 0, shown[static_cast<size_t>(u)]) << "unit " << u;
  }
  const auto& byUnit = laid->layout->runsByUnit;
  EXPECT_TRUE(std::is_sorted(byUnit.begin(), byUnit.end(), [&](int32_t a, int32_t b) {
    return laid->layout->runs[static_cast<size_t>(a)].unitStart <
           laid->layout->runs[static_cast<size_t>(b)].unitStart;
  }));
  for (size_t b = 0; b < laid->layout->boxes.size(); ++b) {
    const Box& box = laid->layout->boxes[b];
    EXPECT_LE(box.end, static_cast<int32_t>(laid->layout->boxes.size()));
    if (box.parent >= 0) {
      EXPECT_LE(box.end, laid->layout->boxes[static_cast<size_t>(box.parent)].end);
    }
  }
}

TEST(Lists, MarkersCountAndHangLeft) {
  auto laid = Lay(
      "<ol start=5><li id=a>x<li id=b value=9>y<li id=c>z</ol><ol reversed><li>p<li>q</ol><ul><li>u</ul>");
  std::vector<std::string> markers;
  std::vector<float> xs;
  for (const TextRun& run : laid->layout->runs) {
    if (run.unitStart >= 0) continue;
    std::string text;
    for (char16_t c : run.text) text += c < 128 ? static_cast<char>(c) : '*';
    markers.push_back(text);
    xs.push_back(run.x + run.width);
  }
  EXPECT_EQ((std::vector<std::string>{"5. ", "9. ", "10. ", "2. ", "1. ", "* "}), markers);
  for (float right : xs) EXPECT_NEAR(48, right, 0.01) << "markers end at the item's content edge";
  EXPECT_EQ(u"mcmxciv. ", MarkerText(css::ListStyleType::LowerRoman, 1994));
  EXPECT_EQ(u"AB. ", MarkerText(css::ListStyleType::UpperAlpha, 28));
  EXPECT_EQ(u"0. ", MarkerText(css::ListStyleType::LowerAlpha, 0));
}

TEST(Lists, AnEmptyItemKeepsItsMarkerLine) {
  auto laid = Lay("<!DOCTYPE html><ul><li id=e> </li><li id=n></li><li id=x>x</li></ul>",
                  {{"n", Set([](ComputedStyle& s) { s.listStyleType = css::ListStyleType::None; })}});
  EXPECT_TRUE(Near({48, 8, 744, 16}, laid->Border("e")));
  EXPECT_NEAR(0, laid->Border("n").h, 0.01) << "no marker, no line";
  EXPECT_NEAR(24, laid->Border("x").y, 0.01);
  int markers = 0;
  for (const TextRun& run : laid->layout->runs) markers += run.unitStart < 0 ? 1 : 0;
  EXPECT_EQ(2, markers);
}

struct QuirksCase {
  const char* doctype;
  dom::QuirksMode mode;
  float height;  // of a line holding only a 10px <code> inside a <span>
};

class Quirks : public ::testing::TestWithParam<QuirksCase> {};

TEST_P(Quirks, LineHeightQuirkFollowsTheDoctype) {
  auto small = Set([](ComputedStyle& s) { s.fontSizePx = 10; });
  auto laid = Lay(std::string(GetParam().doctype) + "<div id=d><span><code id=c>x</code></span></div>" +
                      "<div id=t>a<code id=c2>x</code></div>",
                  {{"c", small}, {"c2", small}});
  EXPECT_EQ(GetParam().mode, laid->tree.Quirks());
  EXPECT_NEAR(GetParam().height, laid->Border("d").h, 0.01);
  EXPECT_NEAR(16, laid->Border("t").h, 0.01) << "text in the block itself brings its strut back";
}

INSTANTIATE_TEST_SUITE_P(
    Doctypes, Quirks,
    ::testing::Values(QuirksCase{"<!DOCTYPE html>", dom::QuirksMode::None, 16},
                      QuirksCase{"", dom::QuirksMode::Full, 10},
                      QuirksCase{"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
                                 "\"http://www.w3.org/TR/html4/loose.dtd\">",
                                 dom::QuirksMode::Limited, 10},
                      QuirksCase{"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
                                 "\"http://www.w3.org/TR/html4/strict.dtd\">",
                                 dom::QuirksMode::None, 16}));

TEST(Tables, ColumnsFromCellWidths) {
  auto spaced = Set([](ComputedStyle& s) { s.borderSpacingX = s.borderSpacingY = 2; });
  auto laid = Lay("<table id=t><tr><td id=a>aa</td><td id=b>bbbbbbbb</td></tr></table>", {{"t", spaced}});
  EXPECT_TRUE(Near({10, 10, 16, 16}, laid->Border("a")));
  EXPECT_TRUE(Near({28, 10, 64, 16}, laid->Border("b")));
  EXPECT_TRUE(Near({8, 8, 86, 20}, laid->Border("t")));

  auto percent = Lay("<table id=t><tr><td id=a>aa</td><td id=b>bb</td></tr></table>",
                     {{"t", Width(Length::Percent(100))}, {"a", Width(Length::Percent(25))}});
  EXPECT_NEAR(196, percent->Border("a").w, 0.01);
  EXPECT_NEAR(588, percent->Border("b").w, 0.01);

  auto spans =
      Lay("<table><tr><td id=a>a</td><td id=b>bbb</td></tr><tr><td id=c "
          "colspan=2>cccccccccccc</td></tr></table>");
  EXPECT_NEAR(24, spans->Border("a").w, 0.01)
      << "the spanning cell's extra width goes by the columns' widths";
  EXPECT_NEAR(72, spans->Border("b").w, 0.01);
  EXPECT_NEAR(96, spans->Border("c").w, 0.01);
}

TEST(Tables, RowsAlignTheirCells) {
  auto laid = Lay("<table><tr><td id=a>a<br>b</td><td id=b>c</td></tr></table>");
  EXPECT_NEAR(32, laid->Border("b").h, 0.01) << "cells stretch to their row";
  EXPECT_NEAR(16, laid->layout->runs.back().top, 0.01) << "the short cell's line is in the middle";
  auto spans =
      Lay("<table><tr><td id=a rowspan=2>a<br>b<br>c</td><td>d</td></tr><tr><td id=e>e</td></tr></table>");
  EXPECT_NEAR(48, spans->Border("a").h, 0.01);
  EXPECT_NEAR(48, spans->Border("e").Bottom() - spans->Border("a").y, 0.01) << "the last spanned row grows";
}

// Golden dumps of pages through the whole engine (cascade included), beside their .html.
std::vector<std::string> GoldenPages() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(LECTRYN_LAYOUT_PAGES)) {
    if (entry.path().extension() == ".html" && entry.path().stem().extension() != ".insert")
      names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, MatchesItsDump) {
  std::filesystem::path dir(LECTRYN_LAYOUT_PAGES);
  std::filesystem::path page = dir / (GetParam() + ".html");
  auto document = Document::Parse(ReadFile(page), u"test:page");
  document->SetViewSize(800, 600);
  // A page "x.html" with "x.insert.html" beside it gets that markup at the start of its body,
  // with body margins of 0 as the reader sets them.
  std::filesystem::path insert = dir / (GetParam() + ".insert.html");
  if (std::filesystem::exists(insert)) {
    std::string markup = ReadFile(insert);
    std::u16string html(markup.begin(), markup.end());
    document->InsertAdjacentHtml(document->Tree().Body(), u"afterBegin", html);
    document->SetMargins(0, 0);
  }
  std::string dump = DumpLayout(document->Layout(), document->Tree());
  std::filesystem::path expected = dir / (GetParam() + ".txt");
  if (std::getenv("LECTRYN_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(expected, std::ios::binary) << dump;
    GTEST_SKIP() << "wrote " << expected;
  }
  ASSERT_TRUE(std::filesystem::exists(expected))
      << "no " << expected << " (LECTRYN_UPDATE_GOLDEN=1 writes it)";
  EXPECT_EQ(ReadFile(expected), dump);
}

INSTANTIATE_TEST_SUITE_P(Layout, Golden, ::testing::ValuesIn(GoldenPages()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace lectryn::engine::layout::testing
